// The test PostgreSQL server that CTest's "pg" fixture starts (scripts/pg-server.sh): where it
// listens, ODBC connection strings to it, and a fresh database per test case.
//
// The server's state file is named by KP_TEST_PG_STATE (set for every test by the build). Test
// cases run as separate processes in parallel, so each one makes databases of its own with
// unique names; they are dropped when the process exits.
#pragma once
#include <string>

namespace kptest {

class PgTestServer {
 public:
  // Whether the server runs and the "PostgreSQL Unicode" ODBC driver is installed; otherwise
  // why tells what is missing, in words fit for a skip message.
  static bool Available(std::string* why = nullptr);
  static int Port();
  // The port a state file of scripts/pg-server.sh names (0 when it names none).
  static int PortOf(const std::string& stateFile);
  // The folder of the sources (scripts/ is there).
  static std::string SourceDir();
  // A DSN-less ODBC connection string to database on the test server.
  static std::string OdbcString(const std::string& database, const std::string& user = "postgres",
                                const std::string& password = "");
  // Creates an empty UTF-8 database and answers its name (lower case, tag included). Throws
  // std::runtime_error with the server's message on failure.
  static std::string CreateDatabase(const std::string& tag);
  // Runs UTF-8 SQL text (one or more statements) in database; throws on failure.
  static void Execute(const std::string& database, const std::string& sql);
};

}  // namespace kptest
