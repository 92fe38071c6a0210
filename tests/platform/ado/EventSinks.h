// The event sinks and the fixture of the ADO event tests (EventsTest.cpp), bound to each provider
// in the providers' folders as the other conformance suites are. Sinks are C++ vtable sinks
// (ConnectionEventsVt, RecordsetEventsVt) as ADO's C++ samples write them: they record each
// call as one line of text ("Name(arguments) status [0xError]"), and can answer a status or run
// a hook per event.
#pragma once
#include <debugapi.h>
#include <olectl.h>

#include <atomic>
#include <map>
#include <string>
#include <vector>

#include "AdoTestSupport.h"

namespace kp::ado::test {

inline constexpr DWORD kSentinel = 0xdeadbeef;
inline constexpr HRESULT kCancelled = Ado(adErrOperationCancelled);  // 0x800A0E80

// What the sinks share: the log of calls and, per event name, the status to answer and a hook.
struct Script {
  std::vector<std::string> log;
  std::map<std::string, EventStatusEnum> answer;
  std::map<std::string, std::function<void()>> hook;

  void Record(const std::string& name, const std::string& args, EventStatusEnum* status, Error* error) {
    std::string line = name + "(" + args + ") " + std::to_string((int)*status);
    if (error) {
      LONG n = 0;
      error->get_Number(&n);
      char hex[16];
      snprintf(hex, sizeof hex, "%08X", (unsigned)n);
      line += std::string(" 0x") + hex;
    }
    log.push_back(line);
    auto h = hook.find(name);
    if (h != hook.end()) h->second();
    auto a = answer.find(name);
    if (a != answer.end()) *status = a->second;
  }
};

// Reference counting shared by the sinks; they start with the creator's reference.
template <class I>
class CountedSink : public I {
 public:
  explicit CountedSink(Script& s) : script(s) {}
  virtual ~CountedSink() = default;
  HRESULT __stdcall QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != __uuidof(I)) return E_NOINTERFACE;
    *ppv = static_cast<I*>(this);
    AddRef();
    return S_OK;
  }
  ULONG __stdcall AddRef() override { return ++refs; }
  ULONG __stdcall Release() override {
    ULONG n = --refs;
    if (n == 0) delete this;
    return n;
  }
  ULONG Refs() const { return refs; }
  Script& script;

 private:
  std::atomic<ULONG> refs{1};
};

inline std::string Reason(EventReasonEnum r) {
  return std::to_string((int)r);
}

class ConnSink final : public CountedSink<ConnectionEventsVt> {
 public:
  using CountedSink::CountedSink;
  // What the last WillExecute and ExecuteComplete were given.
  bool willCommand = false, willRecordset = false, completeRecordset = false;
  std::string completeCommandText;
  std::string infoText;  // the description of the last InfoMessage's Error
  // WillConnect replaces the connection string with this when not empty.
  std::u16string newConnectionString;

  HRESULT __stdcall raw_InfoMessage(Error* e, EventStatusEnum* st, _Connection*) override {
    BSTR text = nullptr;
    if (e) e->get_Description(&text);
    infoText = Utf8(_bstr_t(text, false));
    script.Record("InfoMessage", "", st, e);
    return S_OK;
  }
  HRESULT __stdcall raw_BeginTransComplete(LONG level, Error* e, EventStatusEnum* st, _Connection*) override {
    script.Record("BeginTransComplete", std::to_string(level), st, e);
    return S_OK;
  }
  HRESULT __stdcall raw_CommitTransComplete(Error* e, EventStatusEnum* st, _Connection*) override {
    script.Record("CommitTransComplete", "", st, e);
    return S_OK;
  }
  HRESULT __stdcall raw_RollbackTransComplete(Error* e, EventStatusEnum* st, _Connection*) override {
    script.Record("RollbackTransComplete", "", st, e);
    return S_OK;
  }
  HRESULT __stdcall raw_WillExecute(BSTR* source, CursorTypeEnum*, LockTypeEnum*, LONG*, EventStatusEnum* st,
                                    _Command* cmd, _Recordset* rs, _Connection*) override {
    willCommand = cmd != nullptr;
    willRecordset = rs != nullptr;
    script.Record("WillExecute", Utf8(_bstr_t(*source, true)), st, nullptr);
    if (!newSource.empty()) {
      SysFreeString(*source);
      *source = SysAllocString(reinterpret_cast<const OLECHAR*>(newSource.c_str()));
    }
    return S_OK;
  }
  HRESULT __stdcall raw_ExecuteComplete(LONG affected, Error* e, EventStatusEnum* st, _Command* cmd,
                                        _Recordset* rs, _Connection*) override {
    completeCommandText.clear();
    if (cmd) {
      BSTR text = nullptr;
      cmd->get_CommandText(&text);
      completeCommandText = Utf8(_bstr_t(text, false));
    }
    completeRecordset = rs != nullptr;
    script.Record("ExecuteComplete", std::to_string(affected), st, e);
    return S_OK;
  }
  HRESULT __stdcall raw_WillConnect(BSTR* cs, BSTR*, BSTR*, LONG*, EventStatusEnum* st,
                                    _Connection*) override {
    script.Record("WillConnect", "", st, nullptr);
    if (!newConnectionString.empty()) {
      SysFreeString(*cs);
      *cs = SysAllocString(reinterpret_cast<const OLECHAR*>(newConnectionString.c_str()));
    }
    return S_OK;
  }
  HRESULT __stdcall raw_ConnectComplete(Error* e, EventStatusEnum* st, _Connection*) override {
    script.Record("ConnectComplete", "", st, e);
    return S_OK;
  }
  HRESULT __stdcall raw_Disconnect(EventStatusEnum* st, _Connection*) override {
    script.Record("Disconnect", "", st, nullptr);
    return S_OK;
  }
  std::u16string newSource;  // WillExecute replaces the source with this when not empty
};

class RsSink final : public CountedSink<RecordsetEventsVt> {
 public:
  using CountedSink::CountedSink;

  // "count:name" of a Fields argument (an array of Field objects).
  static std::string FieldsText(LONG count, const VARIANT& fields) {
    std::string out = std::to_string(count);
    if (fields.vt != (VT_ARRAY | VT_VARIANT) || !fields.parray) return out + ":?";
    VARIANT* items = nullptr;
    SafeArrayAccessData(fields.parray, reinterpret_cast<void**>(&items));
    for (LONG i = 0; i < count; ++i) {
      Field* f = nullptr;
      if (items[i].vt == VT_DISPATCH && items[i].pdispVal &&
          SUCCEEDED(items[i].pdispVal->QueryInterface(__uuidof(Field), reinterpret_cast<void**>(&f)))) {
        BSTR name = nullptr;
        f->get_Name(&name);
        out += ":" + Utf8(_bstr_t(name, false));
        f->Release();
      }
    }
    SafeArrayUnaccessData(fields.parray);
    return out;
  }

  _Recordset* lastRecordset = nullptr;  // the pRecordset of the last WillChangeField

  HRESULT __stdcall raw_WillChangeField(LONG n, VARIANT fields, EventStatusEnum* st,
                                        _Recordset* rs) override {
    lastRecordset = rs;
    script.Record("WillChangeField", FieldsText(n, fields), st, nullptr);
    return S_OK;
  }
  HRESULT __stdcall raw_FieldChangeComplete(LONG n, VARIANT fields, Error* e, EventStatusEnum* st,
                                            _Recordset*) override {
    script.Record("FieldChangeComplete", FieldsText(n, fields), st, e);
    return S_OK;
  }
  HRESULT __stdcall raw_WillChangeRecord(EventReasonEnum r, LONG n, EventStatusEnum* st,
                                         _Recordset*) override {
    script.Record("WillChangeRecord", Reason(r) + "," + std::to_string(n), st, nullptr);
    return S_OK;
  }
  HRESULT __stdcall raw_RecordChangeComplete(EventReasonEnum r, LONG n, Error* e, EventStatusEnum* st,
                                             _Recordset*) override {
    script.Record("RecordChangeComplete", Reason(r) + "," + std::to_string(n), st, e);
    return S_OK;
  }
  HRESULT __stdcall raw_WillChangeRecordset(EventReasonEnum r, EventStatusEnum* st, _Recordset*) override {
    script.Record("WillChangeRecordset", Reason(r), st, nullptr);
    return S_OK;
  }
  HRESULT __stdcall raw_RecordsetChangeComplete(EventReasonEnum r, Error* e, EventStatusEnum* st,
                                                _Recordset*) override {
    script.Record("RecordsetChangeComplete", Reason(r), st, e);
    return S_OK;
  }
  HRESULT __stdcall raw_WillMove(EventReasonEnum r, EventStatusEnum* st, _Recordset*) override {
    script.Record("WillMove", Reason(r), st, nullptr);
    return S_OK;
  }
  HRESULT __stdcall raw_MoveComplete(EventReasonEnum r, Error* e, EventStatusEnum* st, _Recordset*) override {
    script.Record("MoveComplete", Reason(r), st, e);
    return S_OK;
  }
  HRESULT __stdcall raw_EndOfRecordset(VARIANT_BOOL* more, EventStatusEnum* st, _Recordset*) override {
    script.Record("EndOfRecordset", *more == VARIANT_FALSE ? "false" : "true", st, nullptr);
    return S_OK;
  }
  HRESULT __stdcall raw_FetchProgress(LONG, LONG, EventStatusEnum* st, _Recordset*) override {
    script.Record("FetchProgress", "", st, nullptr);
    return S_OK;
  }
  HRESULT __stdcall raw_FetchComplete(Error* e, EventStatusEnum* st, _Recordset*) override {
    script.Record("FetchComplete", "", st, e);
    return S_OK;
  }
};

// A sink that answers IDispatch only (a late-bound sink, as Visual Basic's WithEvents makes).
class DispatchOnlySink final : public IDispatch {
 public:
  HRESULT __stdcall QueryInterface(REFIID riid, void** ppv) override {
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IDispatch) return E_NOINTERFACE;
    *ppv = this;
    AddRef();
    return S_OK;
  }
  ULONG __stdcall AddRef() override { return ++refs; }
  ULONG __stdcall Release() override { return --refs; }  // lives on the test's stack
  HRESULT __stdcall GetTypeInfoCount(UINT* n) override {
    *n = 0;
    return S_OK;
  }
  HRESULT __stdcall GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT __stdcall GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT __stdcall Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }
  ULONG refs = 1;
};

// The connection point of iid on object (asserting it is there).
inline IConnectionPoint* PointOf(IUnknown* object, REFIID iid) {
  IConnectionPointContainer* cpc = nullptr;
  EXPECT_EQ(object->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&cpc)), S_OK);
  if (!cpc) return nullptr;
  IConnectionPoint* cp = nullptr;
  EXPECT_EQ(cpc->FindConnectionPoint(iid, &cp), S_OK);
  cpc->Release();
  return cp;
}

inline DWORD AdviseOn(IUnknown* object, REFIID iid, IUnknown* sink) {
  IConnectionPoint* cp = PointOf(object, iid);
  DWORD cookie = kSentinel;
  EXPECT_EQ(cp->Advise(sink, &cookie), S_OK);
  cp->Release();
  return cookie;
}

inline void UnadviseOn(IUnknown* object, REFIID iid, DWORD cookie) {
  IConnectionPoint* cp = PointOf(object, iid);
  EXPECT_EQ(cp->Unadvise(cookie), S_OK);
  cp->Release();
}

using Log = std::vector<std::string>;

class EventsTest : public AdoTest {
 protected:
  void TearDown() override {
    if (connSink_) {
      if (conn_) conn_ = nullptr;  // the connection's end releases the sink
      EXPECT_EQ(connSink_->Refs(), 1u) << "the connection still holds its sink";
      connSink_->Release();
    }
    if (rsSink_) {
      EXPECT_EQ(rsSink_->Refs(), 1u) << "a recordset still holds its sink";
      rsSink_->Release();
    }
    AdoTest::TearDown();
  }
  // A new, closed connection with a recording sink advised.
  _ConnectionPtr Listened() {
    _ConnectionPtr c;
    EXPECT_EQ(c.CreateInstance(__uuidof(Connection)), S_OK);
    ListenTo(c);
    return c;
  }
  void ListenTo(const _ConnectionPtr& c) {
    connSink_ = new ConnSink(script_);
    AdviseOn(c, __uuidof(ConnectionEvents), connSink_);
  }
  // A client recordset over t (three rows: 1 a, 2 b, 3 c) with a recording sink advised.
  _RecordsetPtr ListenedRows(LockTypeEnum lock = adLockOptimistic) {
    Exec(
        u"CREATE TABLE t (id INTEGER PRIMARY KEY, name VARCHAR(10)); INSERT INTO t VALUES (1, 'a'); "
        u"INSERT INTO t VALUES (2, 'b'); INSERT INTO t VALUES (3, 'c')");
    _RecordsetPtr rs = OpenClient(u"SELECT id, name FROM t ORDER BY id", lock);
    rsSink_ = new RsSink(script_);
    AdviseOn(rs, __uuidof(RecordsetEvents), rsSink_);
    return rs;
  }
  Log Take() {
    Log l = std::move(script_.log);
    script_.log.clear();
    return l;
  }
  long RowCount() {
    _RecordsetPtr rs = conn_->Execute(_bstr_t(u"SELECT count(*) FROM t"), nullptr, adCmdText);
    return (long)rs->GetCollect(_variant_t(0L));
  }
  Script script_;
  ConnSink* connSink_ = nullptr;
  RsSink* rsSink_ = nullptr;
};

}  // namespace kp::ado::test
