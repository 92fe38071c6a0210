// The benchmark's PostgreSQL database (see PgBenchDatabase.h). It leans on the test support
// library: PgTestServer reads the server's state file from $KP_TEST_PG_STATE, so the benchmark
// points that variable at the server it uses and then makes its database, its table and its
// connection strings with the same helpers the tests use.
//
// Exit order matters: the database is dropped by an atexit handler that PgTestServer registers
// when it creates the database, and the private server must still run then. The server's holder
// is therefore a static constructed before the database is created, so it is destroyed after
// that handler has run.
#include "PgBenchDatabase.h"

#include <stdlib.h>

#include <cstdlib>
#include <exception>
#include <filesystem>

#include "OdbcDrivers.h"
#include "PgTestServer.h"

namespace kpbench {
namespace {

using kptest::PgTestServer;

std::string Script() {
  return "'" + PgTestServer::SourceDir() + "/scripts/pg-server.sh'";
}

// A throw-away server of this process: started on construction, stopped and removed at exit.
struct PrivateServer {
  std::string folder, state;
  PrivateServer() {
    char pattern[] = "/tmp/kp-bench-pg-XXXXXX";
    if (!mkdtemp(pattern)) return;
    folder = pattern;
    state = folder + "/server.env";
    if (std::system((Script() + " start '" + state + "' >/dev/null").c_str()) != 0) state.clear();
  }
  ~PrivateServer() {
    if (!state.empty()) std::system((Script() + " stop '" + state + "'").c_str());
    std::error_code ignored;
    if (!folder.empty()) std::filesystem::remove_all(folder, ignored);
  }
};

}  // namespace

int64_t PgBenchRows() {
  const char* text = std::getenv("KP_BENCH_PG_ROWS");
  long long n = text ? std::atoll(text) : 0;
  return n > 0 ? (int64_t)n : 200000;
}

PgBenchDatabase& PgBenchDatabase::Get() {
  static PgBenchDatabase database;
  return database;
}

PgBenchDatabase::PgBenchDatabase() {
  if (!kptest::OdbcDriverInstalled("PostgreSQL Unicode")) {
    error_ = "the ODBC driver \"PostgreSQL Unicode\" (Debian package odbc-postgresql) is not installed";
    return;
  }
  const char* shared = std::getenv("KP_BENCH_PG_STATE");
  if (shared && *shared) {
    origin_ = std::string("the server of ") + shared;
    setenv("KP_TEST_PG_STATE", shared, 1);
  } else {
    static PrivateServer server;
    if (server.state.empty()) {
      error_ = "could not start a PostgreSQL server with scripts/pg-server.sh (Debian package postgresql)";
      return;
    }
    origin_ = "a private server";
    setenv("KP_TEST_PG_STATE", server.state.c_str(), 1);
  }
  if (PgTestServer::Port() <= 0) {
    error_ = "no PostgreSQL server runs at the state file " + std::string(getenv("KP_TEST_PG_STATE"));
    return;
  }
  rows_ = PgBenchRows();
  try {
    std::string name = PgTestServer::CreateDatabase("bench");
    // ASCII-only SQL: U&'\5730\5C42' is "地层" whatever the client encoding of the connection.
    PgTestServer::Execute(name,
                          "CREATE TABLE t (id integer PRIMARY KEY, name text, value double precision, "
                          "code varchar(16));"
                          "INSERT INTO t SELECT i, CASE WHEN i % 2 = 0 THEN U&'\\5730\\5C42-' || i "
                          "ELSE 'stratum-' || i END, i * 0.25, 'C' || lpad(i::text, 7, '0') "
                          "FROM generate_series(0, " +
                              std::to_string(rows_ - 1) + ") AS i");
    PgTestServer::Execute(name, "VACUUM ANALYZE t");  // alone: VACUUM refuses a transaction block
    odbc_ = PgTestServer::OdbcString(name);
    libpq_ =
        "host=127.0.0.1 port=" + std::to_string(PgTestServer::Port()) + " dbname=" + name + " user=postgres";
    origin_ += ", port " + std::to_string(PgTestServer::Port());
  } catch (const std::exception& e) {
    error_ = std::string("loading the table failed: ") + e.what();
  }
}

}  // namespace kpbench
