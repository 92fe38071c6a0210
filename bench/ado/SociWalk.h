// The SOCI side of the PostgreSQL walk benchmark: what a C++ program written against Debian's
// SOCI library pays for the same walk, through SOCI's odbc back end (the same ODBC string and
// driver as ADO's provider) and through its postgresql back end (libpq directly). Each field is
// read as it is usually read with SOCI, into() a std::string per column, row by row, and its
// UTF-8 text then goes through the same GBK conversion as the other walks.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace soci {
class session;
}

namespace kpbench {

class SociWalk {
 public:
  enum class Backend { Odbc, Postgresql };

  // Opens a session: connection is an ODBC connection string or a libpq one, after backend.
  // Error() tells why when it fails.
  SociWalk(Backend backend, const std::string& connection);
  ~SociWalk();
  SociWalk(const SociWalk&) = delete;
  SociWalk& operator=(const SociWalk&) = delete;

  const std::string& Error() const { return error_; }
  // Runs sql, a query of exactly four columns, and turns every field of every row into GBK,
  // adding the byte counts to gbkBytes; answers the rows walked, or -1 with Error() set.
  int64_t Walk(const std::string& sql, size_t& gbkBytes);

 private:
  std::unique_ptr<soci::session> session_;
  std::string error_;
};

}  // namespace kpbench
