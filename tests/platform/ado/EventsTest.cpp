// Conformance tests of ADO's events: IConnectionPointContainer on Connection and Recordset,
// Advise/Unadvise with their documented results, and the ConnectionEvents and RecordsetEvents
// fired around Open, Close, Execute, transactions, moves and edits, in the documented order,
// with the adStatus and adReason values and the Error object ADO documents (sinks and fixture in
// EventSinks.h).
#include "EventSinks.h"

namespace kp::ado::test {

// ---- Connection points ---------------------------------------------------------------------

// A Connection answers IConnectionPointContainer with one point, ConnectionEvents (found also by
// ConnectionEventsVt); another id is CONNECT_E_NOCONNECTION with the out-pointer cleared; the
// point names its container; the enumeration of points yields exactly one.
TEST_P(EventsTest, ConnectionHasOneConnectionPoint) {
  IConnectionPointContainer* cpc = nullptr;
  ASSERT_EQ(conn_->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&cpc)), S_OK);
  auto* sentinel = reinterpret_cast<IConnectionPoint*>(uintptr_t{kSentinel});
  IConnectionPoint* cp = sentinel;
  EXPECT_EQ(cpc->FindConnectionPoint(__uuidof(RecordsetEvents), &cp), CONNECT_E_NOCONNECTION);
  EXPECT_EQ(cp, nullptr);
  EXPECT_EQ(cpc->FindConnectionPoint(__uuidof(ConnectionEvents), nullptr), E_POINTER);
  ASSERT_EQ(cpc->FindConnectionPoint(__uuidof(ConnectionEvents), &cp), S_OK);
  IConnectionPoint* byVt = nullptr;
  ASSERT_EQ(cpc->FindConnectionPoint(__uuidof(ConnectionEventsVt), &byVt), S_OK);
  EXPECT_EQ(byVt, cp);
  byVt->Release();
  IID iid = GUID_NULL;
  EXPECT_EQ(cp->GetConnectionInterface(&iid), S_OK);
  EXPECT_TRUE(iid == __uuidof(ConnectionEvents));
  IConnectionPointContainer* back = nullptr;
  EXPECT_EQ(cp->GetConnectionPointContainer(&back), S_OK);
  EXPECT_EQ(back, cpc);
  back->Release();

  IEnumConnectionPoints* points = nullptr;
  ASSERT_EQ(cpc->EnumConnectionPoints(&points), S_OK);
  IConnectionPoint* got[2] = {sentinel, sentinel};
  ULONG fetched = kSentinel;
  EXPECT_EQ(points->Next(2, got, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 1u);
  EXPECT_EQ(got[0], cp);
  EXPECT_EQ(got[1], sentinel);  // not written
  got[0]->Release();
  EXPECT_EQ(points->Next(2, got, nullptr), E_POINTER);  // pcFetched may be null only for one
  EXPECT_EQ(points->Reset(), S_OK);
  EXPECT_EQ(points->Skip(2), S_FALSE);
  IEnumConnectionPoints* copy = nullptr;
  EXPECT_EQ(points->Reset(), S_OK);
  EXPECT_EQ(points->Clone(&copy), S_OK);
  EXPECT_EQ(copy->Next(1, got, nullptr), S_OK);
  EXPECT_EQ(got[0], cp);
  got[0]->Release();
  EXPECT_EQ(copy->Release(), 0u);
  EXPECT_EQ(points->Release(), 0u);
  cp->Release();
  cpc->Release();
}

// Advise answers a non-zero cookie, distinct per sink; EnumConnections lists the sinks with their
// cookies; Unadvise of an unknown cookie (or twice) is CONNECT_E_NOCONNECTION; the point holds
// one reference to each sink until Unadvise, and the object's end releases the rest.
TEST_P(EventsTest, AdviseUnadviseCookiesAndReferences) {
  Script script;
  auto* a = new ConnSink(script);
  auto* b = new ConnSink(script);
  IConnectionPoint* cp = PointOf(conn_, __uuidof(ConnectionEvents));
  DWORD ca = kSentinel, cb = kSentinel;
  EXPECT_EQ(cp->Advise(a, &ca), S_OK);
  EXPECT_EQ(cp->Advise(b, &cb), S_OK);
  EXPECT_NE(ca, 0u);
  EXPECT_NE(ca, kSentinel);
  EXPECT_NE(cb, 0u);
  EXPECT_NE(ca, cb);
  EXPECT_EQ(a->Refs(), 2u);
  EXPECT_EQ(b->Refs(), 2u);

  IEnumConnections* list = nullptr;
  ASSERT_EQ(cp->EnumConnections(&list), S_OK);
  CONNECTDATA data[3];
  ULONG fetched = 0;
  EXPECT_EQ(list->Next(3, data, &fetched), S_FALSE);
  ASSERT_EQ(fetched, 2u);
  EXPECT_EQ(data[0].dwCookie, ca);
  EXPECT_EQ(data[1].dwCookie, cb);
  EXPECT_EQ(data[0].pUnk, static_cast<IUnknown*>(a));
  EXPECT_EQ(a->Refs(), 4u);  // the point, the enumerator's snapshot, the receiver's copy
  data[0].pUnk->Release();
  data[1].pUnk->Release();
  EXPECT_EQ(list->Release(), 0u);
  EXPECT_EQ(a->Refs(), 2u);

  EXPECT_EQ(cp->Unadvise(ca + cb + 100), CONNECT_E_NOCONNECTION);
  EXPECT_EQ(cp->Unadvise(0), CONNECT_E_NOCONNECTION);
  EXPECT_EQ(cp->Unadvise(ca), S_OK);
  EXPECT_EQ(cp->Unadvise(ca), CONNECT_E_NOCONNECTION);
  EXPECT_EQ(a->Refs(), 1u);
  DWORD again = kSentinel;
  EXPECT_EQ(cp->Advise(a, &again), S_OK);
  EXPECT_NE(again, ca);  // cookies are not reused
  cp->Release();
  conn_->Close();
  conn_ = nullptr;  // the connection's end releases both sinks
  EXPECT_EQ(a->Release(), 0u);
  EXPECT_EQ(b->Release(), 0u);
}

// A sink that does not answer the point's interface is refused with CONNECT_E_CANNOTCONNECT and
// the cookie 0; a sink answering only IDispatch (a dispinterface sink) is refused the same way
// (this library calls vtable sinks only; the gap is traced) and keeps no extra reference. A null
// sink is E_POINTER.
TEST_P(EventsTest, SinkWithoutTheInterfaceCannotConnect) {
  Script script;
  auto* wrong = new RsSink(script);  // a recordset sink offered to a connection
  DispatchOnlySink late;
  IConnectionPoint* cp = PointOf(conn_, __uuidof(ConnectionEvents));
  DWORD cookie = kSentinel;
  EXPECT_EQ(cp->Advise(wrong, &cookie), CONNECT_E_CANNOTCONNECT);
  EXPECT_EQ(cookie, 0u);
  cookie = kSentinel;
  std::string traced;
  void* previousContext = nullptr;
  kp::TraceSink previous = kp::GetTraceSink(&previousContext);
  kp::SetTraceSink([](const char* text, void* ctx) { *static_cast<std::string*>(ctx) += text; }, &traced);
  EXPECT_EQ(cp->Advise(&late, &cookie), CONNECT_E_CANNOTCONNECT);
  kp::SetTraceSink(previous, previousContext);
  EXPECT_EQ(cookie, 0u);
  EXPECT_EQ(
      traced,
      "kp: ConnectionPoint::Advise is not implemented (a dispinterface (IDispatch) sink; advise a vtable "
      "sink)\n");
  EXPECT_EQ(cp->Advise(nullptr, &cookie), E_POINTER);
  EXPECT_EQ(cp->Advise(wrong, nullptr), E_POINTER);
  cp->Release();
  EXPECT_EQ(late.refs, 1u);
  EXPECT_EQ(wrong->Release(), 0u);
}

// A Recordset answers IConnectionPointContainer with RecordsetEvents (and RecordsetEventsVt),
// not ConnectionEvents; a point keeps its object alive while a client holds it.
TEST_P(EventsTest, RecordsetHasRecordsetEventsPoint) {
  _RecordsetPtr rs;
  ASSERT_EQ(rs.CreateInstance(__uuidof(Recordset)), S_OK);
  IConnectionPointContainer* cpc = nullptr;
  ASSERT_EQ(rs->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&cpc)), S_OK);
  IConnectionPoint* cp = nullptr;
  EXPECT_EQ(cpc->FindConnectionPoint(__uuidof(ConnectionEvents), &cp), CONNECT_E_NOCONNECTION);
  ASSERT_EQ(cpc->FindConnectionPoint(__uuidof(RecordsetEventsVt), &cp), S_OK);
  IID iid = GUID_NULL;
  EXPECT_EQ(cp->GetConnectionInterface(&iid), S_OK);
  EXPECT_TRUE(iid == __uuidof(RecordsetEvents));
  cpc->Release();
  _Recordset* raw = rs.Detach();
  EXPECT_EQ(raw->Release(), 1u);  // the point's reference keeps it
  EXPECT_EQ(cp->Release(), 0u);
}

// ---- Connection events -----------------------------------------------------------------------

// Open fires WillConnect (adStatusOK) then ConnectComplete (adStatusOK, no Error); Close fires
// Disconnect (adStatusOK) after the connection closed.
TEST_P(EventsTest, OpenAndCloseFireConnectEvents) {
  _ConnectionPtr c = Listened();
  script_.hook["Disconnect"] = [&] { EXPECT_EQ(c->GetState(), adStateClosed); };
  c->Open(_bstr_t(cs_.c_str()), _bstr_t(u""), _bstr_t(u""), adConnectUnspecified);
  c->Close();
  EXPECT_EQ(Take(), (Log{"WillConnect() 1", "ConnectComplete() 1", "Disconnect() 1"}));
}

// WillConnect may change the connection string: Open uses the new one.
TEST_P(EventsTest, WillConnectMayChangeTheConnectionString) {
  _ConnectionPtr c = Listened();
  connSink_->newConnectionString = cs_;
  c->Open(_bstr_t(u"Provider=NoSuchProvider"), _bstr_t(u""), _bstr_t(u""), adConnectUnspecified);
  EXPECT_EQ(c->GetState(), adStateOpen);
  EXPECT_EQ(Take(), (Log{"WillConnect() 1", "ConnectComplete() 1"}));
}

// Cancelling WillConnect fails Open with adErrOperationCancelled (3712) and its text; the
// connection stays closed; ConnectComplete gets adStatusErrorsOccurred and an Error 3712.
TEST_P(EventsTest, CancelledWillConnectFailsOpen) {
  _ConnectionPtr c = Listened();
  script_.answer["WillConnect"] = adStatusCancel;
  try {
    c->Open(_bstr_t(cs_.c_str()), _bstr_t(u""), _bstr_t(u""), adConnectUnspecified);
    FAIL() << "Open was not cancelled";
  } catch (const _com_error& e) {
    EXPECT_EQ(e.Error(), kCancelled);
    EXPECT_EQ(Utf8(e.Description()), "Operation has been canceled by the user.");
  }
  EXPECT_EQ(c->GetState(), adStateClosed);
  EXPECT_EQ(Take(), (Log{"WillConnect() 1", "ConnectComplete() 2 0x800A0E80"}));
}

// A failing Open passes adStatusErrorsOccurred and an Error with the failure's number to
// ConnectComplete; the caller still reads the Open's own error, even when the sink's own calls
// failed meanwhile.
TEST_P(EventsTest, FailedOpenReportsItsErrorToConnectComplete) {
  _ConnectionPtr c = Listened();
  script_.hook["ConnectComplete"] = [&] {
    EXPECT_EQ(Hr([&] { c->Execute(_bstr_t(u"SELECT 1"), nullptr, adCmdText); }), Ado(adErrObjectClosed));
  };
  HRESULT hr = S_OK;
  try {
    c->Open(_bstr_t(u"Provider=NoSuchProvider"), _bstr_t(u""), _bstr_t(u""), adConnectUnspecified);
  } catch (const _com_error& e) {
    hr = e.Error();
    EXPECT_EQ(Utf8(e.Description()), "Provider cannot be found. It may not be correctly installed.");
  }
  EXPECT_EQ(hr, Ado(adErrProviderNotFound));
  EXPECT_EQ(Take(), (Log{"WillConnect() 1", "ConnectComplete() 2 0x800A0E7A"}));
}

// Connection.Execute fires WillExecute with the source and no Command or Recordset, then
// ExecuteComplete with the records affected, a Command holding the text (ADO makes one) and
// the resulting Recordset.
TEST_P(EventsTest, ConnectionExecuteFiresExecuteEvents) {
  Exec(u"CREATE TABLE t (v INTEGER)");
  ListenTo(conn_);
  VARIANT affected;
  VariantInit(&affected);
  conn_->Execute(_bstr_t(u"INSERT INTO t VALUES (1)"), &affected, (LONG)adCmdText | adExecuteNoRecords);
  EXPECT_EQ(affected.lVal, 1);
  EXPECT_EQ(Take(), (Log{"WillExecute(INSERT INTO t VALUES (1)) 1", "ExecuteComplete(1) 1"}));
  EXPECT_FALSE(connSink_->willCommand);
  EXPECT_FALSE(connSink_->willRecordset);
  EXPECT_EQ(connSink_->completeCommandText, "INSERT INTO t VALUES (1)");
  EXPECT_TRUE(connSink_->completeRecordset);
}

// Command.Execute names its Command in WillExecute; Recordset.Open names its Recordset.
TEST_P(EventsTest, CommandExecuteAndRecordsetOpenNameTheirObjects) {
  Exec(u"CREATE TABLE t (v INTEGER); INSERT INTO t VALUES (4)");
  ListenTo(conn_);
  _CommandPtr cmd;
  ASSERT_EQ(cmd.CreateInstance(__uuidof(Command)), S_OK);
  cmd->PutRefActiveConnection(conn_);
  cmd->PutCommandText(_bstr_t(u"SELECT v FROM t"));
  cmd->Execute(nullptr, nullptr, adCmdText);
  EXPECT_TRUE(connSink_->willCommand);
  EXPECT_FALSE(connSink_->willRecordset);
  EXPECT_EQ(connSink_->completeCommandText, "SELECT v FROM t");
  _RecordsetPtr rs = OpenClient(u"SELECT v FROM t");
  EXPECT_FALSE(connSink_->willCommand);
  EXPECT_TRUE(connSink_->willRecordset);
  EXPECT_EQ((long)rs->GetCollect(_variant_t(0L)), 4);
  EXPECT_EQ(Take(), (Log{"WillExecute(SELECT v FROM t) 1", "ExecuteComplete(-1) 1",
                         "WillExecute(SELECT v FROM t) 1", "ExecuteComplete(-1) 1"}));
}

// A failing statement passes adStatusErrorsOccurred and the provider's Error (the first of
// Connection.Errors, same number as the failure) to ExecuteComplete.
TEST_P(EventsTest, FailedExecuteReportsTheProviderError) {
  ListenTo(conn_);
  HRESULT hr = Hr([&] { conn_->Execute(_bstr_t(u"SELECT * FROM missing_table"), nullptr, adCmdText); });
  EXPECT_TRUE(FAILED(hr));
  char hex[16];
  snprintf(hex, sizeof hex, "%08X", (unsigned)hr);
  EXPECT_EQ(Take(), (Log{"WillExecute(SELECT * FROM missing_table) 1",
                         std::string("ExecuteComplete(-1) 2 0x") + hex}));
  EXPECT_EQ(conn_->GetErrors()->GetItem(_variant_t(0L))->GetNumber(), hr);
}

// Cancelling WillExecute runs nothing and fails Execute with 3712; WillExecute may change the
// source, and the changed statement is what runs.
TEST_P(EventsTest, WillExecuteMayCancelOrChangeTheSource) {
  Exec(u"CREATE TABLE t (v INTEGER)");
  ListenTo(conn_);
  script_.answer["WillExecute"] = adStatusCancel;
  EXPECT_EQ(Hr([&] { conn_->Execute(_bstr_t(u"INSERT INTO t VALUES (1)"), nullptr, adExecuteNoRecords); }),
            kCancelled);
  EXPECT_EQ(Take(), (Log{"WillExecute(INSERT INTO t VALUES (1)) 1", "ExecuteComplete(-1) 2 0x800A0E80"}));
  script_.answer.clear();
  connSink_->newSource = u"INSERT INTO t VALUES (2)";
  conn_->Execute(_bstr_t(u"INSERT INTO t VALUES (1)"), nullptr, adExecuteNoRecords);
  connSink_->newSource.clear();
  _RecordsetPtr rs = conn_->Execute(_bstr_t(u"SELECT sum(v) FROM t"), nullptr, adCmdText);
  EXPECT_EQ((long)rs->GetCollect(_variant_t(0L)), 2);
}

// BeginTrans, CommitTrans and RollbackTrans fire their Complete events after the work, with the
// new level for BeginTrans; CommitTrans without a transaction reports its failure (the
// provider's XACT_E_NOTRANSACTION) with adStatusErrorsOccurred.
TEST_P(EventsTest, TransactionsFireCompleteEvents) {
  ListenTo(conn_);
  EXPECT_EQ(conn_->BeginTrans(), 1);
  conn_->CommitTrans();
  conn_->BeginTrans();
  conn_->RollbackTrans();
  EXPECT_EQ(Hr([&] { conn_->CommitTrans(); }), (HRESULT)0x8004D00E);
  EXPECT_EQ(Take(), (Log{"BeginTransComplete(1) 1", "CommitTransComplete() 1", "BeginTransComplete(1) 1",
                         "RollbackTransComplete() 1", "CommitTransComplete() 2 0x8004D00E"}));
}

// A warning the provider reports while a statement runs (ODBC's SQL_SUCCESS_WITH_INFO; here a
// PostgreSQL notice) reaches InfoMessage as an Error with number 0 and the driver's text, before
// ExecuteComplete. SQLite reports no warnings.
TEST_P(EventsTest, InfoMessageCarriesProviderWarnings) {
  if (!Quirks().postgres) GTEST_SKIP() << "only PostgreSQL's driver reports warnings (notices)";
  ListenTo(conn_);
  conn_->Execute(_bstr_t(u"DO $$ BEGIN RAISE NOTICE 'kp notice'; END $$"), nullptr, adExecuteNoRecords);
  EXPECT_EQ(Take(), (Log{"WillExecute(DO $$ BEGIN RAISE NOTICE 'kp notice'; END $$) 1",
                         "InfoMessage() 1 0x00000000", "ExecuteComplete(0) 1"}));
  EXPECT_NE(connSink_->infoText.find("kp notice"), std::string::npos) << connSink_->infoText;
  // A statement without warnings fires none.
  conn_->Execute(_bstr_t(u"SELECT 1"), nullptr, adCmdText);
  EXPECT_EQ(Take(), (Log{"WillExecute(SELECT 1) 1", "ExecuteComplete(-1) 1"}));
}

// A sink that answers adStatusUnwantedEvent is not called for that event again; its other
// events still come, and other sinks still get the declined one.
TEST_P(EventsTest, UnwantedEventIsNotFiredAgain) {
  ListenTo(conn_);
  Script other;
  auto* second = new ConnSink(other);
  DWORD cookie = AdviseOn(conn_, __uuidof(ConnectionEvents), second);
  script_.answer["ExecuteComplete"] = adStatusUnwantedEvent;
  conn_->Execute(_bstr_t(u"SELECT 1"), nullptr, adCmdText);
  conn_->Execute(_bstr_t(u"SELECT 2"), nullptr, adCmdText);
  EXPECT_EQ(Take(), (Log{"WillExecute(SELECT 1) 1", "ExecuteComplete(-1) 1", "WillExecute(SELECT 2) 1"}));
  EXPECT_EQ(other.log.size(), 4u);
  UnadviseOn(conn_, __uuidof(ConnectionEvents), cookie);
  EXPECT_EQ(second->Release(), 0u);
}

// A sink may unadvise itself while it is being called: the call finishes, and nothing more
// reaches it.
TEST_P(EventsTest, SinkMayUnadviseDuringAnEvent) {
  auto* sink = new ConnSink(script_);
  DWORD cookie = AdviseOn(conn_, __uuidof(ConnectionEvents), sink);
  script_.hook["WillExecute"] = [&] { UnadviseOn(conn_, __uuidof(ConnectionEvents), cookie); };
  conn_->Execute(_bstr_t(u"SELECT 1"), nullptr, adCmdText);
  EXPECT_EQ(Take(), (Log{"WillExecute(SELECT 1) 1"}));
  EXPECT_EQ(sink->Release(), 0u);
}

// ---- Recordset events -----------------------------------------------------------------------

// Each move fires WillMove then MoveComplete with its reason (adRsnMoveNext 13, adRsnMoveLast 15,
// adRsnMovePrevious 14, adRsnMoveFirst 12, adRsnMove 10 for Move and Bookmark).
TEST_P(EventsTest, MovesFireWillMoveAndMoveCompleteWithTheirReason) {
  _RecordsetPtr rs = ListenedRows(adLockReadOnly);
  rs->MoveNext();
  rs->MoveLast();
  rs->MovePrevious();
  rs->MoveFirst();
  rs->Move(1, vtMissing);
  rs->PutBookmark(rs->GetBookmark());
  EXPECT_EQ(Take(), (Log{"WillMove(13) 1", "MoveComplete(13) 1", "WillMove(15) 1", "MoveComplete(15) 1",
                         "WillMove(14) 1", "MoveComplete(14) 1", "WillMove(12) 1", "MoveComplete(12) 1",
                         "WillMove(10) 1", "MoveComplete(10) 1", "WillMove(10) 1", "MoveComplete(10) 1"}));
}

// Moving off the last row fires EndOfRecordset (fMoreData False) before MoveComplete; a move
// from EOF fails with 3021 and MoveComplete gets adStatusErrorsOccurred with that Error.
TEST_P(EventsTest, MovingPastTheEndFiresEndOfRecordset) {
  _RecordsetPtr rs = ListenedRows(adLockReadOnly);
  rs->MoveLast();
  Take();
  rs->MoveNext();
  EXPECT_EQ(rs->GetadoEOF(), VARIANT_TRUE);
  EXPECT_EQ(Hr([&] { rs->MoveNext(); }), Ado(adErrNoCurrentRecord));
  EXPECT_EQ(Take(), (Log{"WillMove(13) 1", "EndOfRecordset(false) 1", "MoveComplete(13) 1", "WillMove(13) 1",
                         "MoveComplete(13) 2 0x800A0BCD"}));
}

// Cancelling WillMove leaves the cursor where it was and fails the move with 3712; a sink that
// declines WillMove for one reason still gets it for the others.
TEST_P(EventsTest, WillMoveMayCancelOrDeclineOneReason) {
  _RecordsetPtr rs = ListenedRows(adLockReadOnly);
  script_.answer["WillMove"] = adStatusCancel;
  EXPECT_EQ(Hr([&] { rs->MoveNext(); }), kCancelled);
  EXPECT_EQ((long)rs->GetCollect(_variant_t(0L)), 1);
  EXPECT_EQ(Take(), (Log{"WillMove(13) 1", "MoveComplete(13) 2 0x800A0E80"}));
  script_.answer["WillMove"] = adStatusUnwantedEvent;
  rs->MoveNext();
  rs->MoveNext();
  rs->MoveFirst();
  EXPECT_EQ(Take(), (Log{"WillMove(13) 1", "MoveComplete(13) 1", "MoveComplete(13) 1", "WillMove(12) 1",
                         "MoveComplete(12) 1"}));
}

// Writing Field.Value fires WillChangeField with the Field; the first write to a row also
// fires WillChangeRecord / RecordChangeComplete with adRsnFirstChange (11); FieldChangeComplete
// follows. Update fires WillChangeRecord / RecordChangeComplete with adRsnUpdate (3).
TEST_P(EventsTest, FieldWritesAndUpdateFireChangeEvents) {
  _RecordsetPtr rs = ListenedRows();
  FieldPtr name = rs->GetFields()->GetItem(_variant_t(1L));
  name->PutValue(_variant_t(_bstr_t(u"x")));
  name->PutValue(_variant_t(_bstr_t(u"y")));
  rs->Update();
  EXPECT_EQ(Take(),
            (Log{"WillChangeField(1:name) 1", "WillChangeRecord(11,1) 1", "RecordChangeComplete(11,1) 1",
                 "FieldChangeComplete(1:name) 1", "WillChangeField(1:name) 1",
                 "FieldChangeComplete(1:name) 1", "WillChangeRecord(3,1) 1", "RecordChangeComplete(3,1) 1"}));
  _RecordsetPtr check = conn_->Execute(_bstr_t(u"SELECT name FROM t WHERE id = 1"), nullptr, adCmdText);
  EXPECT_EQ(Utf8(_bstr_t(check->GetCollect(_variant_t(0L)))), "y");
}

// Cancelling WillChangeField fails the write with 3712 and leaves the value and EditMode as they
// were.
TEST_P(EventsTest, CancelledWillChangeFieldKeepsTheValue) {
  _RecordsetPtr rs = ListenedRows();
  script_.answer["WillChangeField"] = adStatusCancel;
  EXPECT_EQ(Hr([&] { rs->PutCollect(_variant_t(1L), _variant_t(_bstr_t(u"x"))); }), kCancelled);
  EXPECT_EQ(Utf8(_bstr_t(rs->GetCollect(_variant_t(1L)))), "a");
  EXPECT_EQ(rs->GetEditMode(), adEditNone);
  EXPECT_EQ(Take(), (Log{"WillChangeField(1:name) 1", "FieldChangeComplete(1:name) 2 0x800A0E80"}));
}

// AddNew fires adRsnAddNew (1); CancelUpdate of a new row adRsnUndoAddNew (5), of an edit
// adRsnUndoUpdate (4); Delete adRsnDelete (2) with the count of records.
TEST_P(EventsTest, AddNewCancelUpdateAndDeleteReasons) {
  _RecordsetPtr rs = ListenedRows();
  rs->AddNew();
  rs->CancelUpdate();
  rs->MoveFirst();
  Take();
  rs->PutCollect(_variant_t(1L), _variant_t(_bstr_t(u"x")));
  rs->CancelUpdate();
  rs->Delete(adAffectCurrent);
  Log log = Take();
  EXPECT_EQ(log,
            (Log{"WillChangeField(1:name) 1", "WillChangeRecord(11,1) 1", "RecordChangeComplete(11,1) 1",
                 "FieldChangeComplete(1:name) 1", "WillChangeRecord(4,1) 1", "RecordChangeComplete(4,1) 1",
                 "WillChangeRecord(2,1) 1", "RecordChangeComplete(2,1) 1"}));
  EXPECT_EQ(RowCount(), 2);
}

// The AddNew pair comes before the new row's Update.
TEST_P(EventsTest, AddNewThenUpdateOrder) {
  _RecordsetPtr rs = ListenedRows();
  rs->AddNew();
  rs->PutCollect(_variant_t(0L), _variant_t(9L));
  rs->CancelUpdate();
  EXPECT_EQ(Take(),
            (Log{"WillChangeRecord(1,1) 1", "RecordChangeComplete(1,1) 1", "WillChangeField(1:id) 1",
                 "FieldChangeComplete(1:id) 1", "WillChangeRecord(5,1) 1", "RecordChangeComplete(5,1) 1"}));
}

// Cancelling WillChangeRecord for a Delete fails it with 3712 and deletes nothing.
TEST_P(EventsTest, CancelledDeleteDeletesNothing) {
  _RecordsetPtr rs = ListenedRows();
  script_.answer["WillChangeRecord"] = adStatusCancel;
  EXPECT_EQ(Hr([&] { rs->Delete(adAffectCurrent); }), kCancelled);
  EXPECT_EQ(RowCount(), 3);
  EXPECT_EQ(rs->GetRecordCount(), 3);
  EXPECT_EQ(Take(), (Log{"WillChangeRecord(2,1) 1", "RecordChangeComplete(2,1) 2 0x800A0E80"}));
}

// A failed Update reports the provider's Error to RecordChangeComplete and keeps the edit.
TEST_P(EventsTest, FailedUpdateReportsTheProviderError) {
  _RecordsetPtr rs = ListenedRows();
  rs->PutCollect(_variant_t(0L), _variant_t(2L));  // the key of the second row
  Take();
  HRESULT hr = Hr([&] { rs->Update(); });
  EXPECT_TRUE(FAILED(hr));
  Log log = Take();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0], "WillChangeRecord(3,1) 1");
  char hex[16];
  snprintf(hex, sizeof hex, "%08X", (unsigned)hr);
  EXPECT_EQ(log[1], std::string("RecordChangeComplete(3,1) 2 0x") + hex);
  EXPECT_EQ(rs->GetEditMode(), adEditInProgress);
}

// Moving with a pending edit saves it inside the move: WillMove, the Update pair, MoveComplete.
TEST_P(EventsTest, MoveSavesThePendingEditBetweenItsEvents) {
  _RecordsetPtr rs = ListenedRows();
  rs->PutCollect(_variant_t(1L), _variant_t(_bstr_t(u"x")));
  Take();
  rs->MoveNext();
  EXPECT_EQ(Take(), (Log{"WillMove(13) 1", "WillChangeRecord(3,1) 1", "RecordChangeComplete(3,1) 1",
                         "MoveComplete(13) 1"}));
}

// The field and record change events of a change made through a recordset fire in its clones
// too (each with its own Field and Recordset); its moves fire only in the recordset moved. A
// clone's sink may cancel the change. After Requery the original no longer shares its rows, and
// its changes no longer reach the clone.
TEST_P(EventsTest, ChangeEventsFireInEveryClone) {
  _RecordsetPtr rs = ListenedRows();
  _RecordsetPtr clone = rs->Clone(adLockUnspecified);
  Script heard;
  auto* cloneSink = new RsSink(heard);
  DWORD cookie = AdviseOn(clone, __uuidof(RecordsetEvents), cloneSink);
  rs->MoveNext();
  rs->PutCollect(_variant_t(1L), _variant_t(_bstr_t(u"x")));
  rs->Update();
  EXPECT_EQ(Take(),
            (Log{"WillMove(13) 1", "MoveComplete(13) 1", "WillChangeField(1:name) 1",
                 "WillChangeRecord(11,1) 1", "RecordChangeComplete(11,1) 1", "FieldChangeComplete(1:name) 1",
                 "WillChangeRecord(3,1) 1", "RecordChangeComplete(3,1) 1"}));
  EXPECT_EQ(heard.log,
            (Log{"WillChangeField(1:name) 1", "WillChangeRecord(11,1) 1", "RecordChangeComplete(11,1) 1",
                 "FieldChangeComplete(1:name) 1", "WillChangeRecord(3,1) 1", "RecordChangeComplete(3,1) 1"}));
  EXPECT_EQ(cloneSink->lastRecordset, static_cast<_Recordset*>(clone));
  heard.log.clear();
  heard.answer["WillChangeRecord"] = adStatusCancel;
  EXPECT_EQ(Hr([&] { rs->Delete(adAffectCurrent); }), kCancelled);
  EXPECT_EQ(RowCount(), 3);
  EXPECT_EQ(heard.log, (Log{"WillChangeRecord(2,1) 1", "RecordChangeComplete(2,1) 2 0x800A0E80"}));
  heard.answer.clear();
  rs->Requery(adOptionUnspecified);
  heard.log.clear();
  rs->PutCollect(_variant_t(1L), _variant_t(_bstr_t(u"y")));
  rs->CancelUpdate();
  EXPECT_EQ(heard.log, Log{});
  UnadviseOn(clone, __uuidof(RecordsetEvents), cookie);
  EXPECT_EQ(cloneSink->Release(), 0u);
}

// Requery fires WillChangeRecordset and WillMove with adRsnRequery (7) around the new run; Close
// fires WillChangeRecordset / RecordsetChangeComplete with adRsnClose (9).
TEST_P(EventsTest, RequeryAndCloseFireRecordsetEvents) {
  _RecordsetPtr rs = ListenedRows(adLockReadOnly);
  rs->Requery(adOptionUnspecified);
  EXPECT_EQ(rs->GetRecordCount(), 3);
  rs->Close();
  EXPECT_EQ(Take(), (Log{"WillChangeRecordset(7) 1", "WillMove(7) 1", "MoveComplete(7) 1",
                         "RecordsetChangeComplete(7) 1", "WillChangeRecordset(9) 1",
                         "RecordsetChangeComplete(9) 1"}));
}

// Closing the connection closes its recordsets: their WillChangeRecordset(adRsnClose) gets
// adStatusCantDeny, and a sink's cancel is ignored.
TEST_P(EventsTest, ConnectionCloseClosesRecordsetsWithCantDeny) {
  _RecordsetPtr rs = ListenedRows(adLockReadOnly);
  script_.answer["WillChangeRecordset"] = adStatusCancel;
  conn_->Close();
  EXPECT_EQ(rs->GetState(), adStateClosed);
  EXPECT_EQ(Take(), (Log{"WillChangeRecordset(9) 3", "RecordsetChangeComplete(9) 1"}));
}

// Cancelling Close keeps the recordset open.
TEST_P(EventsTest, CancelledCloseKeepsTheRecordsetOpen) {
  _RecordsetPtr rs = ListenedRows(adLockReadOnly);
  script_.answer["WillChangeRecordset"] = adStatusCancel;
  EXPECT_EQ(Hr([&] { rs->Close(); }), kCancelled);
  EXPECT_EQ(rs->GetState(), adStateOpen);
  script_.answer.clear();
  rs->Close();
}

// FetchProgress and FetchComplete belong to asynchronous fetching (adAsyncFetch), which this
// library does not do: a synchronous open and walk fires neither; nor does a closed recordset
// fire anything.
TEST_P(EventsTest, NoFetchEventsAndNothingWhenClosed) {
  _RecordsetPtr rs = ListenedRows(adLockReadOnly);
  while (rs->GetadoEOF() == VARIANT_FALSE) rs->MoveNext();
  rs->Close();
  Take();
  EXPECT_EQ(Hr([&] { rs->MoveNext(); }), Ado(adErrObjectClosed));
  EXPECT_EQ(Take(), Log{});
}

}  // namespace kp::ado::test
