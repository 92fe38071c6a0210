// The ADO object model on SQLite under failure: one session of a program written against ADO
// (open a connection, list its columns with OpenSchema, walk a forward-only recordset, open a
// client-side optimistic recordset, walk it, Find, Filter, Sort, change a field and Update, a
// batch of edits with UpdateBatch inside a transaction, Save as XML, close) run with the Nth
// SQLite allocation, read, write or sync failing, for every N the session reaches, once failing
// that call only and once every call from it on.
//
// What each run must show (the documented ADO contract for provider failures):
// - no crash, and no leak (the sanitizer build checks);
// - the failing call answers a failure HRESULT, carries an IErrorInfo description, and the
//   connection's Errors collection holds the provider's error with that HRESULT as Number and
//   SQLite's result code as NativeError (an out-of-memory or I/O error code: the fault itself,
//   not a later symptom of it);
// - what the session read before the failure is the database's content, never less or other;
// - the database afterwards holds exactly the writes that reported success: a failed Update
//   leaves its row as it was, and a failed batch leaves none of its rows changed.
// The program behaves as a careful one does: at the first failure it rolls back an open
// transaction and closes.
#include <comdef.h>
#include <gtest/gtest.h>
#include <msado15.tlh>
#include <objbase.h>
#include <oleauto.h>
#include <sqlite3.h>
#include <unistd.h>
#include <winnls.h>

#include <map>
#include <string>
#include <vector>

#include "FaultDatabase.h"
#include "FaultSweep.h"
#include "SqliteFaults.h"
#include "StrataTable.h"

namespace kp::fault {
namespace {


std::u16string U16(const std::string& utf8) {
  return kp::Widen(utf8, CP_UTF8);
}

_bstr_t B(const std::string& utf8) {
  return _bstr_t(U16(utf8).c_str());
}

std::string Utf8(const _variant_t& value) {
  if (value.vt == VT_NULL) return "NULL";
  _variant_t text;
  if (FAILED(VariantChangeType(&text, &value, 0, VT_BSTR))) return "?";
  return kp::Narrow(reinterpret_cast<const char16_t*>(text.bstrVal), SysStringLen(text.bstrVal), CP_UTF8);
}

std::string Row(const _RecordsetPtr& rs) {
  FieldsPtr fields = rs->GetFields();
  std::string row;
  for (const char* name : {"id", "name", "code", "depth"}) {
    if (!row.empty()) row += '|';
    row += Utf8(fields->GetItem(name)->GetValue());
  }
  return row;
}

void Set(const _RecordsetPtr& rs, const char* field, const _variant_t& value) {
  rs->GetFields()->GetItem(field)->PutValue(value);
}

// Whether SQLite's extended result code is the kind of failure the fault injects.
bool IsInjectedFailure(long native) {
  int primary = (int)(native & 0xFF);
  return primary == SQLITE_NOMEM || primary == SQLITE_IOERR;
}

// Checks the failure a step raised: a failure HRESULT with a description, and the provider's
// Errors entry for it.
void CheckFailure(const _com_error& e, const _ConnectionPtr& conn, const std::string& step) {
  HRESULT hr = e.Error();
  EXPECT_TRUE(FAILED(hr)) << step;
  EXPECT_GT(e.Description().length(), 0u) << step << ": no description for 0x" << std::hex << hr;
  ErrorsPtr errors;
  if (conn != nullptr) conn->get_Errors(&errors);
  long count = errors != nullptr ? errors->GetCount() : 0;
  ASSERT_GE(count, 1) << step << ": 0x" << std::hex << hr << " (" << (const char*)e.Description()
                      << ") without an Errors entry";
  ErrorPtr first = errors->GetItem(0L);
  EXPECT_EQ(first->GetNumber(), hr) << step;
  EXPECT_TRUE(IsInjectedFailure(first->GetNativeError()))
      << step << ": NativeError " << first->GetNativeError() << " (" << (const char*)first->GetDescription()
      << ") is not the injected failure";
}

class Session {
 public:
  Session(FaultDatabase& db, bool persistent) : db_(db), persistent_(persistent) {}

  std::string Failures() const { return tally_.Failures(); }

  void RunAndCheck(long n) {
    std::string path = db_.Fresh();
    std::string xml = db_.Folder() + "strata.xml";
    unlink(xml.c_str());
    StrataRun run = Perform(U16("Provider=SQLite;Data Source=" + path), U16(xml));
    SqliteFaults::Disarm();
    tally_.Count(n, run);
    CheckStrataRun(run, StrataAfterWrites(0), FaultDatabase::Rows(path, kStrataContent), StrataAfterWrites(run.writes));
  }

 private:
  StrataRun Perform(const std::u16string& cs, const std::u16string& xml) {
    StrataRun run;
    _ConnectionPtr conn;
    _RecordsetPtr rs;
    bool inTransaction = false;
    std::string step = "create";
    try {
      conn.CreateInstance(__uuidof(Connection));
      step = "open";
      conn->Open(_bstr_t(cs.c_str()), _bstr_t(u""), _bstr_t(u""), adConnectUnspecified);
      conn->GetErrors()->Clear();
      step = "schema";
      {
        _RecordsetPtr columns = conn->OpenSchema(adSchemaColumns);
        EXPECT_EQ(columns->GetRecordCount(), 4);
        columns->Close();
      }
      step = "server walk";  // forward-only: rows are fetched as the walk moves
      {
        std::vector<std::string> rows;
        _RecordsetPtr server = conn->Execute(_bstr_t(U16(kStrataContent).c_str()), nullptr, adCmdText);
        for (; !server->GetadoEOF(); server->MoveNext()) rows.push_back(Row(server));
        EXPECT_EQ(rows, StrataAfterWrites(0));
        server->Close();
      }
      step = "open recordset";
      rs.CreateInstance(__uuidof(Recordset));
      rs->PutCursorLocation(adUseClient);
      rs->Open(_variant_t(_bstr_t(U16(kStrataContent).c_str())), _variant_t((IDispatch*)conn.GetInterfacePtr()),
               adOpenStatic, adLockOptimistic, adCmdText);

      step = "walk";
      for (rs->MoveFirst(); !rs->GetadoEOF(); rs->MoveNext()) run.walked.push_back(Row(rs));
      EXPECT_EQ(run.walked.size(), 6u);

      step = "find";
      rs->MoveFirst();
      rs->Find(_bstr_t(u"code = 'K'"), 0, adSearchForward);
      EXPECT_EQ(Utf8(rs->GetFields()->GetItem("name")->GetValue()), "白垩系");

      step = "filter";
      rs->PutFilter(_variant_t(_bstr_t(u"depth > 200")));
      EXPECT_EQ(rs->GetRecordCount(), 3);
      rs->PutFilter(_variant_t(_bstr_t(u"")));

      step = "sort";
      rs->PutSort(_bstr_t(u"depth DESC"));
      rs->MoveFirst();
      EXPECT_EQ(Utf8(rs->GetFields()->GetItem("code")->GetValue()), "J");
      rs->PutSort(_bstr_t(u""));

      step = "update";
      rs->MoveFirst();
      rs->Find(_bstr_t(u"id = 2"), 0, adSearchForward);
      Set(rs, "code", _variant_t(_bstr_t(u"N2")));
      try {
        rs->Update();
      } catch (const _com_error&) {
        // A failed write leaves the row and its pending edit as they were: the new value is
        // pending, the original is the stored one, and CancelUpdate brings the row back.
        FieldPtr code = rs->GetFields()->GetItem("code");
        EXPECT_EQ(rs->GetEditMode(), adEditInProgress);
        EXPECT_EQ(Utf8(code->GetValue()), "N2");
        EXPECT_EQ(Utf8(code->GetOriginalValue()), "N");
        rs->CancelUpdate();
        EXPECT_EQ(Utf8(code->GetValue()), "N");
        throw;
      }
      ++run.writes;

      step = "batch update";
      conn->BeginTrans();
      inTransaction = true;
      rs->MoveFirst();
      rs->Find(_bstr_t(u"id = 3"), 0, adSearchForward);
      Set(rs, "code", _variant_t(_bstr_t(u"E1")));
      rs->MoveFirst();
      rs->Find(_bstr_t(u"id = 4"), 0, adSearchForward);
      Set(rs, "depth", _variant_t(900.0));
      rs->AddNew();
      Set(rs, "name", _variant_t(B("石炭系")));
      Set(rs, "code", _variant_t(_bstr_t(u"C")));
      Set(rs, "depth", _variant_t(2000.0));
      rs->UpdateBatch(adAffectAll);
      conn->CommitTrans();
      inTransaction = false;
      ++run.writes;

      step = "save";
      rs->Save(_variant_t(_bstr_t(xml.c_str())), adPersistXML);
      _RecordsetPtr back;
      back.CreateInstance(__uuidof(Recordset));
      back->Open(_variant_t(_bstr_t(xml.c_str())), _variant_t(_bstr_t(u"Provider=MSPersist;")),
                 adOpenForwardOnly, adLockOptimistic, adCmdFile);
      EXPECT_EQ(back->GetRecordCount(), 7);

      step = "close";
      rs->Close();
      conn->Close();
      step.clear();
    } catch (const _com_error& e) {
      run.failedStep = step;
      CheckFailure(e, conn, step);
      // A careful program: roll back what is open, then close. Once a one-shot fault has
      // fired, nothing fails any more, so this must work; under a persistent fault it may fail.
      std::string cleanup = "rollback";
      try {
        if (inTransaction) conn->RollbackTrans();
        cleanup = "close recordset";
        if (rs != nullptr && rs->GetState() != adStateClosed) rs->Close();
        cleanup = "close connection";
        if (conn != nullptr && conn->GetState() != adStateClosed) conn->Close();
      } catch (const _com_error& e) {
        if (!persistent_) {
          ADD_FAILURE() << cleanup << " after the failure at \"" << step << "\" failed: 0x" << std::hex
                        << e.Error() << " " << (const char*)e.Description();
        }
      }
    }
    return run;
  }

  FaultDatabase& db_;
  bool persistent_;
  StrataTally tally_;
};

// Edits keyed otherwise than by one integer key: a table with a key of two columns whose first
// column repeats, and a table without a key holding two equal rows (keyed by its rowid). An edit
// must change exactly its own row, so the key a recordset found when it opened must be the
// whole key; if finding it fails, the open fails.
const char kKeyedScript[] =
    "CREATE TABLE layers(section INTEGER, seq INTEGER, code TEXT, PRIMARY KEY(section, seq));"
    "INSERT INTO layers VALUES(1, 1, 'a');"
    "INSERT INTO layers VALUES(1, 2, 'b');"
    "INSERT INTO layers VALUES(2, 1, 'c');"
    "CREATE TABLE notes(note TEXT);"
    "INSERT INTO notes VALUES('x');"
    "INSERT INTO notes VALUES('x');"
    "INSERT INTO notes VALUES('y');";
const char kKeyedContent[] =
    "SELECT 'layers', section, seq, code FROM layers UNION ALL SELECT 'notes', rowid, note, NULL FROM notes";

std::vector<std::string> KeyedExpected(int writes) {
  std::vector<std::string> rows = {"layers|1|1|a",   "layers|1|2|b",   "layers|2|1|c",
                                   "notes|1|x|NULL", "notes|2|x|NULL", "notes|3|y|NULL"};
  if (writes >= 1) rows[1] = "layers|1|2|B";
  if (writes >= 2) rows[4] = "notes|2|z|NULL";
  return rows;
}

class KeyedSession {
 public:
  explicit KeyedSession(FaultDatabase& db) : db_(db) {}

  void RunAndCheck(long n) {
    std::string path = db_.Fresh();
    int writes = 0;
    std::string failedStep = Perform(U16("Provider=SQLite;Data Source=" + path), writes);
    SqliteFaults::Disarm();
    if (n == 0) {
      EXPECT_EQ(failedStep, "") << "the session fails without a fault";
    }
    EXPECT_EQ(FaultDatabase::Rows(path, kKeyedContent), KeyedExpected(writes))
        << "after " << writes << " successful writes; failed at \"" << failedStep << "\"";
  }

 private:
  std::string Perform(const std::u16string& cs, int& writes) {
    _ConnectionPtr conn;
    std::string step = "create";
    try {
      conn.CreateInstance(__uuidof(Connection));
      step = "open";
      conn->Open(_bstr_t(cs.c_str()), _bstr_t(u""), _bstr_t(u""), adConnectUnspecified);
      for (const char16_t* sql :
           {u"SELECT section, seq, code FROM layers ORDER BY section, seq", u"SELECT note FROM notes"}) {
        step = writes == 0 ? "update layers" : "update notes";
        _RecordsetPtr rs;
        rs.CreateInstance(__uuidof(Recordset));
        rs->PutCursorLocation(adUseClient);
        rs->Open(_variant_t(_bstr_t(sql)), _variant_t((IDispatch*)conn.GetInterfacePtr()), adOpenStatic,
                 adLockOptimistic, adCmdText);
        rs->MoveFirst();
        rs->MoveNext();  // (1, 2) and the second 'x'
        Set(rs, writes == 0 ? "code" : "note", _variant_t(_bstr_t(writes == 0 ? u"B" : u"z")));
        rs->Update();
        ++writes;
        rs->Close();
      }
      step = "close";
      conn->Close();
      step.clear();
    } catch (const _com_error& e) {
      CheckFailure(e, conn, step);
      try {
        if (conn != nullptr && conn->GetState() != adStateClosed) conn->Close();
      } catch (const _com_error&) {
      }
    }
    return step;
  }

  FaultDatabase& db_;
};

struct Mode {
  FaultKind kind;
  bool persistent;
};

std::string ModeName(const ::testing::TestParamInfo<Mode>& info) {
  return std::string(FaultKindName(info.param.kind)) + (info.param.persistent ? "_persistent" : "_once");
}

class AdoUnderFaults : public ::testing::TestWithParam<Mode> {
 protected:
  void SetUp() override {
    const char* why = nullptr;
    ASSERT_TRUE(SqliteFaults::Install(&why)) << why;
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  }
  void TearDown() override {
    SqliteFaults::Disarm();
    CoUninitialize();
  }
};

TEST_P(AdoUnderFaults, EveryFaultPointOfTheSession) {
  FaultDatabase db(kStrataScript);
  Session session(db, GetParam().persistent);
  SweepStats stats =
      FaultSweep::Run(GetParam().kind, GetParam().persistent, [&](long n) { session.RunAndCheck(n); });
  RecordProperty("calls", std::to_string(stats.calls));
  RecordProperty("runs", std::to_string(stats.runs));
  EXPECT_GT(stats.calls, 0) << "the session made no " << FaultKindName(GetParam().kind) << " calls";
  std::printf("%s: %ld calls, %ld runs, %ld hits; runs by failed step: %s\n",
              ModeName({GetParam(), 0}).c_str(), stats.calls, stats.runs, stats.hits,
              session.Failures().c_str());
}

TEST_P(AdoUnderFaults, EditsChangeTheirOwnRowOnly) {
  FaultDatabase db(kKeyedScript);
  KeyedSession session(db);
  SweepStats stats =
      FaultSweep::Run(GetParam().kind, GetParam().persistent, [&](long n) { session.RunAndCheck(n); });
  EXPECT_GT(stats.calls, 0) << "the session made no " << FaultKindName(GetParam().kind) << " calls";
}

INSTANTIATE_TEST_SUITE_P(Sqlite, AdoUnderFaults,
                         ::testing::Values(Mode{FaultKind::Malloc, false}, Mode{FaultKind::Malloc, true},
                                           Mode{FaultKind::Read, false}, Mode{FaultKind::Read, true},
                                           Mode{FaultKind::Write, false}, Mode{FaultKind::Write, true},
                                           Mode{FaultKind::Sync, false}, Mode{FaultKind::Sync, true}),
                         ModeName);

}  // namespace
}  // namespace kp::fault
