// The database of a fault session (see FaultDatabase.h).
#include "FaultDatabase.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "SqliteFaults.h"

namespace kp::fault {
namespace {

std::string MakeFolder() {
  std::error_code ec;
  std::string base =
      std::filesystem::is_directory("/dev/shm", ec) && access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  std::string pattern = base + "/kpfault-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) {
    ADD_FAILURE() << "cannot make a folder under " << base;
    return "/tmp/";
  }
  return pattern + "/";
}

}  // namespace

FaultDatabase::FaultDatabase(const std::string& script) : folder_(MakeFolder()) {
  SqliteFaults::Disarm();
  sqlite3* db = nullptr;
  std::string path = folder_ + "template.db";
  int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  char* message = nullptr;
  if (rc == SQLITE_OK) rc = sqlite3_exec(db, script.c_str(), nullptr, nullptr, &message);
  EXPECT_EQ(rc, SQLITE_OK) << "making " << path << ": " << (message ? message : sqlite3_errstr(rc));
  sqlite3_free(message);
  sqlite3_close_v2(db);
}

FaultDatabase::~FaultDatabase() {
  std::error_code ec;
  std::filesystem::remove_all(folder_, ec);
}

std::string FaultDatabase::Fresh() {
  std::error_code ec;
  for (const char* suffix : {"-journal", "-wal", "-shm"}) std::filesystem::remove(Path() + suffix, ec);
  std::filesystem::copy_file(folder_ + "template.db", Path(),
                             std::filesystem::copy_options::overwrite_existing, ec);
  EXPECT_FALSE(ec) << "copying the template: " << ec.message();
  return Path();
}

std::vector<std::string> FaultDatabase::Rows(const std::string& path, const std::string& query) {
  SqliteFaults::Disarm();
  std::vector<std::string> rows;
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
  sqlite3_stmt* stmt = nullptr;
  if (rc == SQLITE_OK) rc = sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &stmt, nullptr);
  if (rc == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW) {
    const char* verdict = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    EXPECT_STREQ(verdict, "ok") << path << " is damaged";
  }
  sqlite3_finalize(stmt);
  stmt = nullptr;
  if (rc == SQLITE_OK) rc = sqlite3_prepare_v2(db, query.c_str(), -1, &stmt, nullptr);
  while (rc == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW) {
    std::string row;
    for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
      if (c > 0) row += '|';
      switch (sqlite3_column_type(stmt, c)) {
        case SQLITE_NULL:
          row += "NULL";
          break;
        case SQLITE_FLOAT: {
          char text[32];
          std::snprintf(text, sizeof text, "%.15g", sqlite3_column_double(stmt, c));
          row += text;
          break;
        }
        default:
          row += reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
          break;
      }
    }
    rows.push_back(row);
  }
  EXPECT_EQ(rc, SQLITE_OK) << "reading " << path << ": " << sqlite3_errmsg(db);
  sqlite3_finalize(stmt);
  sqlite3_close_v2(db);
  return rows;
}

}  // namespace kp::fault
