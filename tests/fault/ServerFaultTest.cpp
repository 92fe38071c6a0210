// PostgreSQL failing under the ODBC provider, each case ending with the process going on and a
// new connection that opens and queries: the server stopped in the middle of a 70,000-row walk,
// in the middle of an UPDATE (the row is then wholly updated or unchanged after a restart) and
// between the edit of a client cursor and its Update; a statement time-out of a Command; a
// constraint violation on Recordset.Update; a connection refused by a stopped server.
//
// The server-stopping cases run a server of their own that they can stop and start again over
// the same data folder (RestartableServer, below); the others use the shared test server. Every
// case runs under a watchdog that ends the process when it hangs.
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>

#include "AdoTestSupport.h"
#include "OdbcDrivers.h"
#include "PgTestServer.h"
#include "Watchdog.h"

namespace kp::ado::test {
namespace {

using kp::fault::Watchdog;

constexpr HRESULT kIntegrityViolation = (HRESULT)0x80040E2F;
constexpr HRESULT kCanceled = (HRESULT)0x80040E4E;

// A PostgreSQL server of the test's own that can be stopped and started again on the same port
// over the same data (scripts/pg-server.sh makes and removes it; pg_ctl stops and restarts it).
class RestartableServer {
 public:
  RestartableServer() {
    char pattern[] = "/tmp/kp-fault-pg-XXXXXX";
    if (!mkdtemp(pattern)) return;
    state_ = std::string(pattern) + "/server.env";
    if (Shell("'" + kptest::PgTestServer::SourceDir() + "/scripts/pg-server.sh' start '" + state_ +
              "' >/dev/null") == 0)
      port_ = kptest::PgTestServer::PortOf(state_);
  }
  ~RestartableServer() {
    if (!state_.empty()) {
      Shell("'" + kptest::PgTestServer::SourceDir() + "/scripts/pg-server.sh' stop '" + state_ + "'");
      Shell("rm -rf \"$(dirname '" + state_ + "')\"");
    }
  }
  bool Started() const { return port_ > 0; }
  // Stops the server the way an administrator's fast shutdown does (sessions are ended).
  bool Stop() { return Ctl("-m fast -w stop") == 0; }
  bool Start() {
    return Ctl("-l \"$PG_DIR/log\" -w -t 60 start -o \"-k $PG_DIR -p $PG_PORT -c listen_addresses=127.0.0.1 "
               "-c fsync=off -c max_connections=200\"") == 0;
  }
  std::string Odbc(const std::string& extra = "") const {
    return "Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=" + std::to_string(port_) +
           ";Database=postgres;Uid=postgres;Pwd=;" + extra;
  }

 private:
  static int Shell(const std::string& command) { return std::system(command.c_str()); }
  int Ctl(const std::string& arguments) {
    std::string owner = getuid() == 0 ? "runuser -u postgres -- " : "";
    return Shell(". '" + state_ + "' && " + owner + "\"$PG_BIN/pg_ctl\" -D \"$PG_DIR/data\" " + arguments +
                 " >/dev/null 2>&1");
  }
  std::string state_;
  int port_ = 0;
};

class ServerFault : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
  void TearDown() override { CoUninitialize(); }
  static bool DriverMissing() { return !kptest::OdbcDriverInstalled("PostgreSQL Unicode"); }
  static _ConnectionPtr NewConnection() {
    _ConnectionPtr conn;
    conn.CreateInstance(__uuidof(Connection));
    return conn;
  }
  static HRESULT Open(const _ConnectionPtr& conn, const std::string& cs) {
    return Hr([&] { conn->Open(_bstr_t(U(cs.c_str()).c_str()), _bstr_t(u""), _bstr_t(u""), -1); });
  }
  static std::string State(const _ConnectionPtr& conn, long i = 0) {
    return Utf8(conn->GetErrors()->GetItem(_variant_t(i))->GetSQLState());
  }
  static std::string Description(const _ConnectionPtr& conn, long i = 0) {
    return Utf8(conn->GetErrors()->GetItem(_variant_t(i))->GetDescription());
  }
  static long Native(const _ConnectionPtr& conn, long i = 0) {
    return conn->GetErrors()->GetItem(_variant_t(i))->GetNativeError();
  }
  static long Scalar(const _ConnectionPtr& conn, const char16_t* sql) {
    _RecordsetPtr rs = conn->Execute(_bstr_t(sql), nullptr, adCmdText);
    return (long)rs->GetCollect(_variant_t(0L));
  }
  // A private server for the test, guarded by a watchdog of 240 s; null (with skip_ saying why)
  // where the driver or the server programs are missing.
  std::unique_ptr<RestartableServer> PrivateServer() {
    if (DriverMissing()) {
      skip_ = "PostgreSQL Unicode is not installed";
      return nullptr;
    }
    dog_ = std::make_unique<Watchdog>(240);
    auto server = std::make_unique<RestartableServer>();
    if (server->Started()) return server;
    skip_ = "a private PostgreSQL server could not be started";
    return nullptr;
  }
  // Starts the server again and answers sql on a new connection (-1, with a failure, when the
  // server does not start or the connection does not open).
  static long ScalarAfterRestart(RestartableServer& server, const char16_t* sql) {
    if (!server.Start()) {
      ADD_FAILURE() << "the server did not start again";
      return -1;
    }
    _ConnectionPtr after = NewConnection();
    if (Open(after, server.Odbc()) != S_OK) {
      ADD_FAILURE() << "no connection after the restart";
      return -1;
    }
    return Scalar(after, sql);
  }
  std::string skip_;
  std::unique_ptr<Watchdog> dog_;
  // A new connection to cs opens and answers a query.
  static void ExpectNextConnectionWorks(const std::string& cs) {
    _ConnectionPtr next = NewConnection();
    ASSERT_EQ(Open(next, cs), S_OK);
    EXPECT_EQ(Scalar(next, u"SELECT 7"), 7);
    next->Close();
  }
  static _RecordsetPtr OpenClient(const _ConnectionPtr& conn, const char16_t* sql) {
    _RecordsetPtr rs;
    rs.CreateInstance(__uuidof(Recordset));
    rs->PutCursorLocation(adUseClient);
    rs->Open(_variant_t(_bstr_t(sql)), _variant_t((IDispatch*)conn.GetInterfacePtr()), adOpenStatic,
             adLockOptimistic, adCmdText);
    return rs;
  }
};

// The server stops after 1,000 rows of a 70,000-row forward-only walk. With the driver reading
// ahead in blocks of 100 (psqlodbc's UseDeclareFetch), the next block is gone: the Move fails with
// E_FAIL and the driver's record of the lost connection, and every later call on the connection
// fails too; closing it succeeds. After a restart a new connection works.
TEST_F(ServerFault, ServerStoppedInTheMiddleOfAWalk) {
  std::unique_ptr<RestartableServer> server = PrivateServer();
  if (!server) GTEST_SKIP() << skip_;
  _ConnectionPtr conn = NewConnection();
  ASSERT_EQ(Open(conn, server->Odbc("UseDeclareFetch=1;Fetch=100;")), S_OK);
  conn->Execute(_bstr_t(u"CREATE TABLE walk (id integer PRIMARY KEY, name text);"
                        u"INSERT INTO walk SELECT g, 'row ' || g FROM generate_series(1, 70000) g"),
                nullptr, adCmdText);
  _RecordsetPtr rs = conn->Execute(_bstr_t(u"SELECT id, name FROM walk ORDER BY id"), nullptr, adCmdText);
  long seen = 0;
  for (; seen < 1000; ++seen) {
    ASSERT_FALSE(rs->GetadoEOF());
    ASSERT_EQ((long)rs->GetCollect(_variant_t(0L)), seen + 1);
    rs->MoveNext();
  }
  ASSERT_TRUE(server->Stop());
  HRESULT hr = S_OK;
  while (hr == S_OK && seen < 70000) {
    hr = Hr([&] { rs->MoveNext(); });
    if (hr == S_OK) ++seen;
  }
  EXPECT_EQ(hr, E_FAIL) << "the walk read all " << seen << " rows from a stopped server";
  EXPECT_LT(seen, 70000);
  ASSERT_GE(conn->GetErrors()->GetCount(), 1);
  EXPECT_EQ(State(conn), "57P01") << Description(conn);
  EXPECT_EQ(Native(conn), 35);  // psqlodbc's own number for a statement whose connection is gone
  EXPECT_NE(Description(conn).find("terminating connection due to administrator command"), std::string::npos)
      << Description(conn);
  EXPECT_EQ(Hr([&] { conn->Execute(_bstr_t(u"SELECT 1"), nullptr, adCmdText); }), E_FAIL);
  EXPECT_EQ(Hr([&] { rs->Close(); }), S_OK);
  EXPECT_EQ(Hr([&] { conn->Close(); }), S_OK);

  ASSERT_TRUE(server->Start());
  ExpectNextConnectionWorks(server->Odbc());

  // Without read-ahead the driver takes the whole result at Execute: the walk ends with every row
  // and the right values although the server stopped, and the next statement meets the loss.
  _ConnectionPtr whole = NewConnection();
  ASSERT_EQ(Open(whole, server->Odbc()), S_OK);
  rs = whole->Execute(_bstr_t(u"SELECT id, name FROM walk ORDER BY id"), nullptr, adCmdText);
  for (seen = 0; seen < 1000; ++seen) rs->MoveNext();
  ASSERT_TRUE(server->Stop());
  for (; !rs->GetadoEOF(); rs->MoveNext()) {
    ++seen;
    if ((long)rs->GetCollect(_variant_t(0L)) != seen) {
      ADD_FAILURE() << "row " << seen << " reads as " << (long)rs->GetCollect(_variant_t(0L));
      break;
    }
  }
  EXPECT_EQ(seen, 70000);
  EXPECT_EQ(Hr([&] { whole->Execute(_bstr_t(u"SELECT 1"), nullptr, adCmdText); }), E_FAIL);
  EXPECT_EQ(State(whole), "57P01") << Description(whole);
  whole->Close();

  EXPECT_EQ(ScalarAfterRestart(*server, u"SELECT count(*) FROM walk"), 70000);
}

// The server stops while an UPDATE of one row runs (it waits in pg_sleep once it has locked the
// row). The Execute fails with E_FAIL and the server's 57P01 (admin shutdown); after a restart the
// row holds either every new value or every old one, never a mix.
TEST_F(ServerFault, ServerStoppedDuringAnUpdate) {
  std::unique_ptr<RestartableServer> server = PrivateServer();
  if (!server) GTEST_SKIP() << skip_;
  _ConnectionPtr conn = NewConnection();
  ASSERT_EQ(Open(conn, server->Odbc()), S_OK);
  conn->Execute(_bstr_t(u"CREATE TABLE item (id integer PRIMARY KEY, name text, amount integer);"
                        u"INSERT INTO item VALUES (1, 'old', 10), (2, 'other', 20)"),
                nullptr, adCmdText);

  // Stops the server once the UPDATE is seen running (a second connection watches for it).
  std::atomic<bool> stopped{false};
  std::thread stopper([&] {
    CoInitialize(nullptr);
    {
      _ConnectionPtr watch = NewConnection();
      if (Open(watch, server->Odbc()) == S_OK) {
        Hr([&] {
          for (int i = 0; i < 600; ++i) {
            if (Scalar(watch, u"SELECT count(*) FROM pg_stat_activity WHERE state = 'active' AND "
                              u"query LIKE 'UPDATE item%'") > 0)
              break;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
          }
        });
        watch->Close();
      }
    }
    CoUninitialize();
    stopped = server->Stop();
  });
  HRESULT hr = Hr([&] {
    conn->Execute(_bstr_t(u"UPDATE item SET name = 'new', amount = amount + 1 WHERE id = 1 AND "
                          u"pg_sleep(30) IS NOT NULL"),
                  nullptr, adCmdText);
  });
  stopper.join();
  ASSERT_TRUE(stopped);
  EXPECT_EQ(hr, E_FAIL);
  ASSERT_GE(conn->GetErrors()->GetCount(), 1);
  EXPECT_EQ(State(conn), "57P01") << Description(conn);
  EXPECT_EQ(Native(conn), 35);
  EXPECT_EQ(Hr([&] { conn->Close(); }), S_OK);

  ASSERT_TRUE(server->Start());
  ExpectNextConnectionWorks(server->Odbc());
  _ConnectionPtr after = NewConnection();
  ASSERT_EQ(Open(after, server->Odbc()), S_OK);
  _RecordsetPtr rs = after->Execute(_bstr_t(u"SELECT name, amount FROM item WHERE id = 1"), nullptr, adCmdText);
  std::string name = Utf8(_bstr_t(rs->GetCollect(_variant_t(0L))));
  long amount = (long)rs->GetCollect(_variant_t(1L));
  EXPECT_TRUE((name == "old" && amount == 10) || (name == "new" && amount == 11)) << name << " " << amount;
  EXPECT_EQ(Scalar(after, u"SELECT amount FROM item WHERE id = 2"), 20);
}

// The server stops between the edit of a client-cursor row and its Update: Update fails with
// E_FAIL and 08S01 (the driver meets the server's farewell while it prepares the parameterised
// UPDATE, and reports the execute as a lost link), the pending edit is kept (EditMode adEditInProgress, the new value in the
// field) and CancelUpdate gives the old value back. After a restart the row is unchanged.
TEST_F(ServerFault, ServerStoppedBeforeRecordsetUpdate) {
  std::unique_ptr<RestartableServer> server = PrivateServer();
  if (!server) GTEST_SKIP() << skip_;
  _ConnectionPtr conn = NewConnection();
  ASSERT_EQ(Open(conn, server->Odbc()), S_OK);
  conn->Execute(_bstr_t(u"CREATE TABLE item (id integer PRIMARY KEY, amount integer);"
                        u"INSERT INTO item VALUES (1, 10)"),
                nullptr, adCmdText);
  _RecordsetPtr rs = OpenClient(conn, u"SELECT id, amount FROM item");
  rs->GetFields()->GetItem(_variant_t(u"amount"))->PutValue(_variant_t(11L));
  ASSERT_TRUE(server->Stop());
  EXPECT_EQ(Hr([&] { rs->Update(); }), E_FAIL);
  ASSERT_GE(conn->GetErrors()->GetCount(), 1);
  EXPECT_EQ(State(conn), "08S01") << Description(conn);
  EXPECT_EQ(Native(conn), 35);
  EXPECT_NE(Description(conn).find("connection lost"), std::string::npos) << Description(conn);
  EXPECT_EQ(rs->GetEditMode(), adEditInProgress);
  EXPECT_EQ((long)rs->GetCollect(_variant_t(u"amount")), 11);
  EXPECT_EQ(Hr([&] { rs->CancelUpdate(); }), S_OK);
  EXPECT_EQ((long)rs->GetCollect(_variant_t(u"amount")), 10);
  rs->Close();
  conn->Close();

  EXPECT_EQ(ScalarAfterRestart(*server, u"SELECT amount FROM item WHERE id = 1"), 10);
}

// A connection refused by a server that has stopped: 08001 with the driver's "Connection
// refused", E_FAIL, the Connection closed. Once the server runs again the same Connection object
// opens.
TEST_F(ServerFault, RefusedConnectionThenRestart) {
  std::unique_ptr<RestartableServer> server = PrivateServer();
  if (!server) GTEST_SKIP() << skip_;
  ASSERT_TRUE(server->Stop());
  _ConnectionPtr conn = NewConnection();
  EXPECT_EQ(Open(conn, server->Odbc()), E_FAIL);
  ASSERT_GE(conn->GetErrors()->GetCount(), 1);
  EXPECT_EQ(State(conn), "08001");
  EXPECT_EQ(Native(conn), 101);  // psqlodbc: the database could not be opened
  EXPECT_NE(Description(conn).find("onnection refused"), std::string::npos) << Description(conn);
  EXPECT_EQ(conn->GetState(), adStateClosed);
  ASSERT_TRUE(server->Start());
  ASSERT_EQ(Open(conn, server->Odbc()), S_OK);
  EXPECT_EQ(Scalar(conn, u"SELECT 7"), 7);
}

// A Command's CommandTimeout stops an UPDATE that waits: DB_E_CANCELED with HYT00 first, the
// row unchanged; the same connection goes on and a new one opens.
TEST_F(ServerFault, UpdateCommandTimesOut) {
  std::string why;
  if (!kptest::PgTestServer::Available(&why)) GTEST_SKIP() << why;
  Watchdog dog(120);
  std::string db = kptest::PgTestServer::CreateDatabase("cmdtimeout");
  kptest::PgTestServer::Execute(db, "CREATE TABLE item (id integer PRIMARY KEY, amount integer);"
                                    "INSERT INTO item VALUES (1, 10)");
  _ConnectionPtr conn = NewConnection();
  ASSERT_EQ(Open(conn, kptest::PgTestServer::OdbcString(db)), S_OK);
  _CommandPtr cmd;
  cmd.CreateInstance(__uuidof(Command));
  cmd->PutRefActiveConnection(conn);
  cmd->PutCommandText(_bstr_t(u"UPDATE item SET amount = 11 WHERE id = 1 AND pg_sleep(20) IS NOT NULL"));
  cmd->PutCommandTimeout(1);
  auto started = std::chrono::steady_clock::now();
  HRESULT hr = Hr([&] { cmd->Execute(nullptr, nullptr, (long)adCmdText | (long)adExecuteNoRecords); });
  EXPECT_EQ(hr, kCanceled);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(19)) << "the time-out did not stop it";
  ASSERT_GE(conn->GetErrors()->GetCount(), 1);
  EXPECT_EQ(State(conn), "HYT00");
  EXPECT_EQ(Description(conn), "Query timeout expired");
  EXPECT_EQ(Native(conn), 0);
  if (conn->GetErrors()->GetCount() > 1) {
    EXPECT_EQ(State(conn, 1), "57014");
  }
  EXPECT_EQ(Scalar(conn, u"SELECT amount FROM item WHERE id = 1"), 10);
  ExpectNextConnectionWorks(kptest::PgTestServer::OdbcString(db));
}

// Recordset.Update that breaks a constraint: DB_E_INTEGRITYVIOLATION with the server's SQLSTATE
// (23505 unique, 23514 check, 23502 not null); the database and the pending edit stay as they
// were, CancelUpdate restores the row, a valid Update afterwards succeeds.
TEST_F(ServerFault, ConstraintViolationOnUpdate) {
  std::string why;
  if (!kptest::PgTestServer::Available(&why)) GTEST_SKIP() << why;
  Watchdog dog(120);
  std::string db = kptest::PgTestServer::CreateDatabase("constraint");
  kptest::PgTestServer::Execute(db, "CREATE TABLE item (id integer PRIMARY KEY, code text UNIQUE NOT NULL, "
                                    "amount integer CHECK (amount >= 0));"
                                    "INSERT INTO item VALUES (1, 'a', 10), (2, 'b', 20)");
  _ConnectionPtr conn = NewConnection();
  ASSERT_EQ(Open(conn, kptest::PgTestServer::OdbcString(db)), S_OK);
  _RecordsetPtr rs = OpenClient(conn, u"SELECT id, code, amount FROM item ORDER BY id");
  struct Case {
    const char16_t* field;
    _variant_t value;
    const char* state;
  } cases[] = {{u"code", _variant_t(_bstr_t(u"b")), "23505"},
               {u"amount", _variant_t(-1L), "23514"},
               {u"code", _variant_t(), "23502"}};
  cases[2].value.vt = VT_NULL;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.state);
    rs->GetFields()->GetItem(_variant_t(c.field))->PutValue(c.value);
    EXPECT_EQ(Hr([&] { rs->Update(); }), kIntegrityViolation);
    ASSERT_GE(conn->GetErrors()->GetCount(), 1);
    EXPECT_EQ(State(conn), c.state) << Description(conn);
    EXPECT_EQ(Native(conn), 1);  // psqlodbc: an error the server reported
    EXPECT_EQ(rs->GetEditMode(), adEditInProgress);
    rs->CancelUpdate();
    EXPECT_EQ(Utf8(_bstr_t(rs->GetCollect(_variant_t(u"code")))), "a");
    EXPECT_EQ((long)rs->GetCollect(_variant_t(u"amount")), 10);
  }
  rs->GetFields()->GetItem(_variant_t(u"amount"))->PutValue(_variant_t(12L));
  EXPECT_EQ(Hr([&] { rs->Update(); }), S_OK);
  EXPECT_EQ(Scalar(conn, u"SELECT amount FROM item WHERE id = 1"), 12);
  EXPECT_EQ(Scalar(conn, u"SELECT count(*) FROM item WHERE code = 'a' AND amount = 12"), 1);
  EXPECT_EQ(Scalar(conn, u"SELECT count(*) FROM item WHERE code = 'b' AND amount = 20"), 1);
  ExpectNextConnectionWorks(kptest::PgTestServer::OdbcString(db));
}

}  // namespace
}  // namespace kp::ado::test
