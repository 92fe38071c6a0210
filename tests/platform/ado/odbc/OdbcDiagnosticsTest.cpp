// Tests of the ODBC provider's one check around driver calls (OdbcDiagnostics::Failed) and the
// diagnostics behind it, against the unixODBC driver manager itself (no driver needed): a call
// that succeeds leaves the error alone; a failure with diagnostic records becomes their first
// record (SQLSTATE, native code, text, the provider's source) with the HRESULT of its SQLSTATE
// class; a failure without records names the call; the SQLSTATE classes map to the OLE DB codes.
#include "OdbcDiagnostics.h"

#include <gtest/gtest.h>
#include <oledberr.h>

#include <string>

namespace kp::ado {
namespace {

// An ODBC 3 environment of the driver manager, freed at the end of the test.
class Environment {
 public:
  Environment() {
    EXPECT_TRUE(SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_)));
    SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, (SQLPOINTER)SQL_OV_ODBC3, 0);
  }
  ~Environment() { SQLFreeHandle(SQL_HANDLE_ENV, env_); }
  SQLHENV get() const { return env_; }

 private:
  SQLHENV env_ = SQL_NULL_HENV;
};

TEST(OdbcDiagnostics, SucceededCallsLeaveTheErrorAlone) {
  ProviderError err;
  err.hr = S_FALSE;
  EXPECT_FALSE(OdbcDiagnostics::Failed(SQL_SUCCESS, SQL_HANDLE_STMT, SQL_NULL_HANDLE, "SQLFetch", err));
  EXPECT_FALSE(
      OdbcDiagnostics::Failed(SQL_SUCCESS_WITH_INFO, SQL_HANDLE_STMT, SQL_NULL_HANDLE, "SQLFetch", err));
  EXPECT_EQ(err.hr, S_FALSE);
  EXPECT_EQ(err.sqlState, u"HY000");
  EXPECT_TRUE(err.description.empty());
}

TEST(OdbcDiagnostics, FailureWithoutRecordsNamesTheCall) {
  ProviderError err;
  ASSERT_TRUE(OdbcDiagnostics::Failed(SQL_INVALID_HANDLE, SQL_HANDLE_STMT, SQL_NULL_HANDLE, "SQLFetch", err));
  EXPECT_EQ(err.hr, E_FAIL);
  EXPECT_EQ(err.sqlState, u"HY000");
  EXPECT_EQ(err.description, u"SQLFetch: invalid handle");
  EXPECT_EQ(err.source, OdbcDiagnostics::kSource);
  EXPECT_TRUE(err.further.empty());

  ASSERT_TRUE(OdbcDiagnostics::Failed(SQL_ERROR, SQL_HANDLE_DBC, SQL_NULL_HANDLE, "SQLEndTran", err));
  EXPECT_EQ(err.description, u"SQLEndTran failed");
  // SQL_NO_DATA is no success either: callers that expect it test for it first.
  ASSERT_TRUE(OdbcDiagnostics::Failed(SQL_NO_DATA, SQL_HANDLE_STMT, SQL_NULL_HANDLE, "SQLExecute", err));
  EXPECT_EQ(err.description, u"SQLExecute failed");
}

TEST(OdbcDiagnostics, DriverManagerRecordLeadsTheError) {
  Environment env;
  SQLHDBC dbc = SQL_NULL_HDBC;
  ASSERT_TRUE(SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, env.get(), &dbc)));
  std::u16string connect = u"DSN=kp_no_such_data_source_here";
  SQLWCHAR out[256];
  SQLSMALLINT outLength = 0;
  SQLRETURN rc = SQLDriverConnectW(dbc, nullptr, reinterpret_cast<SQLWCHAR*>(connect.data()),
                                   (SQLSMALLINT)connect.size(), out, 256, &outLength, SQL_DRIVER_NOPROMPT);
  ProviderError err;
  EXPECT_TRUE(OdbcDiagnostics::Failed(rc, SQL_HANDLE_DBC, dbc, "SQLDriverConnectW", err));
  EXPECT_EQ(err.sqlState, u"IM002");  // data source name not found
  EXPECT_EQ(err.hr, E_FAIL);
  EXPECT_EQ(err.source, OdbcDiagnostics::kSource);
  EXPECT_FALSE(err.description.empty());
  EXPECT_EQ(err.description.find(u'\0'), std::u16string::npos);
  for (const ProviderError& f : err.further) EXPECT_EQ(f.source, OdbcDiagnostics::kSource);
  SQLFreeHandle(SQL_HANDLE_DBC, dbc);
}

TEST(OdbcDiagnostics, SqlStateClassesMapToOleDbCodes) {
  EXPECT_EQ(OdbcDiagnostics::HresultFor(u"23505"), DB_E_INTEGRITYVIOLATION);
  EXPECT_EQ(OdbcDiagnostics::HresultFor(u"42S02"), DB_E_NOTABLE);
  EXPECT_EQ(OdbcDiagnostics::HresultFor(u"42P01"), DB_E_NOTABLE);
  EXPECT_EQ(OdbcDiagnostics::HresultFor(u"42501"), DB_SEC_E_PERMISSIONDENIED);
  EXPECT_EQ(OdbcDiagnostics::HresultFor(u"42000"), DB_E_ERRORSINCOMMAND);
  EXPECT_EQ(OdbcDiagnostics::HresultFor(u"37000"), DB_E_ERRORSINCOMMAND);
  EXPECT_EQ(OdbcDiagnostics::HresultFor(u"22018"), DB_E_ERRORSINCOMMAND);
  EXPECT_EQ(OdbcDiagnostics::HresultFor(u"28000"), DB_SEC_E_AUTH_FAILED);
  EXPECT_EQ(OdbcDiagnostics::HresultFor(u"07001"), DB_E_PARAMNOTOPTIONAL);
  EXPECT_EQ(OdbcDiagnostics::HresultFor(u"07002"), DB_E_PARAMNOTOPTIONAL);
  EXPECT_EQ(OdbcDiagnostics::HresultFor(u"HYT00"), DB_E_CANCELED);
  EXPECT_EQ(OdbcDiagnostics::HresultFor(u"HYT01"), DB_E_CANCELED);
  EXPECT_EQ(OdbcDiagnostics::HresultFor(u"HY008"), DB_E_CANCELED);
  EXPECT_EQ(OdbcDiagnostics::HresultFor(u"08001"), E_FAIL);
  EXPECT_EQ(OdbcDiagnostics::HresultFor(u"IM002"), E_FAIL);
  EXPECT_EQ(OdbcDiagnostics::HresultFor(u"40001"), E_FAIL);
}

TEST(OdbcDiagnostics, DriverTextEndsAtTheFirstNul) {
  const SQLWCHAR text[] = {u'a', u'b', 0, u'c'};
  EXPECT_EQ(OdbcDiagnostics::DriverText(text, 4), u"ab");
  EXPECT_EQ(OdbcDiagnostics::DriverText(text, 1), u"a");
  EXPECT_EQ(OdbcDiagnostics::DriverText(text, 0), u"");
}

TEST(OdbcDiagnostics, MadeErrorsCarryTheProviderSource) {
  ProviderError e = OdbcDiagnostics::Make(DB_E_NOCOMMAND, u"42000", u"none");
  EXPECT_EQ(e.hr, DB_E_NOCOMMAND);
  EXPECT_EQ(e.sqlState, u"42000");
  EXPECT_EQ(e.description, u"none");
  EXPECT_EQ(e.source, OdbcDiagnostics::kSource);
}

}  // namespace
}  // namespace kp::ado
