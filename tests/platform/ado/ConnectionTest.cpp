// Conformance tests of ADODB.Connection: opening by connection string and .udl file, provider
// selection, the documented defaults, transactions, Execute and OpenSchema.
#include <kp/kpado.h>
#include <msjro.tlh>
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>

#include "AdoTestSupport.h"

namespace kp::ado::test {
namespace {

// A connection that is not opened by the fixture (tests of Open itself).
_ConnectionPtr NewConnection() {
  _ConnectionPtr c;
  EXPECT_EQ(c.CreateInstance(__uuidof(Connection)), S_OK);
  return c;
}

HRESULT OpenWith(const std::u16string& cs) {
  _ConnectionPtr c = NewConnection();
  return Hr([&] { c->Open(_bstr_t(cs.c_str()), _bstr_t(u""), _bstr_t(u""), adConnectUnspecified); });
}

std::string Utf16LeFile(const std::u16string& text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t c : text) {
    bytes.push_back((char)(c & 0xFF));
    bytes.push_back((char)(c >> 8));
  }
  return bytes;
}

}  // namespace

// ADODB.Connection is registered under its CLSID and ProgID while kpado is loaded.
TEST_P(AdoTest, ProgIdsNameTheAdoClasses) {
  CLSID clsid = GUID_NULL;
  EXPECT_EQ(CLSIDFromProgID(u"ADODB.Connection", &clsid), S_OK);
  EXPECT_TRUE(clsid == __uuidof(Connection));
  EXPECT_EQ(CLSIDFromProgID(u"ADODB.Recordset", &clsid), S_OK);
  EXPECT_TRUE(clsid == __uuidof(Recordset));
  EXPECT_EQ(CLSIDFromProgID(u"ADODB.Command", &clsid), S_OK);
  EXPECT_TRUE(clsid == __uuidof(Command));
  EXPECT_EQ(CLSIDFromProgID(u"ADODB.Parameter", &clsid), S_OK);
  EXPECT_TRUE(clsid == __uuidof(Parameter));
  EXPECT_EQ(CLSIDFromProgID(u"JRO.JetEngine", &clsid), S_OK);
}

// Documented defaults of a new Connection (reference 3.1) and Version "2.8".
TEST_P(AdoTest, NewConnectionHasDocumentedDefaults) {
  _ConnectionPtr c = NewConnection();
  EXPECT_EQ(c->GetConnectionTimeout(), 15);
  EXPECT_EQ(c->GetCommandTimeout(), 30);
  EXPECT_EQ(c->GetCursorLocation(), adUseServer);
  EXPECT_EQ(c->GetMode(), adModeUnknown);
  EXPECT_EQ(c->GetIsolationLevel(), adXactCursorStability);
  EXPECT_EQ(c->GetState(), adStateClosed);
  EXPECT_EQ(Utf8(c->GetVersion()), "2.8");
  EXPECT_EQ(Utf8(c->GetProvider()), "MSDASQL");
}

// An unknown provider fails as ADO does: 3706 adErrProviderNotFound.
TEST_P(AdoTest, UnknownProviderIsProviderNotFound) {
  EXPECT_EQ(OpenWith(u"Provider=NoSuchProvider;Data Source=x"), (HRESULT)0x800A0E7A);
  // The description travels with the error (captured by _com_error).
  _ConnectionPtr c = NewConnection();
  try {
    c->Open(_bstr_t(u"Provider=Nope"), _bstr_t(u""), _bstr_t(u""), -1);
    FAIL();
  } catch (const _com_error& e) {
    EXPECT_EQ(Utf8(e.Description()), "Provider cannot be found. It may not be correctly installed.");
  }
}

// Provider names match without regard to case, with or without a version; a segment without
// '=' is ignored; options 0 and -1 are accepted.
TEST_P(SqliteOnlyTest, ProviderNameCaseVersionAndStraySegments) {
  std::string path = dir_ + "/test.db";
  for (const char* prefix : {"Provider=sqlite;", "Provider=SQLite.1;", "ODBC;Provider=SQLITE;"}) {
    SCOPED_TRACE(prefix);
    _ConnectionPtr c = NewConnection();
    EXPECT_EQ(c->Open(_bstr_t(U((std::string(prefix) + "Data Source=" + path).c_str()).c_str()), _bstr_t(u""),
                      _bstr_t(u""), 0),
              S_OK);
    EXPECT_EQ(c->GetState(), adStateOpen);
  }
}

// The SQLite provider never creates a database: a missing file fails Open with the provider's
// error, and an Errors entry with SQLSTATE 08001.
TEST_P(SqliteOnlyTest, MissingDatabaseFileFailsAndIsNotCreated) {
  std::string path = dir_ + "/missing.db";
  _ConnectionPtr c = NewConnection();
  HRESULT hr = Hr([&] {
    c->Open(_bstr_t(U(("Provider=SQLite;Data Source=" + path).c_str()).c_str()), _bstr_t(u""), _bstr_t(u""),
            -1);
  });
  EXPECT_EQ(hr, E_FAIL);
  EXPECT_NE(access(path.c_str(), F_OK), 0);
  ASSERT_EQ(c->GetErrors()->GetCount(), 1);
  ErrorPtr e = c->GetErrors()->GetItem(_variant_t(0L));
  EXPECT_EQ(Utf8(e->GetSQLState()), "08001");
  EXPECT_EQ(e->GetNumber(), E_FAIL);
  EXPECT_NE(Utf8(e->GetDescription()).find("unable to open database file"), std::string::npos);
}

// Mode can be set only while the connection is closed (3705 adErrObjectOpen otherwise), and
// ConnectionTimeout is read-only while open.
TEST_P(AdoTest, ModeAndConnectionTimeoutOnlyWhileClosed) {
  EXPECT_EQ(Hr([&] { conn_->PutMode(adModeRead); }), Ado(adErrObjectOpen));
  EXPECT_EQ(Hr([&] { conn_->PutConnectionTimeout(5); }), Ado(adErrObjectOpen));
  conn_->PutCommandTimeout(7);  // allowed while open
  EXPECT_EQ(conn_->GetCommandTimeout(), 7);
  conn_->Close();
  conn_->PutMode(adModeRead);
  EXPECT_EQ(conn_->GetMode(), adModeRead);
}

// Closing a closed connection is 3704; Open on an open one is 3705.
TEST_P(AdoTest, CloseAndOpenStateErrors) {
  EXPECT_EQ(Hr([&] { conn_->Open(_bstr_t(cs_.c_str()), _bstr_t(u""), _bstr_t(u""), -1); }),
            Ado(adErrObjectOpen));
  conn_->Close();
  EXPECT_EQ(Hr([&] { conn_->Close(); }), Ado(adErrObjectClosed));
}

// .udl files through Connection.Open "File Name=": UTF-16LE as Windows writes it, UTF-8, quoted
// values, a relative Data Source resolved against the .udl's folder; missing, empty and garbage
// files fail with the data-link error.
TEST_P(SqliteOnlyTest, DataLinkFilesOpenTheirDatabase) {
  struct Case {
    const char* name;
    std::string bytes;
    HRESULT expected;
  };
  std::u16string init = u"Provider=SQLite;Data Source=test.db";
  std::u16string quoted = u"Provider=SQLite;Data Source=\"test.db\"";
  std::u16string header = u"[oledb]\r\n; Everything after this line is an OLE DB initstring\r\n";
  Case cases[] = {
      {"utf16le", Utf16LeFile(header + init + u"\r\n"), S_OK},
      {"utf8",
       "[oledb]\n; Everything after this line is an OLE DB initstring\nProvider=SQLite;Data Source=test.db\n",
       S_OK},
      {"quoted", Utf16LeFile(header + quoted + u"\r\n"), S_OK},
      {"empty", "", (HRESULT)0x800300FB},
      {"garbage", "\x01\x02garbage without a header", (HRESULT)0x800300FB},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = dir_ + "/" + c.name + ".udl";
    WriteFile(path, c.bytes);
    _ConnectionPtr conn = NewConnection();
    HRESULT hr = Hr([&] {
      conn->Open(_bstr_t(U(("File Name=" + path).c_str()).c_str()), _bstr_t(u""), _bstr_t(u""), -1);
    });
    EXPECT_EQ(hr, c.expected);
    if (hr == S_OK) {
      _RecordsetPtr rs = conn->Execute(_bstr_t(u"SELECT 1 AS one"), nullptr, adCmdText);
      EXPECT_EQ((long)rs->GetCollect(_variant_t(0L)), 1);
    }
  }
  EXPECT_EQ(OpenWith(U(("File Name=" + dir_ + "/nosuch.udl").c_str())), (HRESULT)0x80030002);
}

// A malformed .udl (UTF-16 with an odd trailing byte, which was once dropped silently) fails
// Open with STG_E_INVALIDHEADER; the Errors entry and the error object name the file.
TEST_P(SqliteOnlyTest, MalformedDataLinkFileIsReportedWithItsName) {
  std::string path = dir_ + "/odd.udl";
  WriteFile(path, Utf16LeFile(u"[oledb]\r\nProvider=SQLite;Data Source=test.db\r\n") + "x");
  _ConnectionPtr conn = NewConnection();
  std::string expected =
      "The data link file '" + path + "' is not valid text: UTF-16 text with an odd number of bytes.";
  try {
    conn->Open(_bstr_t(U(("File Name=" + path).c_str()).c_str()), _bstr_t(u""), _bstr_t(u""), -1);
    FAIL() << "opened";
  } catch (const _com_error& e) {
    EXPECT_EQ(e.Error(), (HRESULT)0x800300FB);
    EXPECT_EQ(Utf8(e.Description()), expected);
  }
  ASSERT_EQ(conn->GetErrors()->GetCount(), 1);
  ErrorPtr e = conn->GetErrors()->GetItem(_variant_t(0L));
  EXPECT_EQ(e->GetNumber(), (HRESULT)0x800300FB);
  EXPECT_EQ(Utf8(e->GetDescription()), expected);
  EXPECT_EQ(conn->GetState(), adStateClosed);
}

// Connection.Execute with adExecuteNoRecords answers no recordset and reports RecordsAffected;
// a statement without rows otherwise answers a closed recordset.
TEST_P(AdoTest, ExecuteReportsRecordsAffected) {
  Exec(u"CREATE TABLE t (id INTEGER PRIMARY KEY, v TEXT)");
  Exec(u"INSERT INTO t (v) VALUES ('a'); INSERT INTO t (v) VALUES ('b'); INSERT INTO t (v) VALUES ('c')");
  _variant_t affected;
  _RecordsetPtr none = conn_->Execute(_bstr_t(u"UPDATE t SET v = 'x' WHERE id >= 2"), &affected,
                                      (LONG)adCmdText | (LONG)adExecuteNoRecords);
  EXPECT_TRUE(none == nullptr);
  EXPECT_EQ(affected.vt, VT_I4);
  EXPECT_EQ(affected.lVal, 2);
  _RecordsetPtr closed = conn_->Execute(_bstr_t(u"DELETE FROM t WHERE id = 1"), &affected, adCmdText);
  ASSERT_TRUE(closed != nullptr);
  EXPECT_EQ(closed->GetState(), adStateClosed);
  EXPECT_EQ(affected.lVal, 1);
}

// A SQL error fails with the provider's HRESULT and fills Errors (SQLSTATE, native code).
TEST_P(AdoTest, SqlErrorFillsErrorsCollection) {
  HRESULT hr = Hr([&] { conn_->Execute(_bstr_t(u"SELECT * FROM no_such_table"), nullptr, adCmdText); });
  // Quirks: the SQLite ODBC driver reports HY000 for every error; PostgreSQL its own 42P01.
  EXPECT_EQ(hr, Quirks().sqliteOdbc ? E_FAIL : (HRESULT)0x80040E37);
  ErrorsPtr errors = conn_->GetErrors();
  ASSERT_EQ(errors->GetCount(), 1);
  EXPECT_EQ(Utf8(errors->GetItem(_variant_t(0L))->GetSQLState()), Quirks().sqliteOdbc ? "HY000"
                                                                  : Quirks().postgres ? "42P01"
                                                                                      : "42S02");
  if (!Quirks().odbc) {
    EXPECT_EQ(errors->GetItem(_variant_t(0L))->GetNativeError(), SQLITE_ERROR);
  }
  EXPECT_EQ(Hr([&] { errors->GetItem(_variant_t(5L)); }), Ado(adErrItemNotFound));
  // Successful calls leave the collection as it is; Clear empties it.
  conn_->Execute(_bstr_t(u"SELECT 1"), nullptr, adCmdText);
  EXPECT_EQ(errors->GetCount(), 1);
  errors->Clear();
  EXPECT_EQ(errors->GetCount(), 0);
}

// BeginTrans answers the nesting level; RollbackTrans undoes; Close inside a transaction is 3246.
TEST_P(AdoTest, TransactionsNestAndRollBack) {
  Exec(u"CREATE TABLE t (id INTEGER PRIMARY KEY, v TEXT)");
  EXPECT_EQ(conn_->BeginTrans(), 1);
  Exec(u"INSERT INTO t (v) VALUES ('kept')");
  EXPECT_EQ(conn_->BeginTrans(), 2);
  Exec(u"INSERT INTO t (v) VALUES ('undone')");
  conn_->RollbackTrans();
  EXPECT_EQ(Hr([&] { conn_->Close(); }), Ado(adErrInTransaction));
  conn_->CommitTrans();
  EXPECT_EQ(conn_->BeginTrans(), 1);
  Exec(u"INSERT INTO t (v) VALUES ('rolled back')");
  conn_->RollbackTrans();
  _RecordsetPtr rs = OpenClient(u"SELECT v FROM t", adLockReadOnly);
  EXPECT_EQ(rs->GetRecordCount(), 1);
  EXPECT_EQ(Utf8(_bstr_t(Val(rs, "v"))), "kept");
  EXPECT_NE(Hr([&] { conn_->CommitTrans(); }), S_OK);  // no transaction is active
}

// OpenSchema: tables, columns (DATA_TYPE is the ADO type) and primary keys; a single string is
// taken as the first restriction.
TEST_P(AdoTest, OpenSchemaTablesColumnsAndKeys) {
  Exec(u"CREATE TABLE dcmc (dcbm INTEGER PRIMARY KEY, dcmc VARCHAR(40), dcdm CHAR(8))");
  _RecordsetPtr t = conn_->OpenSchema(adSchemaTables);
  EXPECT_EQ(t->GetRecordCount(), 1);
  EXPECT_EQ(Utf8(_bstr_t(Val(t, "TABLE_NAME"))), "dcmc");
  EXPECT_EQ(Utf8(_bstr_t(Val(t, "TABLE_TYPE"))), "TABLE");
  _variant_t restrictions;
  SAFEARRAY* sa = SafeArrayCreateVector(VT_VARIANT, 0, 4);
  LONG i = 2;
  _variant_t name(_bstr_t(u"dcmc"));
  SafeArrayPutElement(sa, &i, &name);
  restrictions.vt = VT_ARRAY | VT_VARIANT;
  restrictions.parray = sa;
  _RecordsetPtr c = conn_->OpenSchema(adSchemaColumns, restrictions);
  ASSERT_EQ(c->GetRecordCount(), 3);
  c->MoveLast();
  EXPECT_EQ(Utf8(_bstr_t(Val(c, "COLUMN_NAME"))), "dcdm");
  // Quirks: PostgreSQL's driver describes CHAR(n) as SQL_WCHAR, the SQLite driver as SQL_VARCHAR.
  EXPECT_EQ((long)Val(c, "DATA_TYPE"), Quirks().postgres     ? adWChar
                                       : Quirks().sqliteOdbc ? adVarChar
                                                             : adChar);
  EXPECT_EQ((long)Val(c, "CHARACTER_MAXIMUM_LENGTH"), 8);
  _RecordsetPtr k = conn_->OpenSchema(adSchemaPrimaryKeys);
  ASSERT_EQ(k->GetRecordCount(), 1);
  EXPECT_EQ(Utf8(_bstr_t(Val(k, "COLUMN_NAME"))), "dcbm");
  _RecordsetPtr single = conn_->OpenSchema(adSchemaTables, _variant_t(_bstr_t(u"main")));
  EXPECT_EQ(single->GetState(), adStateOpen);
}

// The fault switch makes the Nth fetch or Move fail as a dropped link does: SQLSTATE 08S01.
TEST_P(AdoTest, FaultSwitchDropsTheLinkAtTheNthMove) {
  Exec(
      u"CREATE TABLE t (id INTEGER); INSERT INTO t VALUES (1); INSERT INTO t VALUES (2); INSERT INTO t "
      u"VALUES (3)");
  _RecordsetPtr rs = OpenServer(u"SELECT id FROM t");
  struct Off {
    ~Off() { KpAdoSetFault(0); }
  } off;
  KpAdoSetFault(2);
  EXPECT_EQ(Hr([&] { rs->MoveNext(); }), S_OK);  // the first counted operation
  EXPECT_EQ(Hr([&] { rs->MoveNext(); }), E_FAIL);
  EXPECT_EQ(Hr([&] { rs->MoveFirst(); }), E_FAIL);  // the link stays down
  ASSERT_EQ(conn_->GetErrors()->GetCount(), 1);
  EXPECT_EQ(Utf8(conn_->GetErrors()->GetItem(_variant_t(0L))->GetSQLState()), "08S01");
}

// JRO.JetEngine.CompactDatabase copies a SQLite database into a new file; an existing
// destination fails.
TEST_P(SqliteOnlyTest, JetEngineCompactsSqliteDatabase) {
  Exec(u"CREATE TABLE t (v TEXT); INSERT INTO t VALUES ('x')");
  IJetEnginePtr jet;
  ASSERT_EQ(jet.CreateInstance(u"JRO.JetEngine"), S_OK);
  std::u16string src = cs_;
  std::u16string dst = U(("Provider=SQLite;Data Source=" + dir_ + "/copy.db").c_str());
  _bstr_t s(src.c_str()), d(dst.c_str());
  EXPECT_EQ(jet->raw_CompactDatabase(s, d), S_OK);
  EXPECT_EQ(access((dir_ + "/copy.db").c_str(), F_OK), 0);
  EXPECT_NE(jet->raw_CompactDatabase(s, d), S_OK);
  _bstr_t jetSrc(u"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=x.mdb");
  EXPECT_EQ(jet->raw_CompactDatabase(jetSrc, d), Ado(adErrFeatureNotAvailable));
}

}  // namespace kp::ado::test

namespace kp::ado::test {

// Paths arrive as UTF-16 BSTRs and reach the file system as UTF-8: a database whose name is
// Chinese opens.
TEST_P(SqliteOnlyTest, ChineseFileNameOpens) {
  std::string path = dir_ + "/\xE6\x95\xB0\xE6\x8D\xAE.db";  // 数据.db
  std::filesystem::copy_file(dir_ + "/test.db", path);
  _ConnectionPtr c;
  c.CreateInstance(__uuidof(Connection));
  EXPECT_EQ(c->Open(_bstr_t(U(("Provider=SQLite;Data Source=" + path).c_str()).c_str()), _bstr_t(u""),
                    _bstr_t(u""), adConnectUnspecified),
            S_OK);
}

}  // namespace kp::ado::test
