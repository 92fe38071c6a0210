// Walks a 1,000,000-row, 4-column table (INTEGER, TEXT, REAL, VARCHAR) and turns every field into
// narrow (GBK) text, three ways:
//   SqliteLoop  - the plain sqlite3 C loop: sqlite3_column_text (UTF-8) -> UTF-16 -> GBK;
//   AdoServer   - ADO's default forward-only cursor: Fields->GetItem(i)->GetValue(), the VARIANT
//                 coerced to BSTR (UTF-16), then GBK;
//   AdoClient   - the same through a client-side static cursor, whose rows are materialised.
// The target is ADO within 2x the plain loop. Counters: rows walked and, for the client cursor,
// heap bytes per materialised row (malloc statistics before and after Open). The ADO walk and
// the conversion are shared with the PostgreSQL benchmark (AdoWalk, GbkText).
// The database is built once per run in a temporary file and removed at exit.
#include <benchmark/benchmark.h>
#include <objbase.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "AdoWalk.h"
#include "GbkText.h"

namespace {

constexpr int kRows = 1000000;

struct Database {
  std::string path;
  Database() {
    char tmpl[] = "/tmp/kpado-bench-XXXXXX";
    int fd = mkstemp(tmpl);
    if (fd >= 0) close(fd);
    path = tmpl;
    unlink(path.c_str());
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db,
                 "CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT, value REAL, code VARCHAR(16));"
                 "BEGIN",
                 nullptr, nullptr, nullptr);
    sqlite3_stmt* ins = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO t VALUES (?, ?, ?, ?)", -1, &ins, nullptr);
    char name[64], code[32];
    for (int i = 0; i < kRows; ++i) {
      snprintf(name, sizeof name, "\xE5\x9C\xB0\xE5\xB1\x82-%d", i);  // "地层-i"
      snprintf(code, sizeof code, "C%07d", i);
      sqlite3_bind_int(ins, 1, i);
      sqlite3_bind_text(ins, 2, name, -1, SQLITE_TRANSIENT);
      sqlite3_bind_double(ins, 3, i * 0.25);
      sqlite3_bind_text(ins, 4, code, -1, SQLITE_TRANSIENT);
      sqlite3_step(ins);
      sqlite3_reset(ins);
    }
    sqlite3_finalize(ins);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
  }
  ~Database() { unlink(path.c_str()); }
};

Database& Db() {
  static Database db;
  return db;
}

void SqliteLoop(benchmark::State& state) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(Db().path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  std::u16string wide;
  std::string narrow;
  size_t total = 0;
  for (auto _ : state) {
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, "SELECT id, name, value, code FROM t", -1, &stmt, nullptr);
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      for (int c = 0; c < 4; ++c) {
        const char* text = (const char*)sqlite3_column_text(stmt, c);
        total += kpbench::Utf8ToGbk(text, (size_t)sqlite3_column_bytes(stmt, c), wide, narrow);
      }
    }
    sqlite3_finalize(stmt);
  }
  benchmark::DoNotOptimize(total);
  sqlite3_close(db);
  state.counters["rows"] = kRows;
}

void Walk(benchmark::State& state, kpbench::AdoCursor cursor) {
  CoInitialize(nullptr);
  kpbench::WalkAdo(state, "Provider=SQLite;Data Source=" + Db().path, "SELECT id, name, value, code FROM t",
                   cursor);
  CoUninitialize();
}

void AdoServer(benchmark::State& state) {
  Walk(state, kpbench::AdoCursor::Server);
}
void AdoClient(benchmark::State& state) {
  Walk(state, kpbench::AdoCursor::Client);
}

BENCHMARK(SqliteLoop)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(AdoServer)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(AdoClient)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
