// The providers of the ado2 database tests (see Ado2TestSupport.h). SQLite databases are made
// with the sqlite3 C API in a temporary folder.
#include "Ado2TestSupport.h"

#include <sqlite3.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include <unistd.h>

#include "winnls.h"

namespace ado2test {

namespace {

std::string SqliteCreate(const std::string& script, const std::string& tag) {
  std::string name = tag;
  for (char& c : name) {
    if (c == '/') c = '_';
  }
  std::string path = TempDir() + "/" + name + ".db";
  std::filesystem::remove(path);
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) throw std::runtime_error("sqlite3_open " + path);
  char* error = nullptr;
  // The script is GBK like all narrow text here; SQLite keeps text as UTF-8.
  int rc = sqlite3_exec(db, kp::GbkToUtf8(script).c_str(), nullptr, nullptr, &error);
  std::string message = error != nullptr ? error : "";
  sqlite3_free(error);
  sqlite3_close(db);
  if (rc != SQLITE_OK) throw std::runtime_error("sqlite3_exec: " + message);
  return "Provider=SQLite;Data Source=" + path;
}

}  // namespace

std::vector<TestProvider> Providers() {
  return {TestProvider{"SQLite", &SqliteCreate, false}};
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
