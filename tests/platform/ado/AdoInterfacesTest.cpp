// Conformance tests of the interfaces the ADO objects answer through QueryInterface (each
// version of a grown interface, the construction interfaces, the refused _Collection), of what
// the construction interfaces give without OLE DB, and of the defaults and checks Windows applies
// to Connection.Provider, ConnectionString and Command's text and ADO 2.6 members.
#include "AdoTestSupport.h"

namespace kp::ado::test {
namespace {

class Interfaces : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
  void TearDown() override { CoUninitialize(); }

  template <class I>
  static I* Create(const CLSID& clsid) {
    I* p = nullptr;
    EXPECT_EQ(
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(I), reinterpret_cast<void**>(&p)),
        S_OK);
    return p;
  }
};

enum class Answer { Same, Other, None };  // the object's own pointer, another one, E_NOINTERFACE

struct QiRow {
  const char* name;
  IID iid;
  Answer answer;
};

// Asks obj (through main, its own interface) for each row's interface: an older version of the
// interface is the same pointer; a construction interface another pointer of the same object
// (its IUnknown is obj's); a refused one E_NOINTERFACE with the out-parameter set to null. Every
// reference taken is given back.
void CheckQueryInterface(IUnknown* main, std::initializer_list<QiRow> rows) {
  IUnknown* identity = nullptr;
  ASSERT_EQ(main->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
  for (const QiRow& r : rows) {
    SCOPED_TRACE(r.name);
    void* p = reinterpret_cast<void*>(0xdeadbeef);
    HRESULT hr = main->QueryInterface(r.iid, &p);
    if (r.answer == Answer::None) {
      EXPECT_EQ(hr, E_NOINTERFACE);
      EXPECT_EQ(p, nullptr);
      continue;
    }
    ASSERT_EQ(hr, S_OK);
    auto* got = static_cast<IUnknown*>(p);
    if (r.answer == Answer::Same) {
      EXPECT_EQ(p, static_cast<void*>(main));
    } else {
      EXPECT_NE(p, static_cast<void*>(main));
    }
    IUnknown* back = nullptr;
    ASSERT_EQ(got->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&back)), S_OK);
    EXPECT_EQ(back, identity);
    back->Release();
    got->Release();
  }
  identity->Release();
}

// Windows: each object answers its dual interface under every version's id (Connection15;
// Recordset15/20/21; Command15/25 and _Command; Fields15/20; Field20), _ADO for its
// Properties, and its construction interface; the collection of fields refuses _Collection.
TEST_F(Interfaces, QueryInterfaceAnswersEachVersion) {
  _Connection* conn = Create<_Connection>(__uuidof(Connection));
  CheckQueryInterface(conn,
                      {{"_Connection", __uuidof(_Connection), Answer::Same},
                       {"Connection15", __uuidof(Connection15), Answer::Same},
                       {"_ADO", __uuidof(_ADO), Answer::Same},
                       {"ADOConnectionConstruction15", __uuidof(ADOConnectionConstruction15), Answer::Other},
                       {"ADOConnectionConstruction", __uuidof(ADOConnectionConstruction), Answer::Other},
                       {"_Recordset", __uuidof(_Recordset), Answer::None},
                       {"ADOCommandConstruction", __uuidof(ADOCommandConstruction), Answer::None}});
  EXPECT_EQ(conn->Release(), 0u);

  _Command* cmd = Create<_Command>(__uuidof(Command));
  CheckQueryInterface(cmd, {{"_Command", __uuidof(_Command), Answer::Same},
                            {"Command25", __uuidof(Command25), Answer::Same},
                            {"Command15", __uuidof(Command15), Answer::Same},
                            {"_ADO", __uuidof(_ADO), Answer::Same},
                            {"ADOCommandConstruction", __uuidof(ADOCommandConstruction), Answer::Other},
                            {"ADORecordsetConstruction", __uuidof(ADORecordsetConstruction), Answer::None}});
  EXPECT_EQ(cmd->Release(), 0u);

  _Recordset* rs = Create<_Recordset>(__uuidof(Recordset));
  CheckQueryInterface(rs, {{"_Recordset", __uuidof(_Recordset), Answer::Same},
                           {"Recordset21", __uuidof(Recordset21), Answer::Same},
                           {"Recordset20", __uuidof(Recordset20), Answer::Same},
                           {"Recordset15", __uuidof(Recordset15), Answer::Same},
                           {"ADORecordsetConstruction", __uuidof(ADORecordsetConstruction), Answer::Other},
                           {"_Collection", __uuidof(_Collection), Answer::None}});
  Fields* fields = nullptr;
  ASSERT_EQ(rs->get_Fields(&fields), S_OK);
  fields->raw__Append(_bstr_t("x"), adInteger, 0, adFldUnspecified);
  CheckQueryInterface(fields, {{"Fields", __uuidof(Fields), Answer::Same},
                               {"Fields20", __uuidof(Fields20), Answer::Same},
                               {"Fields15", __uuidof(Fields15), Answer::Same},
                               {"_Collection", __uuidof(_Collection), Answer::None},
                               {"_DynaCollection", __uuidof(_DynaCollection), Answer::None}});
  Field* field = nullptr;
  ASSERT_EQ(fields->get_Item(_variant_t(0L), &field), S_OK);
  CheckQueryInterface(field, {{"Field", __uuidof(Field), Answer::Same},
                              {"Field20", __uuidof(Field20), Answer::Same},
                              {"_ADO", __uuidof(_ADO), Answer::Same},
                              {"Fields", __uuidof(Fields), Answer::None}});
  field->Release();
  fields->Release();
  EXPECT_EQ(rs->Release(), 0u);
}

// The older versions are prefixes of one vtable: a call through Fields15 or Command15 is the
// same call (the #import wrappers of each version work on the one object).
TEST_F(Interfaces, OlderVersionsCallTheSameMembers) {
  _RecordsetPtr rs;
  ASSERT_EQ(rs.CreateInstance(__uuidof(Recordset)), S_OK);
  Fields20Ptr fields20(rs->GetFields());
  ASSERT_TRUE(fields20);
  fields20->_Append(_bstr_t("a"), adVarChar, 5, adFldIsNullable);
  Fields15Ptr fields15(fields20);
  EXPECT_EQ(fields15->GetCount(), 1);
  Field20Ptr a(fields15->GetItem(_variant_t("a")));
  EXPECT_EQ(a->GetDefinedSize(), 5);
  fields20->Delete(_variant_t(0L));
  EXPECT_EQ(fields15->GetCount(), 0);

  Command15Ptr cmd;
  ASSERT_EQ(cmd.CreateInstance(__uuidof(Command)), S_OK);
  cmd->PutCommandText(_bstr_t("SELECT 1"));
  Command25Ptr cmd25(cmd);
  EXPECT_EQ(cmd25->GetState(), adStateClosed);
  _CommandPtr full(cmd25);
  EXPECT_EQ(Utf8(full->GetCommandText()), "SELECT 1");
}

// ADORecordsetConstruction without OLE DB: a closed recordset has no rowset (null, S_OK); an
// open one is its own rowset; putting that rowset into a new recordset opens it as a clone
// (same rows, its own cursor). A server cursor has no rows to share, a non-recordset is
// E_NOINTERFACE, an open recordset adErrObjectOpen. Chapter is 0, RowPosition null.
TEST_F(Interfaces, RecordsetConstructionSharesRows) {
  _RecordsetPtr rs;
  ASSERT_EQ(rs.CreateInstance(__uuidof(Recordset)), S_OK);
  ADORecordsetConstructionPtr construct(rs);
  ASSERT_TRUE(construct);
  IUnknown* rowset = reinterpret_cast<IUnknown*>(0xdeadbeef);
  EXPECT_EQ(construct->get_Rowset(&rowset), S_OK);
  EXPECT_EQ(rowset, nullptr);
  LONG_PTR chapter = 7;
  EXPECT_EQ(construct->get_Chapter(&chapter), S_OK);
  EXPECT_EQ(chapter, 0);
  EXPECT_EQ(construct->put_Chapter(0), S_OK);
  EXPECT_EQ(construct->put_Chapter(5), E_NOTIMPL);
  IUnknown* position = reinterpret_cast<IUnknown*>(0xdeadbeef);
  EXPECT_EQ(construct->get_RowPosition(&position), S_OK);
  EXPECT_EQ(position, nullptr);
  EXPECT_EQ(construct->put_Rowset(nullptr), Ado(adErrInvalidArgument));

  rs->GetFields()->Append(_bstr_t("n"), adInteger, 0, adFldUnspecified);
  rs->Open(vtMissing, vtMissing, adOpenStatic, adLockOptimistic, adCmdUnspecified);
  for (long i = 1; i <= 3; ++i) rs->AddNew(_variant_t("n"), _variant_t(i));
  IUnknownPtr shared = construct->GetRowset();
  IUnknownPtr self(rs);
  EXPECT_EQ(shared.GetInterfacePtr(), self.GetInterfacePtr());
  EXPECT_EQ(construct->put_Rowset(shared), Ado(adErrObjectOpen));

  _RecordsetPtr other;
  ASSERT_EQ(other.CreateInstance(__uuidof(Recordset)), S_OK);
  ADORecordsetConstructionPtr(other)->PutRowset(shared);
  EXPECT_EQ(other->GetState(), adStateOpen);
  EXPECT_EQ(other->GetRecordCount(), 3);
  EXPECT_EQ((long)other->GetCollect(_variant_t("n")), 1);
  other->PutCollect(_variant_t("n"), _variant_t(10L));
  other->Update();
  rs->MoveFirst();
  EXPECT_EQ((long)rs->GetCollect(_variant_t("n")), 10);

  _RecordsetPtr refused;
  ASSERT_EQ(refused.CreateInstance(__uuidof(Recordset)), S_OK);
  _ConnectionPtr conn;
  ASSERT_EQ(conn.CreateInstance(__uuidof(Connection)), S_OK);
  EXPECT_EQ(ADORecordsetConstructionPtr(refused)->put_Rowset(conn), E_NOINTERFACE);
  _RecordsetPtr closed;
  ASSERT_EQ(closed.CreateInstance(__uuidof(Recordset)), S_OK);
  EXPECT_EQ(ADORecordsetConstructionPtr(refused)->put_Rowset(closed), Ado(adErrObjectClosed));
  conn->Open(_bstr_t("Provider=SQLite;Data Source=:memory:"), _bstr_t(), _bstr_t(), adConnectUnspecified);
  _RecordsetPtr server = conn->Execute(_bstr_t("SELECT 1 AS one"), nullptr, adCmdText);
  EXPECT_EQ(ADORecordsetConstructionPtr(refused)->put_Rowset(server), Ado(adErrFeatureNotAvailable));
  EXPECT_EQ(refused->GetState(), adStateClosed);
}

// ADOConnectionConstruction15 and ADOCommandConstruction without OLE DB: a closed connection
// has no data source object or session (null, S_OK); an open one's are no OLE DB objects (a
// gap: E_NOTIMPL, null); WrapDSOandSession is a gap, on an open connection adErrObjectOpen. A
// command never holds an OLE DB command (null, S_OK); putting one is a gap, putting null is
// accepted.
TEST_F(Interfaces, ConnectionAndCommandConstruction) {
  _ConnectionPtr conn;
  ASSERT_EQ(conn.CreateInstance(__uuidof(Connection)), S_OK);
  ADOConnectionConstruction15Ptr construct(conn);
  ASSERT_TRUE(construct);
  IUnknown* dso = reinterpret_cast<IUnknown*>(0xdeadbeef);
  IUnknown* session = reinterpret_cast<IUnknown*>(0xdeadbeef);
  EXPECT_EQ(construct->get_DSO(&dso), S_OK);
  EXPECT_EQ(construct->get_Session(&session), S_OK);
  EXPECT_EQ(dso, nullptr);
  EXPECT_EQ(session, nullptr);
  EXPECT_EQ(construct->raw_WrapDSOandSession(nullptr, nullptr), E_NOTIMPL);
  conn->Open(_bstr_t("Provider=SQLite;Data Source=:memory:"), _bstr_t(), _bstr_t(), adConnectUnspecified);
  dso = reinterpret_cast<IUnknown*>(0xdeadbeef);
  EXPECT_EQ(construct->get_DSO(&dso), E_NOTIMPL);
  EXPECT_EQ(dso, nullptr);
  EXPECT_EQ(construct->raw_WrapDSOandSession(nullptr, nullptr), Ado(adErrObjectOpen));

  _CommandPtr cmd;
  ASSERT_EQ(cmd.CreateInstance(__uuidof(Command)), S_OK);
  ADOCommandConstructionPtr cc(cmd);
  ASSERT_TRUE(cc);
  IUnknown* oledb = reinterpret_cast<IUnknown*>(0xdeadbeef);
  EXPECT_EQ(cc->get_OLEDBCommand(&oledb), S_OK);
  EXPECT_EQ(oledb, nullptr);
  EXPECT_EQ(cc->put_OLEDBCommand(nullptr), S_OK);
  EXPECT_EQ(cc->put_OLEDBCommand(conn), E_NOTIMPL);
}

// Windows' defaults and checks: a new connection's ConnectionString and a new command's
// CommandText are null BSTRs; Provider is "MSDASQL" until a connection string names another,
// which it then reads back before Open; a null or empty Provider is adErrInvalidArgument and
// changes nothing.
TEST_F(Interfaces, ProviderConnectionStringAndCommandTextDefaults) {
  _ConnectionPtr conn;
  ASSERT_EQ(conn.CreateInstance(__uuidof(Connection)), S_OK);
  BSTR text = reinterpret_cast<BSTR>(0xdeadbeef);
  EXPECT_EQ(conn->get_ConnectionString(&text), S_OK);
  EXPECT_EQ(text, nullptr);
  EXPECT_EQ(Utf8(conn->GetProvider()), "MSDASQL");
  EXPECT_EQ(conn->put_Provider(nullptr), Ado(adErrInvalidArgument));
  EXPECT_EQ(conn->put_Provider(_bstr_t("")), Ado(adErrInvalidArgument));
  EXPECT_EQ(Utf8(conn->GetProvider()), "MSDASQL");
  conn->PutConnectionString(_bstr_t("Provider=SQLite.1;Data Source=:memory:"));
  EXPECT_EQ(Utf8(conn->GetProvider()), "SQLite.1");
  conn->PutConnectionString(_bstr_t("Data Source=:memory:"));  // names none: Provider stays
  EXPECT_EQ(Utf8(conn->GetProvider()), "SQLite.1");
  conn->Open(_bstr_t("Provider=SQLite;Data Source=:memory:"), _bstr_t(), _bstr_t(), adConnectUnspecified);
  EXPECT_EQ(Utf8(conn->GetProvider()), "SQLite");
  EXPECT_EQ(Utf8(conn->GetConnectionString()), "Provider=SQLite;Data Source=:memory:");
  EXPECT_EQ(conn->put_Provider(_bstr_t("MSDASQL")), Ado(adErrObjectOpen));

  _CommandPtr cmd;
  ASSERT_EQ(cmd.CreateInstance(__uuidof(Command)), S_OK);
  text = reinterpret_cast<BSTR>(0xdeadbeef);
  EXPECT_EQ(cmd->get_CommandText(&text), S_OK);
  EXPECT_EQ(text, nullptr);
}

// Command's ADO 2.6 members: Dialect is DBGUID_DEFAULT until set to another GUID in braces
// (other text is adErrInvalidArgument); NamedParameters is False until set; CommandStream reads
// Empty and putting a stream is a gap.
TEST_F(Interfaces, CommandDialectNamedParametersAndStream) {
  _CommandPtr cmd;
  ASSERT_EQ(cmd.CreateInstance(__uuidof(Command)), S_OK);
  EXPECT_EQ(Utf8(cmd->GetDialect()), "{C8B521FB-5CF3-11CE-ADE5-00AA0044773D}");
  EXPECT_EQ(cmd->put_Dialect(_bstr_t("SQL")), Ado(adErrInvalidArgument));
  EXPECT_EQ(cmd->put_Dialect(nullptr), Ado(adErrInvalidArgument));
  cmd->PutDialect(_bstr_t("{C8B522D7-5CF3-11CE-ADE5-00AA0044773D}"));
  EXPECT_EQ(Utf8(cmd->GetDialect()), "{C8B522D7-5CF3-11CE-ADE5-00AA0044773D}");
  EXPECT_EQ(cmd->GetNamedParameters(), VARIANT_FALSE);
  cmd->PutNamedParameters(VARIANT_TRUE);
  EXPECT_EQ(cmd->GetNamedParameters(), VARIANT_TRUE);
  VARIANT stream;
  stream.vt = VT_I4;
  EXPECT_EQ(cmd->get_CommandStream(&stream), S_OK);
  EXPECT_EQ(stream.vt, VT_EMPTY);
  EXPECT_EQ(cmd->putref_CommandStream(nullptr), E_NOTIMPL);
}

}  // namespace
}  // namespace kp::ado::test
