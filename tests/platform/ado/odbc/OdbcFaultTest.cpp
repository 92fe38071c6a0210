// Faults of the ODBC provider, each with the exact HRESULT, SQLSTATE and Errors collection it
// gives: a wrong password (in the string or as Connection.Open's arguments), a server that is down, the
// server stopped between connect and query, the link dropped in the middle of a read (the fault switch), a
// statement timing out, an unknown DSN (the driver manager's IM002), FreeTDS against a closed port, MDBTools
// with a missing file, and a driver the driver manager does not list (in a process of its own).
#include <kp/kpado.h>
#include <stdlib.h>

#include <cstdio>
#include <fstream>

#include "AdoTestSupport.h"
#include "OdbcDrivers.h"
#include "PgTestServer.h"
#include "PrivatePgServer.h"

namespace kp::ado::test {
namespace {

constexpr HRESULT kProviderNotFound = (HRESULT)0x800A0E7A;
constexpr HRESULT kCanceled = (HRESULT)0x80040E4E;

class OdbcFault : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    ASSERT_EQ(conn_.CreateInstance(__uuidof(Connection)), S_OK);
  }
  void TearDown() override {
    if (conn_ && conn_->GetState() == adStateOpen) conn_->Close();
    conn_ = nullptr;
    CoUninitialize();
  }
  // Skips the test when the test server is missing; the caller returns when IsSkipped().
  void NeedPostgres() {
    std::string why;
    if (!kptest::PgTestServer::Available(&why)) GTEST_SKIP() << "PostgreSQL is not available: " << why;
  }
  HRESULT Open(const std::string& cs) {
    return Hr([&] { conn_->Open(_bstr_t(U(cs.c_str()).c_str()), _bstr_t(u""), _bstr_t(u""), -1); });
  }
  std::string State(long i = 0) { return Utf8(conn_->GetErrors()->GetItem(_variant_t(i))->GetSQLState()); }
  std::string Description(long i = 0) {
    return Utf8(conn_->GetErrors()->GetItem(_variant_t(i))->GetDescription());
  }
  std::string Source(long i = 0) { return Utf8(conn_->GetErrors()->GetItem(_variant_t(i))->GetSource()); }
  _ConnectionPtr conn_;
};

// A closed loopback port: nothing listens on port 1.
constexpr const char* kClosedPort = "1";

// PostgreSQL refuses a wrong password (role kp_secret, password "right"): the connection fails
// with the driver's 08001 and the server's message; Errors holds the driver's records.
TEST_F(OdbcFault, WrongPasswordFailsToConnect) {
  NeedPostgres();
  if (IsSkipped()) return;
  HRESULT hr = Open(kptest::PgTestServer::OdbcString("postgres", "kp_secret", "wrong"));
  EXPECT_EQ(hr, E_FAIL);
  ASSERT_GE(conn_->GetErrors()->GetCount(), 1);
  EXPECT_EQ(State(), "08001");
  EXPECT_NE(Description().find("password authentication failed"), std::string::npos) << Description();
  EXPECT_EQ(Source(), "Microsoft OLE DB Provider for ODBC Drivers");
  EXPECT_EQ(conn_->GetState(), adStateClosed);
  // The right password opens.
  EXPECT_EQ(Open(kptest::PgTestServer::OdbcString("postgres", "kp_secret", "right")), S_OK);
}

// Connection.Open's UserID and Password arguments log in (ADO reference, Connection.Open: they
// override the user and password a connection string gives); through the ODBC provider they are
// the driver's UID and PWD. Without a Uid in the string, the arguments alone name the role: the
// right password connects as kp_secret, a wrong one is refused by the server (08001 with its
// message in Errors).
TEST_F(OdbcFault, UserAndPasswordArgumentsLogIn) {
  NeedPostgres();
  if (IsSkipped()) return;
  std::string cs =
      "Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=" + std::to_string(kptest::PgTestServer::Port()) +
      ";Database=postgres;";
  auto open = [&](const std::string& text, const char16_t* user, const char16_t* password) {
    return Hr([&] { conn_->Open(_bstr_t(U(text.c_str()).c_str()), _bstr_t(user), _bstr_t(password), -1); });
  };
  auto currentUser = [&] {
    _RecordsetPtr rs = conn_->Execute(_bstr_t(u"SELECT current_user"), nullptr, adCmdText);
    return Utf8(_bstr_t(rs->GetCollect(_variant_t(0L))));
  };
  ASSERT_EQ(open(cs, u"kp_secret", u"right"), S_OK);
  EXPECT_EQ(currentUser(), "kp_secret");
  // The arguments are not written into the connection string.
  EXPECT_EQ(Utf8(conn_->GetConnectionString()), cs);
  conn_->Close();

  EXPECT_EQ(open(cs, u"kp_secret", u"wrong"), E_FAIL);
  ASSERT_GE(conn_->GetErrors()->GetCount(), 1);
  EXPECT_EQ(State(), "08001");
  EXPECT_NE(Description().find("password authentication failed for user \"kp_secret\""), std::string::npos)
      << Description();
  EXPECT_EQ(conn_->GetState(), adStateClosed);
}

// The arguments take precedence over the string's own Uid and Pwd, also inside Extended
// Properties; empty arguments leave the string's values alone.
TEST_F(OdbcFault, UserAndPasswordArgumentsOverrideTheString) {
  NeedPostgres();
  if (IsSkipped()) return;
  auto open = [&](const std::string& text, const char16_t* user, const char16_t* password) {
    return Hr([&] { conn_->Open(_bstr_t(U(text.c_str()).c_str()), _bstr_t(user), _bstr_t(password), -1); });
  };
  auto currentUser = [&] {
    _RecordsetPtr rs = conn_->Execute(_bstr_t(u"SELECT current_user"), nullptr, adCmdText);
    std::string user = Utf8(_bstr_t(rs->GetCollect(_variant_t(0L))));
    conn_->Close();
    return user;
  };
  // postgres logs in without a password (trust); the user argument must replace it, so a wrong
  // password argument has to fail.
  EXPECT_EQ(open(kptest::PgTestServer::OdbcString("postgres"), u"kp_secret", u"wrong"), E_FAIL);
  EXPECT_EQ(State(), "08001");
  ASSERT_EQ(open(kptest::PgTestServer::OdbcString("postgres"), u"kp_secret", u"right"), S_OK);
  EXPECT_EQ(currentUser(), "kp_secret");
  // Only the password given: it replaces the string's wrong one.
  ASSERT_EQ(open(kptest::PgTestServer::OdbcString("postgres", "kp_secret", "wrong"), u"", u"right"), S_OK);
  EXPECT_EQ(currentUser(), "kp_secret");
  // Inside Extended Properties.
  std::string extended = "Provider=MSDASQL.1;Extended Properties=\"" +
                         kptest::PgTestServer::OdbcString("postgres", "postgres", "") + "\"";
  ASSERT_EQ(open(extended, u"kp_secret", u"right"), S_OK);
  EXPECT_EQ(currentUser(), "kp_secret");
  // Empty arguments: the string's credentials stand.
  ASSERT_EQ(open(kptest::PgTestServer::OdbcString("postgres", "kp_secret", "right"), u"", u""), S_OK);
  EXPECT_EQ(currentUser(), "kp_secret");
}

// A server that is down (a closed port): 08001, E_FAIL.
TEST_F(OdbcFault, ServerDownFailsToConnect) {
  if (!kptest::OdbcDriverInstalled("PostgreSQL Unicode"))
    GTEST_SKIP() << "PostgreSQL Unicode is not installed";
  HRESULT hr = Open(std::string("Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=") + kClosedPort +
                    ";Database=postgres;Uid=postgres;Pwd=;");
  EXPECT_EQ(hr, E_FAIL);
  EXPECT_EQ(State(), "08001");
  EXPECT_NE(Description().find("onnection refused"), std::string::npos) << Description();
}

// The server stops between connect and query: the query fails (E_FAIL) with the driver's
// record of the lost connection, and the connection can still be closed.
TEST_F(OdbcFault, ServerStoppedBetweenConnectAndQuery) {
  if (!kptest::OdbcDriverInstalled("PostgreSQL Unicode"))
    GTEST_SKIP() << "PostgreSQL Unicode is not installed";
  kptest::PrivatePgServer server;
  if (!server.Started()) GTEST_SKIP() << "a private PostgreSQL server could not be started";
  ASSERT_EQ(Open("Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=" + std::to_string(server.Port()) +
                 ";Database=postgres;Uid=postgres;Pwd=;"),
            S_OK);
  server.Stop();
  HRESULT hr = Hr([&] { conn_->Execute(_bstr_t(u"SELECT 1"), nullptr, adCmdText); });
  EXPECT_EQ(hr, E_FAIL);
  ASSERT_GE(conn_->GetErrors()->GetCount(), 1);
  // The server's own state for a connection it shut down (57P01 admin_shutdown), as the driver
  // passes it on.
  EXPECT_EQ(State(), "57P01") << Description();
  conn_->Close();
}

// The link drops in the middle of a read (the fault switch at the third counted fetch of a
// client cursor): Open fails with 08S01 and later calls keep failing.
TEST_F(OdbcFault, LinkDroppedInTheMiddleOfARead) {
  NeedPostgres();
  if (IsSkipped()) return;
  std::string db = kptest::PgTestServer::CreateDatabase("faultread");
  kptest::PgTestServer::Execute(db,
                                "CREATE TABLE t (id integer); INSERT INTO t SELECT generate_series(1, 10)");
  ASSERT_EQ(Open(kptest::PgTestServer::OdbcString(db)), S_OK);
  struct Off {
    ~Off() { KpAdoSetFault(0); }
  } off;
  KpAdoSetFault(3);
  _RecordsetPtr rs;
  rs.CreateInstance(__uuidof(Recordset));
  rs->PutCursorLocation(adUseClient);
  HRESULT hr = Hr([&] {
    rs->Open(_variant_t(_bstr_t(u"SELECT id FROM t")), _variant_t((IDispatch*)conn_.GetInterfacePtr()),
             adOpenStatic, adLockReadOnly, adCmdText);
  });
  EXPECT_EQ(hr, E_FAIL);
  ASSERT_EQ(conn_->GetErrors()->GetCount(), 1);
  EXPECT_EQ(State(), "08S01");
  EXPECT_EQ(Description(), "Communication link failure");
  EXPECT_EQ(Source(), "Microsoft OLE DB Provider for ODBC Drivers");
  EXPECT_EQ(Hr([&] { conn_->Execute(_bstr_t(u"SELECT 1"), nullptr, adCmdText); }), E_FAIL);
}

// CommandTimeout=1 stops SELECT pg_sleep(5): DB_E_CANCELED with HYT00 first, the server's own
// record (57014) after it; the connection stays usable.
TEST_F(OdbcFault, StatementTimesOut) {
  NeedPostgres();
  if (IsSkipped()) return;
  ASSERT_EQ(Open(kptest::PgTestServer::OdbcString("postgres")), S_OK);
  conn_->PutCommandTimeout(1);
  HRESULT hr = Hr([&] { conn_->Execute(_bstr_t(u"SELECT pg_sleep(5)"), nullptr, adCmdText); });
  EXPECT_EQ(hr, kCanceled);
  ASSERT_GE(conn_->GetErrors()->GetCount(), 1);
  EXPECT_EQ(State(), "HYT00");
  EXPECT_EQ(Description(), "Query timeout expired");
  if (conn_->GetErrors()->GetCount() > 1) {
    EXPECT_EQ(State(1), "57014");
  }
  _RecordsetPtr rs = conn_->Execute(_bstr_t(u"SELECT 2"), nullptr, adCmdText);
  EXPECT_EQ((long)rs->GetCollect(_variant_t(0L)), 2);
}

// An unknown DSN through MSDASQL: the driver manager's IM002, E_FAIL, in Errors.
TEST_F(OdbcFault, UnknownDsnIsIm002) {
  HRESULT hr = Open("Provider=MSDASQL;Data Source=NoSuchDsnForKp;User ID=a");
  EXPECT_EQ(hr, E_FAIL);
  ASSERT_EQ(conn_->GetErrors()->GetCount(), 1);
  EXPECT_EQ(State(), "IM002");
  EXPECT_EQ(Source(), "Microsoft OLE DB Provider for ODBC Drivers");
  EXPECT_EQ(Open("Driver={No Such Driver};Database=x"), E_FAIL);
  EXPECT_EQ(State(), "01000") << Description();  // unixODBC: "Can't open lib" warning leads
}

// FreeTDS against a closed loopback port: the open fails with the driver's 08S01
// ("Adaptive Server is unavailable or does not exist").
TEST_F(OdbcFault, FreeTdsClosedPort) {
  if (!kptest::OdbcDriverInstalled("FreeTDS")) GTEST_SKIP() << "the ODBC driver FreeTDS is not installed";
  HRESULT hr =
      Open(std::string(
               "Provider=SQLOLEDB.1;Driver={SQL Server};UID=reader;PWD=;DATABASE=strata;Server=127.0.0.1,") +
           kClosedPort + ";Connect Timeout=2");
  EXPECT_EQ(hr, E_FAIL);
  ASSERT_GE(conn_->GetErrors()->GetCount(), 1);
  EXPECT_EQ(State(), "08S01") << Description();
}

// MDBTools with a missing file: the open fails (E_FAIL) with the driver's diagnostic.
TEST_F(OdbcFault, MdbToolsMissingFile) {
  if (!kptest::OdbcDriverInstalled("MDBTools")) GTEST_SKIP() << "the ODBC driver MDBTools is not installed";
  HRESULT hr = Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/nonexistent/kp/strata.mdb");
  EXPECT_EQ(hr, E_FAIL);
  ASSERT_GE(conn_->GetErrors()->GetCount(), 1);
  EXPECT_FALSE(State().empty());
}

// With a driver manager that lists no drivers, the SQL Server and Jet providers are not found:
// ADO's adErrProviderNotFound, the description naming the missing driver, Errors untouched.
// The driver manager reads odbcinst.ini once per process, so the check runs in a fresh process
// of its own: a "threadsafe" death test executes this binary again for it, with ODBCSYSINI set
// before the first ODBC call. The child reports what differs on its standard error.
int ProviderNotFoundInThisProcess() {
  std::string dir = TempDir();
  WriteFile(dir + "/odbcinst.ini", "");
  WriteFile(dir + "/odbc.ini", "");
  setenv("ODBCSYSINI", dir.c_str(), 1);
  setenv("ODBCINSTINI", "odbcinst.ini", 1);
  struct Case {
    const char* cs;
    const char* driver;
  } cases[] = {{"Provider=SQLOLEDB.1;Server=h;UID=u;PWD=", "FreeTDS"},
               {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/x.mdb", "MDBTools"}};
  int failures = 0;
  auto fail = [&](const char* cs, const std::string& what) {
    fprintf(stderr, "%s: %s\n", cs, what.c_str());
    ++failures;
  };
  for (const Case& c : cases) {
    _ConnectionPtr conn;
    conn.CreateInstance(__uuidof(Connection));
    try {
      conn->Open(_bstr_t(U(c.cs).c_str()), _bstr_t(u""), _bstr_t(u""), -1);
      fail(c.cs, "opened");
    } catch (const _com_error& e) {
      std::string d = Utf8(e.Description());
      if (e.Error() != kProviderNotFound) fail(c.cs, "HRESULT " + std::to_string((unsigned)e.Error()));
      if (d.rfind("Provider cannot be found. It may not be correctly installed.", 0) != 0) fail(c.cs, d);
      if (d.find(std::string("\"") + c.driver + "\"") == std::string::npos)
        fail(c.cs, "no driver name: " + d);
    }
    if (conn->GetErrors()->GetCount() != 0) fail(c.cs, "Errors is not empty");
  }
  return failures;
}

TEST_F(OdbcFault, ProviderNotFoundWhenDriverManagerListsNone) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(exit(ProviderNotFoundInThisProcess()), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace kp::ado::test
