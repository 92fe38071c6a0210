// The test PostgreSQL server (see PgTestServer.h). Databases are made and dropped through the
// ODBC driver itself, connected to the maintenance database "postgres" with autocommit on.
#include "PgTestServer.h"

#include <sql.h>
#include <sqlext.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "OdbcDrivers.h"

namespace kptest {
namespace {

std::string Env(const char* name, const char* fallback) {
  const char* v = std::getenv(name);
  return v && *v ? v : fallback;
}

// Runs sql on a fresh connection; the message of the first diagnostic when it fails.
std::string Run(const std::string& connection, const std::string& sql) {
  SQLHENV env = SQL_NULL_HENV;
  SQLHDBC dbc = SQL_NULL_HDBC;
  SQLHSTMT stmt = SQL_NULL_HSTMT;
  std::string error;
  auto diagnose = [&](SQLSMALLINT type, SQLHANDLE handle) {
    SQLCHAR state[6] = {0}, text[1024] = {0};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    SQLGetDiagRec(type, handle, 1, state, &native, text, sizeof text, &length);
    error = std::string(reinterpret_cast<char*>(state)) + " " + reinterpret_cast<char*>(text);
  };
  SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, (SQLPOINTER)SQL_OV_ODBC3, 0);
  SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
  SQLRETURN rc = SQLDriverConnect(dbc, nullptr, (SQLCHAR*)connection.c_str(), SQL_NTS, nullptr, 0, nullptr,
                                  SQL_DRIVER_NOPROMPT);
  if (!SQL_SUCCEEDED(rc)) {
    diagnose(SQL_HANDLE_DBC, dbc);
  } else {
    SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt);
    rc = SQLExecDirect(stmt, (SQLCHAR*)sql.c_str(), SQL_NTS);
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) diagnose(SQL_HANDLE_STMT, stmt);
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    SQLDisconnect(dbc);
  }
  SQLFreeHandle(SQL_HANDLE_DBC, dbc);
  SQLFreeHandle(SQL_HANDLE_ENV, env);
  return error;
}

std::mutex g_lock;
std::vector<std::string> g_created;

void DropCreated() {
  std::lock_guard<std::mutex> hold(g_lock);
  for (const std::string& name : g_created)
    Run(PgTestServer::OdbcString("postgres"), "DROP DATABASE IF EXISTS " + name + " WITH (FORCE)");
  g_created.clear();
}

}  // namespace

std::string PgTestServer::SourceDir() {
  return Env("KP_SOURCE_DIR", KP_SOURCE_DIR_DEFAULT);
}

int PgTestServer::PortOf(const std::string& stateFile) {
  std::ifstream in(stateFile);
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("PG_PORT=", 0) == 0) return std::atoi(line.c_str() + 8);
  return 0;
}

int PgTestServer::Port() {
  return PortOf(Env("KP_TEST_PG_STATE", KP_TEST_PG_STATE_DEFAULT));
}

bool PgTestServer::Available(std::string* why) {
  std::string reason;
  if (!OdbcDriverInstalled("PostgreSQL Unicode"))
    reason = "the ODBC driver \"PostgreSQL Unicode\" (Debian package odbc-postgresql) is not installed";
  else if (Port() <= 0)
    reason = "no test PostgreSQL server runs (CTest's pg fixture starts one with scripts/pg-server.sh; "
             "the server programs come with the Debian package postgresql)";
  if (why) *why = reason;
  return reason.empty();
}

std::string PgTestServer::OdbcString(const std::string& database, const std::string& user,
                                     const std::string& password) {
  return "Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=" + std::to_string(Port()) + ";Database=" + database +
         ";Uid=" + user + ";Pwd=" + password + ";";
}

std::string PgTestServer::CreateDatabase(const std::string& tag) {
  static std::atomic<int> counter{0};
  std::string name = "kp_" + std::to_string(::getpid()) + "_" + std::to_string(++counter) + "_";
  for (char c : tag) {
    if (name.size() >= 63) break;
    name += std::isalnum((unsigned char)c) ? (char)std::tolower((unsigned char)c) : '_';
  }
  std::string error = Run(OdbcString("postgres"), "CREATE DATABASE " + name + " ENCODING 'UTF8' TEMPLATE template0");
  if (!error.empty()) throw std::runtime_error("CREATE DATABASE " + name + ": " + error);
  std::lock_guard<std::mutex> hold(g_lock);
  if (g_created.empty()) std::atexit(&DropCreated);
  g_created.push_back(name);
  return name;
}

void PgTestServer::Execute(const std::string& database, const std::string& sql) {
  std::string error = Run(OdbcString(database), sql);
  if (!error.empty()) throw std::runtime_error(error + " in: " + sql);
}

}  // namespace kptest
