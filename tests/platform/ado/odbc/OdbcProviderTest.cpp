// Binds the ADO conformance suites to the ODBC provider: SQLite through its ODBC driver
// ("SQLite3", a file made with the SQLite library first) and PostgreSQL through "PostgreSQL
// Unicode" (a fresh database on the test server per test case). Both go through MSDASQL, the
// provider of a string without Provider=.
//
// The suites use SQLite's spelling of DDL; PostgresDdl rewrites the few words PostgreSQL spells
// differently. Quirks of each provider are listed on ProviderQuirks and allowed in the tests
// that meet them.
#include <sqlite3.h>

#include <string_view>

#include "AdoTestSupport.h"
#include "EventSinks.h"
#include "OdbcDrivers.h"
#include "PgTestServer.h"

namespace kp::ado::test {
namespace {

std::u16string CreateSqliteOdbc(const std::string& dir) {
  std::string path = dir + "/test.db";
  sqlite3* db = nullptr;
  sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  sqlite3_exec(db, "PRAGMA user_version = 1", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  return U(("Driver=SQLite3;Database=" + path).c_str());
}

std::string SqliteOdbcMissing() {
  return kptest::OdbcDriverInstalled("SQLite3")
             ? ""
             : "the ODBC driver \"SQLite3\" (Debian package libsqliteodbc) is not "
               "installed";
}

std::u16string CreatePostgres(const std::string&) {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string db = kptest::PgTestServer::CreateDatabase(info ? info->name() : "ado");
  return U(kptest::PgTestServer::OdbcString(db).c_str());
}

std::string PostgresMissing() {
  std::string why;
  return kptest::PgTestServer::Available(&why) ? "" : why;
}

// SQLite's DDL words as PostgreSQL spells them.
std::u16string PostgresDdl(const std::u16string& sql) {
  struct Word {
    const char16_t* from;
    const char16_t* to;
  };
  static const Word words[] = {
      {u"INTEGER PRIMARY KEY", u"SERIAL PRIMARY KEY"},
      {u"BLOB", u"BYTEA"},
      {u"DATETIME", u"TIMESTAMP"},
      {u"DOUBLE)", u"DOUBLE PRECISION)"},
      {u"TINYINT", u"SMALLINT"},
  };
  std::u16string out;
  // Blob literals x'0102' are bytea literals '\x0102'::bytea.
  for (size_t i = 0; i < sql.size(); ++i) {
    size_t end = i + 2 < sql.size() ? sql.find(u'\'', i + 2) : std::u16string::npos;
    bool blob = (sql[i] == u'x' || sql[i] == u'X') && sql[i + 1] == u'\'' && end != std::u16string::npos &&
                i > 0 && std::u16string_view(u" (,").find(sql[i - 1]) != std::u16string_view::npos;
    if (!blob) {
      out.push_back(sql[i]);
      continue;
    }
    out += u"'\\x" + sql.substr(i + 2, end - i - 2) + u"'::bytea";
    i = end;
  }
  for (const Word& w : words) {
    std::u16string from(w.from), to(w.to);
    for (size_t at = out.find(from); at != std::u16string::npos; at = out.find(from, at + to.size()))
      out.replace(at, from.size(), to);
  }
  return out;
}

ProviderCase SqliteOdbc() {
  ProviderCase c;
  c.name = "SqliteOdbc";
  c.create = &CreateSqliteOdbc;
  c.quirks.decimalDigits = 15;
  c.missing = &SqliteOdbcMissing;
  c.quirks.odbc = true;
  c.quirks.sqliteOdbc = true;
  return c;
}

ProviderCase PostgresOdbc() {
  ProviderCase c;
  c.name = "PostgresOdbc";
  c.create = &CreatePostgres;
  c.missing = &PostgresMissing;
  c.ddl = &PostgresDdl;
  c.quirks.odbc = true;
  c.quirks.postgres = true;
  return c;
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(Odbc, AdoTest, ::testing::Values(SqliteOdbc(), PostgresOdbc()),
                         [](const auto& info) { return info.param.name; });
INSTANTIATE_TEST_SUITE_P(Odbc, EventsTest, ::testing::Values(SqliteOdbc(), PostgresOdbc()),
                         [](const auto& info) { return info.param.name; });

}  // namespace kp::ado::test
