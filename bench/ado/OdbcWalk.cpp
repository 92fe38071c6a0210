// The plain ODBC loop (see OdbcWalk.h). SQLWCHAR is 16-bit under unixODBC, so the driver's
// UTF-16 goes to the GBK conversion without a copy. A field longer than the read buffer comes in
// pieces (SQLGetData answers SQL_SUCCESS_WITH_INFO, 01004, until the last piece).
#include "OdbcWalk.h"

#include <sql.h>
#include <sqlext.h>

#include "GbkText.h"

namespace kpbench {
namespace {
static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "unixODBC's SQLWCHAR is UTF-16");
constexpr SQLLEN kChunkUnits = 256;
}  // namespace

OdbcWalk::OdbcWalk(const std::string& connection) {
  SQLHENV env = SQL_NULL_HENV;
  SQLHDBC dbc = SQL_NULL_HDBC;
  SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, (SQLPOINTER)SQL_OV_ODBC3, 0);
  SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
  env_ = env;
  dbc_ = dbc;
  SQLRETURN rc = SQLDriverConnect(dbc, nullptr, (SQLCHAR*)connection.c_str(), SQL_NTS, nullptr, 0, nullptr,
                                  SQL_DRIVER_NOPROMPT);
  connected_ = SQL_SUCCEEDED(rc);
  if (!connected_) Diagnose(SQL_HANDLE_DBC, dbc_, "SQLDriverConnect");
}

OdbcWalk::~OdbcWalk() {
  if (connected_) SQLDisconnect(dbc_);
  SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
  SQLFreeHandle(SQL_HANDLE_ENV, env_);
}

void OdbcWalk::Diagnose(short handleType, void* handle, const char* what) {
  SQLCHAR state[6] = {0}, text[1024] = {0};
  SQLINTEGER native = 0;
  SQLSMALLINT length = 0;
  SQLGetDiagRec(handleType, handle, 1, state, &native, text, sizeof text, &length);
  error_ = std::string(what) + " failed: " + (const char*)state + " " + (const char*)text;
}

int64_t OdbcWalk::Walk(const std::string& sql, size_t& gbkBytes) {
  if (!connected_) return -1;
  SQLHSTMT stmt = SQL_NULL_HSTMT;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &stmt))) {
    Diagnose(SQL_HANDLE_DBC, dbc_, "SQLAllocHandle");
    return -1;
  }
  int64_t rows = 0;
  SQLSMALLINT columns = 0;
  SQLWCHAR chunk[kChunkUnits];
  std::u16string pieces;
  std::string narrow;
  SQLRETURN rc = SQLExecDirect(stmt, (SQLCHAR*)sql.c_str(), SQL_NTS);
  if (SQL_SUCCEEDED(rc)) rc = SQLNumResultCols(stmt, &columns);
  while (SQL_SUCCEEDED(rc) && SQL_SUCCEEDED(rc = SQLFetch(stmt))) {
    for (SQLUSMALLINT c = 1; c <= columns && SQL_SUCCEEDED(rc); ++c) {
      pieces.clear();
      for (;;) {
        SQLLEN indicator = 0;
        rc = SQLGetData(stmt, c, SQL_C_WCHAR, chunk, sizeof chunk, &indicator);
        if (!SQL_SUCCEEDED(rc) || indicator == SQL_NULL_DATA) break;
        const char16_t* text = reinterpret_cast<const char16_t*>(chunk);
        bool last = rc == SQL_SUCCESS;
        size_t units = last ? (size_t)indicator / sizeof(SQLWCHAR) : (size_t)kChunkUnits - 1;
        if (last && pieces.empty()) {
          gbkBytes += Utf16ToGbk(text, units, narrow);
          break;
        }
        pieces.append(text, units);
        if (last) {
          gbkBytes += Utf16ToGbk(pieces.data(), pieces.size(), narrow);
          break;
        }
      }
      if (rc == SQL_NO_DATA) rc = SQL_SUCCESS;  // a field read to its end
    }
    ++rows;
  }
  if (rc != SQL_NO_DATA) {
    Diagnose(SQL_HANDLE_STMT, stmt, "walking the rows");
    rows = -1;
  }
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  return rows;
}

}  // namespace kpbench
