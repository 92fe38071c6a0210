// The plain ODBC loop of the PostgreSQL walk benchmark: the least a C++ program does to read
// every field as text through the driver manager, as the yardstick for ADO's ODBC provider.
// SQLExecDirect, then SQLFetch row by row, SQLGetData(SQL_C_WCHAR) per field (UTF-16 from the
// driver), then GBK through GbkText. No column binding and no block cursor: the same one-field-
// at-a-time reads a provider does when it hands out VARIANTs.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace kpbench {

class OdbcWalk {
 public:
  // Connects with SQLDriverConnect (no prompt); Error() tells why when it fails.
  explicit OdbcWalk(const std::string& connection);
  ~OdbcWalk();
  OdbcWalk(const OdbcWalk&) = delete;
  OdbcWalk& operator=(const OdbcWalk&) = delete;

  const std::string& Error() const { return error_; }
  // Runs sql and turns every field of every row into GBK, adding the byte counts to gbkBytes;
  // answers the rows walked, or -1 with Error() set.
  int64_t Walk(const std::string& sql, size_t& gbkBytes);

 private:
  void Diagnose(short handleType, void* handle, const char* what);

  void* env_ = nullptr;  // SQLHENV and SQLHDBC; void* keeps <sql.h> out of this header
  void* dbc_ = nullptr;
  bool connected_ = false;
  std::string error_;
};

}  // namespace kpbench
