// Many threads at once on one database: each thread enters a COM apartment of its own, opens its
// own Connection to the same SQLite file (WAL or rollback journal) or the same PostgreSQL database, walks a
// table through a forward-only cursor and adds one to a counter row many times, each time in a
// transaction: read the row through a client cursor, write n + 1 with Recordset.Update, commit.
// A write that meets another writer (SQLite's busy or stale-snapshot, PostgreSQL's serialization
// failure: E_FAIL with SQLSTATE 40001 as the providers report them) is rolled back and tried
// again. At the end the counter equals the number of committed increments: no update is lost.
// Also: Connection.Open waits for a file another connection has locked. Built with
// ThreadSanitizer (preset tsan) the same run checks for data races.
#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include "AdoTestSupport.h"
#include "PgTestServer.h"
#include "Watchdog.h"

namespace kp::ado::test {
namespace {

using kp::fault::Watchdog;

constexpr int kThreads = 8;
constexpr int kIncrements = 20;
constexpr int kWalkRows = 300;

struct Tally {
  std::atomic<int> committed{0};
  std::atomic<int> retries{0};
};

// The SQLSTATE of the first entry of conn's Errors ("" when there is none).
std::string FirstState(const _ConnectionPtr& conn) {
  ErrorsPtr errors = conn->GetErrors();
  if (errors->GetCount() == 0) return "";
  return Utf8(errors->GetItem(_variant_t(0L))->GetSQLState());
}

// One thread's work: its own apartment, connection and recordsets.
void Worker(const std::u16string& cs, const char16_t* setup, Tally& tally, std::atomic<int>& ready) {
  // Start together, so that the work overlaps (counted first, so that a thread failing early
  // holds no one back).
  ++ready;
  while (ready.load() < kThreads) std::this_thread::yield();
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  {
    _ConnectionPtr conn;
    ASSERT_EQ(conn.CreateInstance(__uuidof(Connection)), S_OK);
    conn->PutCommandTimeout(10);
    ASSERT_EQ(Hr([&] { conn->Open(_bstr_t(cs.c_str()), _bstr_t(u""), _bstr_t(u""), -1); }), S_OK)
        << FirstState(conn);
    if (setup) conn->Execute(_bstr_t(setup), nullptr, adCmdText);

    for (int done = 0; done < kIncrements;) {
      // A walk of the shared table through a server cursor; readers are never refused.
      long rows = 0;
      HRESULT read = Hr([&] {
        _RecordsetPtr walk = conn->Execute(_bstr_t(u"SELECT id, v FROM item ORDER BY id"), nullptr, adCmdText);
        for (; !walk->GetadoEOF(); walk->MoveNext()) {
          EXPECT_EQ((long)walk->GetCollect(_variant_t(0L)), rows + 1);
          ++rows;
        }
        walk->Close();
      });
      ASSERT_EQ(read, S_OK) << FirstState(conn);
      EXPECT_EQ(rows, kWalkRows);

      bool inTransaction = false;
      HRESULT hr = Hr([&] {
        conn->BeginTrans();
        inTransaction = true;
        _RecordsetPtr rs;
        rs.CreateInstance(__uuidof(Recordset));
        rs->PutCursorLocation(adUseClient);
        rs->Open(_variant_t(_bstr_t(u"SELECT id, n FROM counter WHERE id = 1")),
                 _variant_t((IDispatch*)conn.GetInterfacePtr()), adOpenStatic, adLockOptimistic, adCmdText);
        long n = (long)rs->GetCollect(_variant_t(u"n"));
        rs->GetFields()->GetItem(_variant_t(u"n"))->PutValue(_variant_t(n + 1));
        rs->Update();
        rs->Close();
        conn->CommitTrans();
        inTransaction = false;
      });
      if (hr == S_OK) {
        ++done;
        ++tally.committed;
        continue;
      }
      std::string state = FirstState(conn);
      if (inTransaction) Hr([&] { conn->RollbackTrans(); });
      // Only a writer meeting another writer may be retried; anything else is a fault.
      ASSERT_EQ(hr, E_FAIL) << state;
      ASSERT_EQ(state, "40001");
      ++tally.retries;
    }
    conn->Close();
  }
  CoUninitialize();
}

// Runs the workers on cs and answers what they counted.
void RunWorkers(const std::u16string& cs, const char16_t* setup, Tally& tally) {
  std::atomic<int> ready{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i)
    threads.emplace_back([&] { Worker(cs, setup, tally, ready); });
  for (std::thread& t : threads) t.join();
}

long Counter(const std::u16string& cs) {
  _ConnectionPtr conn;
  conn.CreateInstance(__uuidof(Connection));
  conn->Open(_bstr_t(cs.c_str()), _bstr_t(u""), _bstr_t(u""), -1);
  _RecordsetPtr rs = conn->Execute(_bstr_t(u"SELECT n FROM counter WHERE id = 1"), nullptr, adCmdText);
  long n = (long)rs->GetCollect(_variant_t(0L));
  conn->Close();
  return n;
}

class Concurrency : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
  void TearDown() override { CoUninitialize(); }
};

// Makes a SQLite file with the counter and the table to walk, in the given journal mode, and
// answers its path.
std::string MakeSqliteFile(const char* journal) {
  std::string path = TempDir() + "/counter.db";
  sqlite3* db = nullptr;
  EXPECT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  std::string sql = std::string("PRAGMA journal_mode=") + journal + "; CREATE TABLE counter (id INTEGER PRIMARY KEY, n INTEGER NOT NULL);"
                    "INSERT INTO counter VALUES (1, 0);"
                    "CREATE TABLE item (id INTEGER PRIMARY KEY, v TEXT);"
                    "WITH RECURSIVE g(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM g WHERE i < " +
                    std::to_string(kWalkRows) + ") INSERT INTO item SELECT i, 'row ' || i FROM g;";
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  sqlite3_close(db);
  return path;
}

std::u16string SqliteString(const std::string& path) {
  return u"Provider=SQLite;Data Source=" + U(path.c_str());
}

// Eight threads on one SQLite file in WAL mode; the provider's CommandTimeout is its busy timeout.
TEST_F(Concurrency, SqliteFileNoUpdateLost) {
  Watchdog dog(300);
  std::u16string cs = SqliteString(MakeSqliteFile("WAL"));
  Tally tally;
  RunWorkers(cs, nullptr, tally);
  EXPECT_EQ(tally.committed.load(), kThreads * kIncrements);
  printf("%d increments committed after %d retries\n", tally.committed.load(), tally.retries.load());
  EXPECT_EQ(Counter(cs), tally.committed.load()) << tally.retries.load() << " retries";
}

// The same with SQLite's rollback journal, where a writer that commits locks out readers for a
// moment: a Connection opening then waits for the lock (up to its ConnectionTimeout) instead of
// failing at once.
TEST_F(Concurrency, SqliteRollbackJournalNoUpdateLost) {
  Watchdog dog(300);
  std::u16string cs = SqliteString(MakeSqliteFile("DELETE"));
  Tally tally;
  RunWorkers(cs, nullptr, tally);
  EXPECT_EQ(tally.committed.load(), kThreads * kIncrements);
  printf("%d increments committed after %d retries\n", tally.committed.load(), tally.retries.load());
  EXPECT_EQ(Counter(cs), tally.committed.load()) << tally.retries.load() << " retries";
}

// Connection.Open while another connection holds the file's exclusive lock: Open waits for the
// lock as long as ConnectionTimeout allows (ADO: the time to wait while establishing a
// connection), so it succeeds once the lock goes after 300 ms; with the lock kept past a
// ConnectionTimeout of 1 s it fails with E_FAIL, 08001 and SQLite's SQLITE_BUSY (5) as NativeError.
TEST_F(Concurrency, SqliteOpenWaitsForALockedFile) {
  Watchdog dog(60);
  std::string path = MakeSqliteFile("DELETE");
  std::u16string cs = SqliteString(path);
  sqlite3* holder = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &holder), SQLITE_OK);
  auto lock = [&] { ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK); };
  auto unlock = [&] { sqlite3_exec(holder, "COMMIT", nullptr, nullptr, nullptr); };

  lock();
  std::thread release([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    unlock();
  });
  _ConnectionPtr conn;
  conn.CreateInstance(__uuidof(Connection));
  conn->PutConnectionTimeout(10);
  HRESULT hr = Hr([&] { conn->Open(_bstr_t(cs.c_str()), _bstr_t(u""), _bstr_t(u""), -1); });
  release.join();
  EXPECT_EQ(hr, S_OK) << FirstState(conn);
  if (hr == S_OK) conn->Close();

  lock();
  conn->PutConnectionTimeout(1);
  hr = Hr([&] { conn->Open(_bstr_t(cs.c_str()), _bstr_t(u""), _bstr_t(u""), -1); });
  unlock();
  EXPECT_EQ(hr, E_FAIL);
  ASSERT_EQ(conn->GetErrors()->GetCount(), 1);
  EXPECT_EQ(FirstState(conn), "08001");
  EXPECT_EQ(conn->GetErrors()->GetItem(_variant_t(0L))->GetNativeError(), SQLITE_BUSY);
  EXPECT_EQ(conn->GetState(), adStateClosed);
  sqlite3_close(holder);
}

// Eight threads on one PostgreSQL database; each session is REPEATABLE READ, so a concurrent
// update of the counter fails with 40001 ("could not serialize access") instead of being lost.
TEST_F(Concurrency, PostgresNoUpdateLost) {
  std::string why;
  if (!kptest::PgTestServer::Available(&why)) GTEST_SKIP() << why;
  Watchdog dog(300);
  std::string db = kptest::PgTestServer::CreateDatabase("threads");
  kptest::PgTestServer::Execute(db, "CREATE TABLE counter (id integer PRIMARY KEY, n integer NOT NULL);"
                                    "INSERT INTO counter VALUES (1, 0);"
                                    "CREATE TABLE item (id integer PRIMARY KEY, v text);"
                                    "INSERT INTO item SELECT g, 'row ' || g FROM generate_series(1, " +
                                        std::to_string(kWalkRows) + ") g");
  std::u16string cs = U(kptest::PgTestServer::OdbcString(db).c_str());
  Tally tally;
  RunWorkers(cs, u"SET SESSION CHARACTERISTICS AS TRANSACTION ISOLATION LEVEL REPEATABLE READ", tally);
  EXPECT_EQ(tally.committed.load(), kThreads * kIncrements);
  printf("%d increments committed after %d retries\n", tally.committed.load(), tally.retries.load());
  EXPECT_EQ(Counter(cs), tally.committed.load()) << tally.retries.load() << " retries";
}

}  // namespace
}  // namespace kp::ado::test
