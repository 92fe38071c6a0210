// The PostgreSQL database the PostgreSQL walk benchmark reads: a server, one database on it and
// one table of the SQLite benchmark's shape, loaded once per run.
//
// The server is the one the state file $KP_BENCH_PG_STATE names (scripts/pg-server.sh) when
// that variable is set; otherwise a private throw-away server started with scripts/pg-server.sh
// in a temporary folder, stopped at exit. The database is fresh (UTF-8, a unique name) and is
// dropped at exit, so a shared server is left as it was found.
//
// The table:  t (id integer primary key, name text, value double precision, code varchar(16)),
// rows 0..n-1; even ids have Chinese names ("地层-<id>"), odd ids ASCII ones ("stratum-<id>");
// value = id * 0.25; code = 'C' and the id in seven digits. The rows are made server-side with
// generate_series, so loading 200,000 rows takes a second or two.
#pragma once
#include <cstdint>
#include <string>

namespace kpbench {

class PgBenchDatabase {
 public:
  // The database of this run, set up at the first call. Never throws: check Ready().
  static PgBenchDatabase& Get();

  bool Ready() const { return error_.empty(); }
  const std::string& Error() const { return error_; }  // why the database is not ready
  int64_t Rows() const { return rows_; }
  // DSN-less connection string for the "PostgreSQL Unicode" ODBC driver.
  const std::string& OdbcString() const { return odbc_; }
  // libpq connection string (SOCI's postgresql back end).
  const std::string& LibpqString() const { return libpq_; }
  // Where the server came from, for the benchmark's context line.
  const std::string& Origin() const { return origin_; }

  PgBenchDatabase(const PgBenchDatabase&) = delete;
  PgBenchDatabase& operator=(const PgBenchDatabase&) = delete;

 private:
  PgBenchDatabase();
  ~PgBenchDatabase() = default;

  std::string error_, odbc_, libpq_, origin_;
  int64_t rows_ = 0;
};

// The row count: $KP_BENCH_PG_ROWS when it is a positive number (a small count suits
// callgrind), otherwise 200,000.
int64_t PgBenchRows();

}  // namespace kpbench
