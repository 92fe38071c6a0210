// The Command object (see AdoCommand.h).
#include "AdoCommand.h"

#include <oleauto.h>

#include "AdoConnection.h"
#include "AdoError.h"
#include "AdoParameter.h"
#include "AdoRecordset.h"
#include "ValueConversion.h"
#include "kp/kpnotimpl.h"

namespace kp::ado {

AdoCommand::AdoCommand() : params_(new AdoParameters()) {
  params_->SetRefreshSource(&CountPlaceholders, this);
}

AdoCommand::~AdoCommand() {
  params_->SetRefreshSource(nullptr, nullptr);
  params_->Release();
  if (conn_) conn_->Release();
}

HRESULT AdoCommand::CountPlaceholders(void* self, int& n) {
  auto* c = static_cast<AdoCommand*>(self);
  if (!c->conn_ || !c->conn_->IsOpen()) return AdoFail(AdoErr(adErrInvalidConnection), kSrcCommand);
  ProviderError err;
  if (FAILED(c->conn_->Session()->ParameterCount(c->text_, n, err))) return c->conn_->RaiseProvider(err);
  return S_OK;
}

HRESULT AdoCommand::get_Properties(Properties** pp) {
  if (pp) *pp = nullptr;
  return KP_NOT_IMPLEMENTED("Command::Properties");
}

HRESULT AdoCommand::get_ActiveConnection(_Connection** pp) {
  if (!pp) return E_POINTER;
  *pp = conn_;
  if (conn_) conn_->AddRef();
  return S_OK;
}

HRESULT AdoCommand::putref_ActiveConnection(_Connection* p) {
  AdoConnection* mine = nullptr;
  if (p) {
    mine = dynamic_cast<AdoConnection*>(p);
    if (!mine) return AdoFail(AdoErr(adErrInvalidConnection), kSrcCommand);
    mine->AddRef();
  }
  if (conn_) conn_->Release();
  conn_ = mine;
  return S_OK;
}

HRESULT AdoCommand::put_ActiveConnection(VARIANT v) {
  const VARIANT* d = v.vt == (VT_BYREF | VT_VARIANT) ? v.pvarVal : &v;
  if (d->vt == VT_EMPTY || d->vt == VT_NULL) return putref_ActiveConnection(nullptr);
  if ((d->vt == VT_DISPATCH || d->vt == VT_UNKNOWN) && d->punkVal) {
    _Connection* c = nullptr;
    if (FAILED(d->punkVal->QueryInterface(__uuidof(_Connection), reinterpret_cast<void**>(&c))) || !c)
      return AdoFail(AdoErr(adErrInvalidArgument), kSrcCommand);
    HRESULT hr = putref_ActiveConnection(c);
    c->Release();
    return hr;
  }
  if (d->vt != VT_BSTR) return AdoFail(AdoErr(adErrInvalidArgument), kSrcCommand);
  auto* c = new AdoConnection();
  HRESULT hr = c->raw_Open(d->bstrVal, nullptr, nullptr, adConnectUnspecified);
  if (SUCCEEDED(hr)) hr = putref_ActiveConnection(c);
  c->Release();
  return hr;
}

HRESULT AdoCommand::get_CommandText(BSTR* p) {
  if (!p) return E_POINTER;
  *p = text_.empty() ? nullptr : AllocBstr(text_);  // none given: a null BSTR, ADO's default
  return S_OK;
}
HRESULT AdoCommand::put_CommandText(BSTR v) {
  text_ = std::u16string(BstrView(v));
  return S_OK;
}
HRESULT AdoCommand::get_CommandTimeout(LONG* p) {
  if (!p) return E_POINTER;
  *p = timeout_;
  return S_OK;
}
HRESULT AdoCommand::put_CommandTimeout(LONG v) {
  if (v < 0) return AdoFail(AdoErr(adErrInvalidArgument), kSrcCommand);
  timeout_ = v;
  return S_OK;
}
HRESULT AdoCommand::get_Prepared(VARIANT_BOOL* p) {
  if (!p) return E_POINTER;
  *p = prepared_;
  return S_OK;
}
HRESULT AdoCommand::put_Prepared(VARIANT_BOOL v) {
  prepared_ = v;  // SQLite prepares every statement anyway
  return S_OK;
}

LONG AdoCommand::TypeFor(LONG options) const {
  if (type_ != adCmdUnknown || options == adOptionUnspecified) return type_;
  LONG t = options & 0x30F;
  return t ? t : (LONG)adCmdUnknown;
}

HRESULT AdoCommand::Bind(VARIANT* parameters, Arena& arena, std::vector<Cell>& cells) {
  cells.clear();
  const VARIANT* given = parameters;
  if (given && given->vt == (VT_BYREF | VT_VARIANT)) given = given->pvarVal;
  bool useGiven =
      given && given->vt != VT_EMPTY && !(given->vt == VT_ERROR && given->scode == DISP_E_PARAMNOTFOUND);
  if (useGiven) {
    std::vector<VARIANT> values;
    if ((given->vt & VT_ARRAY) && given->parray) {
      LONG lo = 0, hi = -1;
      SafeArrayGetLBound(given->parray, 1, &lo);
      SafeArrayGetUBound(given->parray, 1, &hi);
      for (LONG i = lo; i <= hi; ++i) {
        VARIANT e;
        VariantInit(&e);
        SafeArrayGetElement(given->parray, &i, &e);
        values.push_back(e);
      }
    } else {
      VARIANT e;
      VariantInit(&e);
      VariantCopy(&e, given);
      values.push_back(e);
    }
    HRESULT hr = S_OK;
    for (auto& v : values) {
      Cell c;
      if (SUCCEEDED(hr)) hr = ValueConversion::VariantToCell(v, nullptr, arena, c);
      cells.push_back(c);
      VariantClear(&v);
    }
    return FAILED(hr) ? AdoFail(AdoErr(adErrDataConversion), kSrcCommand) : S_OK;
  }
  for (_Parameter* p : params_->Items()) {
    ParameterDirectionEnum dir = adParamInput;
    p->get_Direction(&dir);
    if (dir == adParamReturnValue || dir == adParamOutput) continue;
    VARIANT v;
    VariantInit(&v);
    p->get_Value(&v);
    // The value is taken in the parameter's declared type, as ADO converts it.
    DataTypeEnum type = adEmpty;
    p->get_Type(&type);
    ColumnInfo declared;
    declared.SetAdoType(type);
    bool typed = type != adEmpty && type != adVariant;
    Cell c;
    HRESULT hr = ValueConversion::VariantToCell(v, typed ? &declared : nullptr, arena, c);
    VariantClear(&v);
    if (FAILED(hr)) return AdoFail(AdoErr(adErrInvalidParamInfo), kSrcCommand);
    cells.push_back(c);
  }
  return S_OK;
}

HRESULT AdoCommand::raw_Execute(VARIANT* recordsAffected, VARIANT* parameters, LONG options,
                                _Recordset** pp) {
  if (pp) *pp = nullptr;
  if (!conn_ || !conn_->IsOpen()) return AdoFail(AdoErr(adErrInvalidConnection), kSrcCommand);
  if (text_.empty())
    return SetError((HRESULT)0x80040E0C, kSrcCommand, u"Command text was not set for the command object.");
  Arena arena(4096);
  std::vector<Cell> cells;
  HRESULT hr = Bind(parameters, arena, cells);
  if (FAILED(hr)) return hr;
  AdoRecordset* rs = nullptr;
  LONG affected = -1;
  PendingExecute pending{text_, adOpenForwardOnly, adLockReadOnly, options};
  auto run = [&](const PendingExecute& p, LONG& n, _Recordset*& result) {
    HRESULT ran = AdoRecordset::Run(conn_, p.source, cells, TypeFor(p.options), conn_->CursorLocation(),
                                    adOpenForwardOnly, adLockReadOnly, timeout_, nullptr, n, rs);
    affected = n;
    result = rs;
    return ran;
  };
  _Recordset* result = nullptr;
  hr = conn_->Events() ? conn_->Events()->Execute(pending, this, nullptr, run)
                       : run(pending, affected, result);
  if (FAILED(hr)) return hr;
  LONG exec = pending.options == adOptionUnspecified ? 0 : (pending.options & ~0x30F);
  rs->SetActiveCommand(this);
  return AdoConnection::HandOut(rs, affected, exec, recordsAffected, pp);
}

HRESULT AdoCommand::ExecuteInto(AdoRecordset* rs, LONG options) {
  if (!conn_ || !conn_->IsOpen()) return AdoFail(AdoErr(adErrInvalidConnection), kSrcCommand);
  Arena arena(4096);
  std::vector<Cell> cells;
  HRESULT hr = Bind(nullptr, arena, cells);
  if (FAILED(hr)) return hr;
  PendingExecute pending{text_, adOpenForwardOnly, adLockReadOnly, options};
  rs->get_CursorType(&pending.cursorType);  // shown to WillExecute; the recordset's own stay
  rs->get_LockType(&pending.lockType);
  auto run = [&](const PendingExecute& p, LONG& affected, _Recordset*&) {
    return rs->Prepare(conn_, p.source, cells, TypeFor(p.options), timeout_, nullptr, affected);
  };
  LONG affected = -1;
  _Recordset* result = nullptr;
  hr = conn_->Events() ? conn_->Events()->Execute(pending, this, rs, run) : run(pending, affected, result);
  if (SUCCEEDED(hr)) rs->SetActiveCommand(this);
  return hr;
}

HRESULT AdoCommand::raw_CreateParameter(BSTR name, DataTypeEnum type, ParameterDirectionEnum direction,
                                        LONG size, VARIANT value, _Parameter** pp) {
  if (!pp) return E_POINTER;
  *pp = nullptr;
  auto* p = new AdoParameter();
  HRESULT hr = p->put_Name(name);
  if (SUCCEEDED(hr)) hr = p->put_Type(type);
  if (SUCCEEDED(hr)) hr = p->put_Direction(direction);
  if (SUCCEEDED(hr)) hr = p->put_Size(size);
  const VARIANT* v = value.vt == (VT_BYREF | VT_VARIANT) ? value.pvarVal : &value;
  if (SUCCEEDED(hr) && !(v->vt == VT_ERROR && v->scode == DISP_E_PARAMNOTFOUND)) hr = p->put_Value(*v);
  if (FAILED(hr)) {
    p->Release();
    return hr;
  }
  *pp = p;
  return S_OK;
}

HRESULT AdoCommand::get_Parameters(Parameters** pp) {
  if (!pp) return E_POINTER;
  params_->AddRef();
  *pp = params_;
  return S_OK;
}

HRESULT AdoCommand::put_CommandType(CommandTypeEnum v) {
  switch (v) {
    case adCmdText:
    case adCmdTable:
    case adCmdStoredProc:
    case adCmdUnknown:
    case adCmdTableDirect:
      type_ = v;
      return S_OK;
    default:
      return AdoFail(AdoErr(adErrInvalidArgument), kSrcCommand);
  }
}
HRESULT AdoCommand::get_CommandType(CommandTypeEnum* p) {
  if (!p) return E_POINTER;
  *p = type_;
  return S_OK;
}
HRESULT AdoCommand::get_Name(BSTR* p) {
  if (!p) return E_POINTER;
  *p = AllocBstr(name_);
  return S_OK;
}
HRESULT AdoCommand::put_Name(BSTR v) {
  name_ = std::u16string(BstrView(v));
  return S_OK;
}
HRESULT AdoCommand::get_State(LONG* p) {
  if (!p) return E_POINTER;
  *p = adStateClosed;  // commands run synchronously
  return S_OK;
}
HRESULT AdoCommand::putref_CommandStream(IUnknown* p) {
  return KP_NOT_IMPLEMENTED("Command::CommandStream", "putref %p; the command text is the command", (void*)p);
}
HRESULT AdoCommand::get_CommandStream(VARIANT* pv) {
  if (!pv) return E_POINTER;
  VariantInit(pv);  // no stream was given: Empty
  return S_OK;
}
HRESULT AdoCommand::put_Dialect(BSTR v) {
  GUID g;
  std::u16string text(BstrView(v));
  if (text.empty() || FAILED(IIDFromString(reinterpret_cast<LPCOLESTR>(text.c_str()), &g)))
    return AdoFail(AdoErr(adErrInvalidArgument), kSrcCommand);
  dialect_ = text;
  return S_OK;
}
HRESULT AdoCommand::get_Dialect(BSTR* p) {
  if (!p) return E_POINTER;
  *p =
      AllocBstr(dialect_.empty() ? std::u16string_view(u"{C8B521FB-5CF3-11CE-ADE5-00AA0044773D}") : dialect_);
  return S_OK;
}
HRESULT AdoCommand::put_NamedParameters(VARIANT_BOOL v) {
  namedParameters_ = v ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}
HRESULT AdoCommand::get_NamedParameters(VARIANT_BOOL* p) {
  if (!p) return E_POINTER;
  *p = namedParameters_;
  return S_OK;
}

HRESULT AdoCommand::raw_Cancel() {
  if (conn_ && conn_->IsOpen()) conn_->Session()->Interrupt();
  return S_OK;
}

}  // namespace kp::ado
