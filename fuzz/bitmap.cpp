// Bitmap fields read through ado2: the input is stored as the one long binary value of a
// SQLite table, then read back as a CBitmap (GetChunk into a bitmap) and as raw bytes (GetChunk
// into a buffer of the field's size). Properties: a bitmap is made only from a whole image
// (headers, colour table and pixel rows inside the value) and then has the header's width and
// height; anything else fails with no bitmap; the raw read gives the stored bytes and writes
// nothing past them.
#include <sqlite3.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ADODataBase.h"
#include "ADORecordset.h"
#include "FuzzCheck.h"

namespace {

std::string DatabasePath() {
  const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  static const std::string path = std::string(dir) + "/kp-fuzz-bitmap-" + std::to_string(getpid()) + ".sqlite";
  return path;
}

struct Database {
  CADODataBase db;

  Database() {
    const std::string path = DatabasePath();
    std::remove(path.c_str());
    std::atexit([] { std::remove(DatabasePath().c_str()); });
    sqlite3* raw = nullptr;
    FUZZ_CHECK(sqlite3_open(path.c_str(), &raw) == SQLITE_OK);
    FUZZ_CHECK(sqlite3_exec(raw, "create table blobs(id integer primary key, data blob); insert into blobs values(1, null)",
                            nullptr, nullptr, nullptr) == SQLITE_OK);
    sqlite3_close(raw);
    FUZZ_CHECK(db.Open(("Provider=SQLite;Data Source=" + path).c_str(), "", ""));
  }
};

// Opened before the first input (so the leak check does not count it against one) and kept to
// the end of the process.
Database* TheDatabase() {
  static Database* database = new Database;
  return database;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  TheDatabase();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > (1u << 20)) return 0;
  Database* database = TheDatabase();
  {
    CADORecordset writer(&database->db);
    FUZZ_CHECK(writer.Open("select * from blobs", 1));
    FUZZ_CHECK(writer.SetFieldNull("data"));
    FUZZ_CHECK(writer.AppendChunk("data", const_cast<uint8_t*>(data), static_cast<UINT>(size)));
    FUZZ_CHECK(writer.Update());
  }
  CADORecordset reader(&database->db);
  FUZZ_CHECK(reader.Open("select * from blobs", 1));
  CBitmap bitmap;
  if (reader.GetChunk("data", bitmap)) {
    FUZZ_CHECK(bitmap.GetSafeHandle() != nullptr);
    BITMAP info;
    FUZZ_CHECK(::GetObject(bitmap.GetSafeHandle(), sizeof info, &info) != 0);
    uint32_t headerSize = 0;
    int32_t width = 0, height = 0;
    FUZZ_CHECK(size >= 26);
    std::memcpy(&headerSize, data + 14, 4);
    if (headerSize >= 40) {  // BITMAPINFOHEADER and its successors
      std::memcpy(&width, data + 18, 4);
      std::memcpy(&height, data + 22, 4);
      FUZZ_CHECK(info.bmWidth == width);
      FUZZ_CHECK(info.bmHeight == height || -info.bmHeight == height);
    }
  } else {
    FUZZ_CHECK(bitmap.GetSafeHandle() == nullptr);
  }
  // Chunks are read in sequence: a second recordset reads the value from its start.
  CADORecordset rawReader(&database->db);
  FUZZ_CHECK(rawReader.Open("select * from blobs", 1));
  std::vector<uint8_t> raw(size);
  if (rawReader.GetChunk("data", static_cast<LPVOID>(raw.data()))) {
    FUZZ_CHECK(std::memcmp(raw.data(), data, size) == 0);
  }
  return 0;
}
