// The providers of the ado2 database tests (see Ado2TestSupport.h).
//
// - SQLite: a file made with the sqlite3 C API in a temporary folder, opened by the embedded
//   provider ("Provider=SQLite;Data Source=...").
// - SqliteOdbc: the same kind of file, opened through MSDASQL with a plain ODBC string for the
//   driver "SQLite3" ("Driver=SQLite3;Database=...;", no Provider keyword).
// - PostgresOdbc: a fresh UTF-8 database on the test server (CTest's "pg" fixture), the script
//   converted to UTF-8 and run there, opened through MSDASQL with the ODBC string in
//   Extended Properties.
//
// The setup scripts use SQLite's type names. Where another engine (or SQLite's ODBC driver)
// takes a type name otherwise, the script is translated word by word (outside quoted text)
// when the database is made; see TranslateTypes and its rule tables.
#include "Ado2TestSupport.h"

#include <sqlite3.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include <unistd.h>

#include "winnls.h"

#ifdef KP_ADO2_ODBC_PROVIDERS
#include "OdbcDrivers.h"
#include "PgTestServer.h"
#endif

namespace ado2test {

namespace {

// A database file named after the test, made from the script (UTF-8).
std::string SqliteFile(const std::string& script, const std::string& tag) {
  std::string name = tag;
  for (char& c : name) {
    if (c == '/') c = '_';
  }
  std::string path = TempDir() + "/" + name + ".db";
  std::filesystem::remove(path);
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) throw std::runtime_error("sqlite3_open " + path);
  char* error = nullptr;
  int rc = sqlite3_exec(db, script.c_str(), nullptr, nullptr, &error);
  std::string message = error != nullptr ? error : "";
  sqlite3_free(error);
  sqlite3_close(db);
  if (rc != SQLITE_OK) throw std::runtime_error("sqlite3_exec: " + message);
  return path;
}

// The scripts are GBK like all narrow text here; SQLite keeps text as UTF-8.
std::string SqliteCreate(const std::string& script, const std::string& tag) {
  return "Provider=SQLite;Data Source=" + SqliteFile(kp::GbkToUtf8(script), tag);
}

#ifdef KP_ADO2_ODBC_PROVIDERS

// A run of whole words of a script and what replaces it.
struct TypeRule {
  std::vector<std::string> words;  // lower case
  std::string replacement;
};

// Replaces in sql each run of whole words that a rule names (compared without case, any blanks
// between them; outside '...' literals and "..." identifiers) by the rule's replacement. The
// first rule that matches wins, so a longer run must come before its prefix.
std::string TranslateTypes(const std::string& sql, const std::vector<TypeRule>& rules) {
  auto isWord = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
  // Whether word matches sql at `at` (blanks before it skipped); its end in `end`.
  auto wordAt = [&](size_t at, const std::string& word, size_t& end) {
    while (at < sql.size() && std::isspace(static_cast<unsigned char>(sql[at]))) ++at;
    end = at;
    while (end < sql.size() && isWord(sql[end])) ++end;
    if (end - at != word.size()) return false;
    for (size_t k = 0; k < word.size(); ++k)
      if (std::tolower(static_cast<unsigned char>(sql[at + k])) != word[k]) return false;
    return true;
  };
  std::string out;
  size_t i = 0;
  while (i < sql.size()) {
    char c = sql[i];
    if (c == '\'' || c == '"') {  // copied whole; a doubled quote stays inside
      size_t close = i + 1;
      while (close < sql.size() && !(sql[close] == c && (close + 1 >= sql.size() || sql[close + 1] != c)))
        close += sql[close] == c ? 2 : 1;
      out.append(sql, i, close + 1 - i);
      i = close + 1;
      continue;
    }
    if (!isWord(c) || (i > 0 && isWord(sql[i - 1]))) {
      out += c;
      ++i;
      continue;
    }
    bool replaced = false;
    for (const TypeRule& rule : rules) {
      size_t end = i;
      bool match = true;
      for (const std::string& word : rule.words) match = match && wordAt(end, word, end);
      if (match) {
        out += rule.replacement;
        i = end;
        replaced = true;
        break;
      }
    }
    if (!replaced) {
      while (i < sql.size() && isWord(sql[i])) out += sql[i++];
    }
  }
  return out;
}

// SQLite's ODBC driver describes a column by its declared type name, and takes "blob" for a
// short binary column (SQL_BINARY of 255 bytes, not a long field, so no chunks); the file is
// made with the long binary type name instead, which SQLite stores the same way.
const std::vector<TypeRule> kSqliteOdbcTypes = {{{"blob"}, "longvarbinary"}};

// PostgreSQL has no unsigned or one-byte integer types (bigint holds every 32-bit value, but
// only the signed 64-bit range), and other names for the double, date-time and binary types.
// Everything else of the scripts (integer primary key, varchar(n), float4, numeric, money,
// boolean, "with recursive" in an insert) is the same in both.
const std::vector<TypeRule> kPostgresTypes = {{{"unsigned", "big", "int"}, "bigint"},
                                              {{"unsigned", "int"}, "bigint"},
                                              {{"tinyint"}, "smallint"},
                                              {{"double", "precision"}, "double precision"},
                                              {{"double"}, "double precision"},
                                              {{"datetime"}, "timestamp"},
                                              {{"blob"}, "bytea"}};

std::string SqliteOdbcCreate(const std::string& script, const std::string& tag) {
  return "Driver=SQLite3;Database=" +
         SqliteFile(TranslateTypes(kp::GbkToUtf8(script), kSqliteOdbcTypes), tag) + ";";
}

std::string SqliteOdbcUnavailable() {
  if (!kptest::OdbcDriverInstalled("SQLite3"))
    return "the ODBC driver \"SQLite3\" (Debian package libsqliteodbc) is not installed";
  return "";
}

// The procedures of a provider with them (Ado2TestSupport.h), as PostgreSQL functions: ODBC's
// "{call name(...)}" is a SELECT from the function there. Their bodies are checked when called,
// so the tables may come later.
const char kPostgresProcedures[] =
    "SET check_function_bodies = off;"
    "CREATE FUNCTION stratum_rows() RETURNS TABLE(dcmc varchar, dcdm varchar, dcbm integer) LANGUAGE sql"
    " AS 'SELECT dcmc, dcdm, dcbm FROM dcmc ORDER BY dcbm';"
    "CREATE FUNCTION t_insert(n integer, s text) RETURNS integer LANGUAGE sql"
    " AS 'INSERT INTO t(id, name) VALUES (n, s) RETURNING id';";

std::string PostgresCreate(const std::string& script, const std::string& tag) {
  std::string database = kptest::PgTestServer::CreateDatabase(tag);
  kptest::PgTestServer::Execute(database, kPostgresProcedures);
  if (!script.empty())
    kptest::PgTestServer::Execute(database, TranslateTypes(kp::GbkToUtf8(script), kPostgresTypes));
  return "Provider=MSDASQL;Extended Properties=\"" + kptest::PgTestServer::OdbcString(database) + "\"";
}

std::string PostgresUnavailable() {
  std::string why;
  kptest::PgTestServer::Available(&why);
  return why;
}

#else  // built without unixODBC: the ODBC providers are listed and skip

std::string NoOdbc() {
  return "this build has no ODBC (CMake did not find unixODBC; Debian package unixodbc-dev)";
}
std::string SqliteOdbcUnavailable() {
  return NoOdbc();
}
std::string PostgresUnavailable() {
  return NoOdbc();
}
std::string SqliteOdbcCreate(const std::string&, const std::string&) {
  throw std::runtime_error(NoOdbc());
}
std::string PostgresCreate(const std::string&, const std::string&) {
  throw std::runtime_error(NoOdbc());
}

#endif

}  // namespace

std::vector<TestProvider> Providers() {
  return {TestProvider{.name = "SQLite",
                       .create = &SqliteCreate,
                       .compactsDatabases = true,
                       .unsignedTypes = true,
                       .currencyType = true},
          TestProvider{.name = "SqliteOdbc",
                       .create = &SqliteOdbcCreate,
                       .unavailable = &SqliteOdbcUnavailable,
                       .exactNumerics = false},
          TestProvider{.name = "PostgresOdbc",
                       .create = &PostgresCreate,
                       .hasStoredProcedures = true,
                       .unavailable = &PostgresUnavailable,
                       .narrowTextTypes = false}};
}

std::string TempDir() {
  static const std::string dir = [] {
    std::string base =
        std::filesystem::temp_directory_path().string() + "/ado2test-" + std::to_string(::getpid());
    std::filesystem::remove_all(base);
    std::filesystem::create_directories(base);
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(
          std::filesystem::temp_directory_path().string() + "/ado2test-" + std::to_string(::getpid()),
          ignored);
    });
    return base;
  }();
  return dir;
}

}  // namespace ado2test
