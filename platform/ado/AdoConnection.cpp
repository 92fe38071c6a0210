// The Connection object (see AdoConnection.h).
#include "AdoConnection.h"

#include <oleauto.h>

#include <atomic>
#include <cstdlib>

#include "AdoError.h"
#include "AdoRecordset.h"
#include "ConnectionString.h"
#include "DataLinkFile.h"
#include "UtilErrors.h"
#include "kp/kpado.h"
#include "kp/kpnotimpl.h"

namespace kp::ado {
namespace {

std::atomic<long> g_faultAt{0};
std::atomic<unsigned> g_faultGeneration{0};

HRESULT PutBstr(BSTR* out, std::u16string_view s) {
  if (!out) return E_POINTER;
  *out = AllocBstr(s);
  return S_OK;
}

// The Error object's fields of a provider's error or warning.
ErrorRecord RecordOf(const ProviderError& e) {
  ErrorRecord r;
  r.number = e.hr;
  r.source = e.source;
  r.description = e.description;
  r.sqlState = e.sqlState;
  r.native = e.native;
  return r;
}

template <class T>
HRESULT PutValue(T* out, T v) {
  if (!out) return E_POINTER;
  *out = v;
  return S_OK;
}

}  // namespace

AdoConnection::AdoConnection() : errors_(new AdoErrors()) {}

AdoConnection::~AdoConnection() {
  events_.reset();  // nobody hears a connection that is going away
  transLevel_ = 0;
  if (session_) raw_Close();
  errors_->Release();
}

HRESULT AdoConnection::get_Properties(Properties** pp) {
  if (pp) *pp = nullptr;
  return KP_NOT_IMPLEMENTED("Connection::Properties");
}

HRESULT AdoConnection::get_ConnectionString(BSTR* p) {
  if (!p) return E_POINTER;
  // None given reads back as a null BSTR, as ADO's default is.
  *p = connectionString_.empty() ? nullptr : AllocBstr(connectionString_);
  return S_OK;
}

HRESULT AdoConnection::put_ConnectionString(BSTR v) {
  if (IsOpen()) return AdoFail(AdoErr(adErrObjectOpen), kSrcConnection);
  connectionString_ = std::u16string(BstrView(v));
  // A string that names its provider sets Provider at once (Open reads it again).
  ConnectionString cs;
  if (SUCCEEDED(ConnectionString::Parse(connectionString_, cs)) && !cs.Get(u"Provider").empty())
    provider_ = cs.Get(u"Provider");
  return S_OK;
}

HRESULT AdoConnection::get_CommandTimeout(LONG* p) {
  return PutValue(p, commandTimeout_);
}
HRESULT AdoConnection::put_CommandTimeout(LONG v) {
  if (v < 0) return AdoFail(AdoErr(adErrInvalidArgument), kSrcConnection);
  commandTimeout_ = v;
  return S_OK;
}
HRESULT AdoConnection::get_ConnectionTimeout(LONG* p) {
  return PutValue(p, connectionTimeout_);
}
HRESULT AdoConnection::put_ConnectionTimeout(LONG v) {
  if (IsOpen()) return AdoFail(AdoErr(adErrObjectOpen), kSrcConnection);
  if (v < 0) return AdoFail(AdoErr(adErrInvalidArgument), kSrcConnection);
  connectionTimeout_ = v;
  return S_OK;
}
HRESULT AdoConnection::get_Version(BSTR* p) {
  return PutBstr(p, u"2.8");
}

HRESULT AdoConnection::raw_Close() {
  if (!IsOpen()) return AdoFail(AdoErr(adErrObjectClosed), kSrcConnection);
  if (transLevel_ > 0) return AdoFail(AdoErr(adErrInTransaction), kSrcConnection);
  auto open = recordsets_;
  for (AdoRecordset* rs : open) rs->CloseForConnection();
  recordsets_.clear();
  session_.reset();
  linkDown_ = false;
  if (events_) events_->Disconnect();
  return S_OK;
}

HRESULT AdoConnection::raw_Execute(BSTR text, VARIANT* recordsAffected, LONG options, _Recordset** pp) {
  if (pp) *pp = nullptr;
  if (!IsOpen()) return AdoFail(AdoErr(adErrObjectClosed), kSrcConnection);
  LONG type = options == adOptionUnspecified ? adCmdUnknown : (options & 0x30F);
  LONG exec = options == adOptionUnspecified ? 0 : (options & ~0x30F);
  if (type == 0) type = adCmdUnknown;
  if (type == adCmdFile || type == adCmdTableDirect || (exec & adExecuteStream))
    return AdoFail(AdoErr(adErrInvalidArgument), kSrcConnection);
  AdoRecordset* rs = nullptr;
  LONG affected = -1;
  HRESULT hr;
  if (events_) {
    PendingExecute pending{std::u16string(BstrView(text)), adOpenForwardOnly, adLockReadOnly, options};
    hr = events_->Execute(pending, nullptr, nullptr,
                          [&](const PendingExecute& p, LONG& n, _Recordset*& result) {
                            HRESULT ran = ExecuteText(p.source, p.options, n, rs);
                            affected = n;
                            result = rs;
                            return ran;
                          });
    exec = pending.options == adOptionUnspecified ? 0 : (pending.options & ~0x30F);
  } else {
    hr = ExecuteText(BstrView(text), options, affected, rs);
  }
  if (FAILED(hr)) return hr;
  return HandOut(rs, affected, exec, recordsAffected, pp);
}

HRESULT AdoConnection::ExecuteText(std::u16string_view text, LONG options, LONG& affected,
                                   AdoRecordset*& rs) {
  LONG type = options == adOptionUnspecified ? adCmdUnknown : (options & 0x30F);
  if (type == 0) type = adCmdUnknown;
  return AdoRecordset::Run(this, text, {}, type, cursorLocation_, adOpenForwardOnly, adLockReadOnly,
                           commandTimeout_, nullptr, affected, rs);
}

HRESULT AdoConnection::raw_BeginTrans(LONG* level) {
  if (!IsOpen()) return AdoFail(AdoErr(adErrObjectClosed), kSrcConnection);
  ProviderError err;
  HRESULT hr = FAILED(session_->Begin(transLevel_ + 1, err)) ? RaiseProvider(err) : S_OK;
  if (SUCCEEDED(hr)) ++transLevel_;
  if (events_) events_->BeginTransComplete(transLevel_, hr);
  if (SUCCEEDED(hr) && level) *level = transLevel_;
  return hr;
}

static ProviderError NoTransaction(const std::u16string& source) {
  ProviderError e;
  e.hr = (HRESULT)0x8004D00E;  // XACT_E_NOTRANSACTION
  e.description = u"No transaction is active.";
  e.sqlState = u"25000";
  e.source = source;
  return e;
}

HRESULT AdoConnection::raw_CommitTrans() {
  HRESULT hr = EndTransaction(true);
  if (events_ && IsOpen()) events_->CommitTransComplete(hr);
  return hr;
}

HRESULT AdoConnection::raw_RollbackTrans() {
  HRESULT hr = EndTransaction(false);
  if (events_ && IsOpen()) events_->RollbackTransComplete(hr);
  return hr;
}

HRESULT AdoConnection::EndTransaction(bool commit) {
  if (!IsOpen()) return AdoFail(AdoErr(adErrObjectClosed), kSrcConnection);
  if (transLevel_ == 0) return RaiseProvider(NoTransaction(kSrcConnection));
  ProviderError err;
  if (FAILED(commit ? session_->Commit(transLevel_, err) : session_->Rollback(transLevel_, err)))
    return RaiseProvider(err);
  --transLevel_;
  const long retaining = commit ? adXactCommitRetaining : adXactAbortRetaining;
  if (transLevel_ == 0 && (attributes_ & retaining)) {
    if (SUCCEEDED(session_->Begin(1, err))) transLevel_ = 1;
  }
  return S_OK;
}

HRESULT AdoConnection::HandOut(AdoRecordset* rs, LONG affected, LONG options, VARIANT* recordsAffected,
                               _Recordset** pp) {
  if (recordsAffected) {
    VariantClear(recordsAffected);
    recordsAffected->vt = VT_I4;
    recordsAffected->lVal = affected;
  }
  if ((options & adExecuteNoRecords) || !pp) {
    rs->Release();
    return S_OK;
  }
  *pp = rs;
  return S_OK;
}

void* AdoConnection::Part(REFIID riid) {
  if (riid == __uuidof(ADOConnectionConstruction15) || riid == __uuidof(ADOConnectionConstruction))
    return static_cast<ADOConnectionConstruction*>(&construction_);
  if (riid != IID_IConnectionPointContainer) return nullptr;
  if (!events_) events_ = std::make_unique<ConnectionEventSource>(this, errors_);
  return events_->Container();
}

HRESULT AdoConnection::raw_Open(BSTR csText, BSTR user, BSTR password, LONG options) {
  if (IsOpen()) return AdoFail(AdoErr(adErrObjectOpen), kSrcConnection);
  if (events_)
    return events_->Open(csText, user, password, options,
                         [this](BSTR c, BSTR u, BSTR p, LONG o) { return OpenSession(c, u, p, o); });
  return OpenSession(csText, user, password, options);
}

HRESULT AdoConnection::OpenSession(BSTR csText, BSTR user, BSTR password, LONG options) {
  if (options != 0 && options != adConnectUnspecified) {
    if (options == adAsyncConnect) return AdoFail(AdoErr(adErrFeatureNotAvailable), kSrcConnection);
    return AdoFail(AdoErr(adErrInvalidArgument), kSrcConnection);
  }
  std::u16string text(BstrView(csText));
  if (text.empty()) text = connectionString_;
  ConnectionString cs;
  HRESULT hr = ConnectionString::Parse(text, cs);
  if (FAILED(hr)) {
    ProviderError e;
    e.hr = hr;
    e.description = AdoErrorText(hr);
    e.source = u"Microsoft OLE DB Service Components";
    return RaiseProvider(e);
  }
  std::string udlFolder;
  if (cs.Has(u"File Name")) {
    std::string path = ToUtf8(cs.Get(u"File Name"));
    std::u16string init, description;
    hr = DataLinkFile::Read(path, init, &description);
    if (FAILED(hr)) {
      ProviderError e;
      e.hr = hr;
      e.description = description;
      e.sqlState = u"HY000";
      e.source = u"Microsoft OLE DB Service Components";
      return RaiseProvider(e);
    }
    ConnectionString fromFile;
    hr = ConnectionString::Parse(init, fromFile);
    if (FAILED(hr)) {
      ProviderError e;
      e.hr = hr;
      e.description = AdoErrorText(hr);
      e.source = u"Microsoft OLE DB Service Components";
      return RaiseProvider(e);
    }
    cs = fromFile;
    udlFolder = DataLinkFile::Folder(path);
  }
  std::u16string provider = cs.Get(u"Provider");
  if (provider.empty()) provider = u"MSDASQL";
  ProviderOpen open = ProviderRegistry::Find(provider);
  if (!open) return AdoFail(AdoErr(adErrProviderNotFound), kSrcConnection);
  // The user and password arguments go to the provider beside the string, never into it: the
  // ConnectionString property keeps what the caller gave.
  ProviderLogin login{std::u16string(BstrView(user)), std::u16string(BstrView(password))};
  std::unique_ptr<ProviderSession> session;
  ProviderError err;
  if (FAILED(open(cs, login, udlFolder, connectionTimeout_, mode_, session, err))) {
    // A provider whose engine is missing (an ODBC driver) is ADO's own error, not in Errors.
    if (err.hr == AdoErr(adErrProviderNotFound)) return SetError(err.hr, kSrcConnection, err.description);
    return RaiseProvider(err);
  }
  session_ = std::move(session);
  session_->SetCommandTimeout(commandTimeout_);
  connectionString_ = text;
  provider_ = provider;
  transLevel_ = 0;
  linkDown_ = false;
  faultCount_ = 0;
  faultGeneration_ = g_faultGeneration.load();
  const char* env = getenv("KP_ADO_FAULT_MOVE");
  faultAt_ = env && *env ? atol(env) : g_faultAt.load();
  return S_OK;
}

HRESULT AdoConnection::get_Errors(Errors** pp) {
  if (!pp) return E_POINTER;
  errors_->AddRef();
  *pp = errors_;
  return S_OK;
}

HRESULT AdoConnection::get_DefaultDatabase(BSTR* p) {
  return PutBstr(p, IsOpen() ? session_->DefaultDatabase() : std::u16string());
}

HRESULT AdoConnection::put_DefaultDatabase(BSTR v) {
  if (!IsOpen()) return AdoFail(AdoErr(adErrObjectClosed), kSrcConnection);
  if (BstrView(v) == session_->DefaultDatabase()) return S_OK;
  return AdoFail(AdoErr(adErrFeatureNotAvailable), kSrcConnection);
}

HRESULT AdoConnection::get_IsolationLevel(IsolationLevelEnum* p) {
  return PutValue(p, isolation_);
}
HRESULT AdoConnection::put_IsolationLevel(IsolationLevelEnum v) {
  isolation_ = v;
  return S_OK;
}
HRESULT AdoConnection::get_Attributes(LONG* p) {
  return PutValue(p, attributes_);
}
HRESULT AdoConnection::put_Attributes(LONG v) {
  if (v & ~(adXactCommitRetaining | adXactAbortRetaining))
    return AdoFail(AdoErr(adErrInvalidArgument), kSrcConnection);
  attributes_ = v;
  return S_OK;
}
HRESULT AdoConnection::get_CursorLocation(CursorLocationEnum* p) {
  return PutValue(p, cursorLocation_);
}
HRESULT AdoConnection::put_CursorLocation(CursorLocationEnum v) {
  if (v != adUseServer && v != adUseClient && v != adUseNone)
    return AdoFail(AdoErr(adErrInvalidArgument), kSrcConnection);
  cursorLocation_ = v == adUseNone ? adUseServer : v;  // adUseNone is obsolete
  return S_OK;
}
HRESULT AdoConnection::get_Mode(ConnectModeEnum* p) {
  return PutValue(p, mode_);
}
HRESULT AdoConnection::put_Mode(ConnectModeEnum v) {
  if (IsOpen()) return AdoFail(AdoErr(adErrObjectOpen), kSrcConnection);
  mode_ = v;
  return S_OK;
}
HRESULT AdoConnection::get_Provider(BSTR* p) {
  return PutBstr(p, provider_);
}
HRESULT AdoConnection::put_Provider(BSTR v) {
  if (IsOpen()) return AdoFail(AdoErr(adErrObjectOpen), kSrcConnection);
  if (BstrView(v).empty()) return AdoFail(AdoErr(adErrInvalidArgument), kSrcConnection);
  provider_ = std::u16string(BstrView(v));
  return S_OK;
}
HRESULT AdoConnection::get_State(LONG* p) {
  return PutValue(p, (LONG)(IsOpen() ? adStateOpen : adStateClosed));
}

HRESULT AdoConnection::raw_OpenSchema(SchemaEnum schema, VARIANT restrictions, VARIANT, _Recordset** pp) {
  if (!pp) return E_POINTER;
  *pp = nullptr;
  if (!IsOpen()) return AdoFail(AdoErr(adErrObjectClosed), kSrcConnection);
  std::vector<VARIANT> r;  // borrowed values
  const VARIANT* v = &restrictions;
  if (v->vt == (VT_BYREF | VT_VARIANT)) v = v->pvarVal;
  if (v->vt == VT_BSTR) {
    r.push_back(*v);  // a single text is the first restriction
  } else if (v->vt == (VT_ARRAY | VT_VARIANT) && v->parray) {
    LONG lo = 0, hi = -1;
    SafeArrayGetLBound(v->parray, 1, &lo);
    SafeArrayGetUBound(v->parray, 1, &hi);
    VARIANT* data = nullptr;
    SafeArrayAccessData(v->parray, (void**)&data);
    for (LONG i = 0; i <= hi - lo; ++i) r.push_back(data[i]);
    SafeArrayUnaccessData(v->parray);
  } else if (v->vt != VT_ERROR && v->vt != VT_EMPTY && v->vt != VT_NULL) {
    return AdoFail(AdoErr(adErrInvalidArgument), kSrcConnection);
  }
  SchemaQuery q;
  ProviderError err;
  if (FAILED(session_->Schema(schema, r, q, err))) {
    if (err.hr == AdoErr(adErrFeatureNotAvailable)) return AdoFail(err.hr, kSrcConnection);
    return RaiseProvider(err);
  }
  AdoRecordset* rs = nullptr;
  HRESULT hr;
  if (q.cursor) {
    hr = AdoRecordset::FromCursor(this, std::move(q.cursor), rs);
  } else {
    LONG affected = -1;
    hr = AdoRecordset::Run(this, q.sql, q.params, adCmdText, adUseClient, adOpenStatic, adLockReadOnly,
                           commandTimeout_, &q.declTypes, affected, rs);
  }
  if (FAILED(hr)) return hr;
  *pp = rs;
  return S_OK;
}

HRESULT AdoConnection::raw_Cancel() {
  if (IsOpen()) session_->Interrupt();
  return S_OK;
}

HRESULT AdoConnection::Run(std::u16string_view sql, const std::vector<Cell>& params, LONG timeout,
                           std::unique_ptr<ProviderCursor>& cursor, LONG& affected) {
  if (!IsOpen()) return AdoFail(AdoErr(adErrInvalidConnection), kSrcConnection);
  if (linkDown_) return FaultTick();
  ProviderError err;
  session_->SetCommandTimeout(timeout);
  HRESULT hr = session_->Execute(sql, params, cursor, affected, err);
  session_->SetCommandTimeout(commandTimeout_);
  if (FAILED(hr)) return RaiseProvider(err);
  if (events_)
    for (const ProviderError& warning : session_->Warnings())
      events_->InfoMessage(RecordOf(warning));
  return S_OK;
}

HRESULT AdoConnection::RunWrite(std::u16string_view sql, const std::vector<Cell>& params, LONG timeout,
                                bool exact, LONG& affected) {
  if (!IsOpen()) return AdoFail(AdoErr(adErrInvalidConnection), kSrcConnection);
  if (linkDown_) return FaultTick();
  const int level = transLevel_ + 1;
  ProviderError err, ignored;
  if (FAILED(session_->Begin(level, err))) return RaiseProvider(err);
  std::unique_ptr<ProviderCursor> none;
  HRESULT hr = Run(sql, params, timeout, none, affected);
  if (FAILED(hr) || affected > 1 || (exact && affected != 1)) {
    session_->Rollback(level, ignored);
    return hr;
  }
  if (FAILED(session_->Commit(level, err))) {
    session_->Rollback(level, ignored);
    return RaiseProvider(err);
  }
  return S_OK;
}

HRESULT AdoConnection::RaiseProvider(const ProviderError& err) {
  std::vector<ErrorRecord> records;
  auto add = [&](const ProviderError& e) { records.push_back(RecordOf(e)); };
  add(err);
  for (const ProviderError& e : err.further) add(e);
  errors_->Replace(std::move(records));
  return SetError(err.hr, err.source, err.description);
}

HRESULT AdoConnection::FaultTick() {
  unsigned gen = g_faultGeneration.load();
  if (gen != faultGeneration_) {
    faultGeneration_ = gen;
    faultAt_ = g_faultAt.load();
    faultCount_ = 0;
    linkDown_ = false;
  }
  if (!linkDown_) {
    if (faultAt_ <= 0 || ++faultCount_ < faultAt_) return S_OK;
    linkDown_ = true;
  }
  ProviderError e;
  e.hr = E_FAIL;
  e.description = u"Communication link failure";
  e.sqlState = u"08S01";
  e.native = 0;
  e.source =
      session_ ? u"Microsoft OLE DB Provider for " + session_->ProviderName() : u"Microsoft OLE DB Provider";
  return RaiseProvider(e);
}

}  // namespace kp::ado

extern "C" KPAPI void KpAdoSetFault(int n) {
  kp::ado::g_faultAt = n;
  ++kp::ado::g_faultGeneration;
}
