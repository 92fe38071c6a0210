// Binds the ADO conformance suites to the embedded SQLite provider. The provider never creates a
// database file, so the fixture makes an empty one with the SQLite library first.
//
// Quirk (allowed explicitly): SQLite keeps NUMERIC, DECIMAL and MONEY values as REAL, so they
// carry 15 significant digits; currency and decimals "at their limits" are checked at the
// largest magnitudes with 15 digits.
#include <sqlite3.h>

#include "AdoTestSupport.h"
#include "EventSinks.h"

namespace kp::ado::test {
namespace {

std::u16string CreateSqlite(const std::string& dir) {
  std::string path = dir + "/test.db";
  sqlite3* db = nullptr;
  sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  sqlite3_exec(db, "PRAGMA user_version = 1", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  return U(("Provider=SQLite;Data Source=" + path).c_str());
}

ProviderCase Sqlite() {
  ProviderCase c;
  c.name = "SQLite";
  c.create = &CreateSqlite;
  c.quirks.decimalDigits = 15;
  return c;
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(Sqlite, AdoTest, ::testing::Values(Sqlite()),
                         [](const auto& info) { return info.param.name; });
INSTANTIATE_TEST_SUITE_P(Sqlite, EventsTest, ::testing::Values(Sqlite()),
                         [](const auto& info) { return info.param.name; });
INSTANTIATE_TEST_SUITE_P(Sqlite, SqliteOnlyTest, ::testing::Values(Sqlite()),
                         [](const auto& info) { return info.param.name; });

}  // namespace kp::ado::test
