// The Recordset object (see AdoRecordset.h).
//
// This file stays one of about 1,400 lines on purpose: it is the COM surface of Recordset15/20/21
// and _Recordset, some ninety members, each a short check of state and arguments that hands the
// work to the cursor (RecordCursor: ServerCursor, ClientView), the write-back (WriteBack), the
// chunk sequence (ChunkSequence), the file or stream (RecordsetFile), the appended fields
// (FabricatedFields) or the events (RecordsetEventSource). Cutting it further would split one
// interface over files along no seam of its own.
#include "AdoRecordset.h"

#include <oleauto.h>

#include <algorithm>

#include "AdoCommand.h"
#include "AdoConnection.h"
#include "AdoError.h"
#include "AdoFields.h"
#include "ChunkSequence.h"
#include "ClientView.h"
#include "ConnectionString.h"
#include "Criteria.h"
#include "oledberr.h"
#include "RecordsetArgs.h"
#include "RecordsetFile.h"
#include "ServerCursor.h"
#include "TextUtil.h"
#include "ValueConversion.h"
#include "kp/kpnotimpl.h"

namespace kp::ado {
namespace {

constexpr const char16_t* kRowIdAlias = u"__kp_rowid";
constexpr const char16_t* kNotUpdatable =
    u"Current Recordset does not support updating. This may be a limitation of the provider, or of the "
    u"selected locktype.";

template <class T>
HRESULT Out(T* p, T v) {
  if (!p) return E_POINTER;
  *p = v;
  return S_OK;
}

}  // namespace

AdoRecordset::AdoRecordset() {
  VariantInit(&filter_);
}

AdoRecordset::~AdoRecordset() {
  LeaveClones();
  Detach();
  if (fields_) {
    fields_->Detach();
    fields_->Release();
  }
  if (activeCommand_) activeCommand_->Release();
  VariantClear(&filter_);
}

void AdoRecordset::Detach() {
  // The Fields collection stays the recordset's (closed, it holds the appended fields, if any);
  // its Field objects were the open cursor's.
  if (fields_) fields_->Reset();
  cursor_.reset();
  fieldMap_.clear();
  ClearEdit();
  open_ = false;
  if (conn_) {
    conn_->Detach(this);
    conn_->Release();
    conn_ = nullptr;
  }
}

void AdoRecordset::CloseForConnection() {
  // The connection is going away: keep no reference to it.
  if (conn_) {
    ChangingRecordset(events_, adRsnClose, adStatusCantDeny, [&] {
      AdoConnection* c = conn_;
      conn_ = nullptr;
      Detach();
      c->Release();
      return S_OK;
    });
  }
}

void AdoRecordset::LeaveClones() {
  if (clones_) clones_->Leave(&events_);
  clones_.reset();
}

void* AdoRecordset::Part(REFIID riid) {
  if (riid == __uuidof(ADORecordsetConstruction)) return static_cast<ADORecordsetConstruction*>(&construction_);
  if (riid != IID_IConnectionPointContainer) return nullptr;
  if (!events_) events_ = std::make_unique<RecordsetEventSource>(this);
  return events_->Container();
}

void AdoRecordset::SetActiveCommand(IDispatch* command) {
  if (command) command->AddRef();
  if (activeCommand_) activeCommand_->Release();
  activeCommand_ = command;
}

HRESULT AdoRecordset::Fail(int number) const {
  return AdoFail(AdoErr(number), kSrcRecordset);
}

HRESULT AdoRecordset::CheckOpen() const {
  return open_ ? S_OK : Fail(adErrObjectClosed);
}

const Cell* AdoRecordset::CurrentCells() const {
  return writeBack_.Pending() ? writeBack_.Cells() : cursor_->Current();
}

HRESULT AdoRecordset::CheckCurrent() const {
  HRESULT hr = CheckOpen();
  if (FAILED(hr)) return hr;
  return CurrentCells() ? S_OK : Fail(adErrNoCurrentRecord);
}

int AdoRecordset::FieldIndex(std::u16string_view name) const {
  return cursor_ ? cursor_->FieldIndex(name) : fabricated_.Find(name);
}

int AdoRecordset::ResolveField(const VARIANT& index) const {
  const VARIANT& v = RecordsetArgs::Deref(index);
  if (v.vt == VT_BSTR) return FieldIndex(BstrView(v.bstrVal));
  VARIANT n;
  VariantInit(&n);
  if (FAILED(VariantChangeType(&n, &v, 0, VT_I4))) return -1;
  return n.lVal >= 0 && n.lVal < FieldCount() ? n.lVal : -1;
}

size_t AdoRecordset::RowBytes() const {
  return cursor_ ? cursor_->RowBytes() : 0;
}

// ---- Opening ---------------------------------------------------------------------------------

HRESULT AdoRecordset::Run(AdoConnection* conn, std::u16string_view sql, const std::vector<Cell>& params,
                          LONG cmdType, CursorLocationEnum location, CursorTypeEnum cursorType,
                          LockTypeEnum lockType, LONG timeout, const std::vector<std::u16string>* declTypes,
                          LONG& affected, AdoRecordset*& out) {
  out = nullptr;
  auto* rs = new AdoRecordset();
  rs->location_ = location;
  rs->cursorType_ = cursorType;
  rs->lockType_ = lockType;
  HRESULT hr = rs->Prepare(conn, sql, params, cmdType, timeout, declTypes, affected);
  if (FAILED(hr)) {
    rs->Release();
    return hr;
  }
  out = rs;
  return S_OK;
}

HRESULT AdoRecordset::FromCursor(AdoConnection* conn, std::unique_ptr<ProviderCursor> cursor,
                                 AdoRecordset*& out) {
  out = nullptr;
  auto* rs = new AdoRecordset();
  rs->location_ = adUseClient;
  rs->cursorType_ = adOpenStatic;
  rs->lockType_ = adLockReadOnly;
  conn->AddRef();
  rs->conn_ = conn;
  rs->cmdType_ = adCmdUnknown;
  HRESULT hr = rs->OpenCursor(std::move(cursor), nullptr);
  if (FAILED(hr)) {
    rs->Release();
    return hr;
  }
  out = rs;
  return S_OK;
}

HRESULT AdoRecordset::Prepare(AdoConnection* conn, std::u16string_view sql, const std::vector<Cell>& params,
                              LONG cmdType, LONG timeout, const std::vector<std::u16string>* declTypes,
                              LONG& affected) {
  affected = -1;
  if (!conn || !conn->IsOpen()) return AdoFail(AdoErr(adErrInvalidConnection), kSrcRecordset);
  if (cmdType == adCmdStoredProc && !conn->Session()->SupportsStoredProcedures())
    return AdoFail(AdoErr(adErrFeatureNotAvailable), kSrcRecordset);
  if (conn != conn_) {
    conn->AddRef();
    if (conn_) conn_->Release();
    conn_ = conn;
  }
  if (lockType_ == adLockUnspecified) lockType_ = adLockReadOnly;
  timeout_ = timeout;
  cmdType_ = cmdType;
  source_ = std::u16string(sql);
  std::u16string text(sql);
  std::u16string_view trimmed = Trim(text);
  bool identifier = !trimmed.empty() && trimmed.find_first_of(u" \t\r\n(;") == std::u16string_view::npos;
  // adCmdUnknown: text first; a single word that is not a statement is a table name.
  bool table = cmdType == adCmdTable || cmdType == adCmdTableDirect;
  if (cmdType == adCmdUnknown && identifier) {
    int n = 0;
    ProviderError ignored;
    table = FAILED(conn->Session()->ParameterCount(trimmed, n, ignored));
  }
  if (cmdType == adCmdStoredProc) {
    // ODBC's call escape; the provider turns it into its engine's call.
    std::u16string call = u"{call " + std::u16string(trimmed);
    for (size_t i = 0; i < params.size(); ++i) call += i == 0 ? u"(?" : u", ?";
    text = call + (params.empty() ? u"}" : u")}");
  }
  if (table) {
    std::u16string name(trimmed);
    if (name.size() > 2 && name.front() == u'[' && name.back() == u']')
      name = name.substr(1, name.size() - 2);
    text = u"SELECT * FROM " + conn->Session()->QuoteIdentifier(name);
  }
  sql_ = text;
  paramArena_ = std::make_unique<Arena>(4096);
  params_.clear();
  for (const Cell& c : params) params_.push_back(paramArena_->Copy(c));
  declTypes_.clear();
  if (declTypes) declTypes_ = *declTypes;
  return Execute(&affected);
}

HRESULT AdoRecordset::Execute(LONG* affectedOut) {
  std::unique_ptr<ProviderCursor> cursor;
  LONG affected = -1;
  // An updatable client cursor fetches the rowid as a hidden first column when the statement
  // can carry it; if the provider refuses the rewritten text, the original runs instead. Any
  // other failure (memory, I/O) is the statement's: running the original without the rowid
  // would key later edits by their values, which can match other rows as well.
  bool withRowId = false;
  if (client() && lockType_ != adLockReadOnly) {
    std::u16string rewritten = conn_->Session()->WithRowId(sql_, kRowIdAlias);
    if (!rewritten.empty()) {
      ProviderError refused;
      HRESULT hr = conn_->Session()->Execute(rewritten, params_, cursor, affected, refused);
      if (SUCCEEDED(hr) && cursor)
        withRowId = true;
      else if (FAILED(hr) && refused.hr != DB_E_ERRORSINCOMMAND)
        return conn_->RaiseProvider(refused);
      else
        cursor.reset();
    }
  }
  if (!withRowId) {
    HRESULT hr = conn_->Run(sql_, params_, timeout_, cursor, affected);
    if (FAILED(hr)) return hr;
  }
  if (affectedOut) *affectedOut = affected;
  if (!cursor) return S_OK;  // no columns: the recordset stays closed
  if (withRowId) {
    ColumnInfo& c = cursor->Columns()[0];
    c.hidden = true;
    c.rowId = true;
  }
  return OpenCursor(std::move(cursor), declTypes_.empty() ? nullptr : &declTypes_);
}

HRESULT AdoRecordset::OpenCursor(std::unique_ptr<ProviderCursor> cursor,
                                 const std::vector<std::u16string>* declTypes) {
  std::vector<ColumnInfo>& cols = cursor->Columns();
  if (declTypes) {
    for (size_t i = 0; i < cols.size() && i < declTypes->size(); ++i) {
      cols[i].declType = (*declTypes)[i];
      cols[i].TypeFromDeclaration();
    }
  }
  // The one place that picks the kind of cursor: everything after asks cursor_.
  ServerCursor* server = nullptr;
  if (client()) {
    cursorType_ = adOpenStatic;
    std::shared_ptr<RowSet> rows;
    HRESULT hr = ClientView::Materialise(*cursor, conn_, maxRecords_, rows);
    if (FAILED(hr)) return hr;
    cursor_ = std::make_unique<ClientView>(std::move(rows), fieldMap_);
  } else {
    cursorType_ = adOpenForwardOnly;
    lockType_ = adLockReadOnly;
    auto owned = std::make_unique<ServerCursor>(std::move(cursor), conn_, sql_, params_, timeout_,
                                                maxRecords_, fieldMap_);
    server = owned.get();
    cursor_ = std::move(owned);
  }
  MapFields();
  HRESULT analysed = writeBack_.Analyse(conn_, cursor_->Columns(), client(), lockType_);
  if (FAILED(analysed)) {
    cursor_.reset();
    fieldMap_.clear();
    return analysed;
  }
  FinishOpen();
  if (server) {
    HRESULT hr = server->Fetch();
    if (FAILED(hr)) {
      raw_Close();
      return hr;
    }
  }
  return S_OK;
}

void AdoRecordset::MapFields() {
  fieldMap_.clear();
  const std::vector<ColumnInfo>& cols = cursor_->Columns();
  for (size_t i = 0; i < cols.size(); ++i)
    if (!cols[i].hidden) fieldMap_.push_back((int)i);
}

void AdoRecordset::FinishOpen(bool sameFields) {
  open_ = true;
  if (conn_) conn_->Attach(this);
  // One Fields collection for the recordset's life (fields may be appended to it before Open);
  // its Field objects are those of the closed recordset, kept when the fields are the same.
  if (!fields_)
    fields_ = new AdoFields(this);
  else if (!sameFields)
    fields_->Reset();
  VariantClear(&filter_);
  sort_.clear();
  chunks_.End();  // a new cursor: it stands on its first row
}

HRESULT AdoRecordset::LoadFile(const std::u16string& path, AdoStream* stream) {
  std::shared_ptr<RowSet> rows;
  HRESULT hr = stream ? RecordsetFile::Load(*stream, rows) : RecordsetFile::Load(path, rows);
  if (FAILED(hr)) return hr;
  lockType_ = adLockBatchOptimistic;
  source_ = path;
  OpenRows(std::move(rows), false);
  return S_OK;
}

void AdoRecordset::OpenRows(std::shared_ptr<RowSet> rows, bool sameFields) {
  location_ = adUseClient;
  cursorType_ = adOpenStatic;
  cursor_ = std::make_unique<ClientView>(std::move(rows), fieldMap_);
  MapFields();
  writeBack_.Analyse(conn_, cursor_->Columns(), true, lockType_);
  FinishOpen(sameFields);
}

FabricatedFields* AdoRecordset::DefinableFields() {
  // Fields can be appended only to a recordset that is neither open nor connected.
  return open_ || conn_ ? nullptr : &fabricated_;
}

HRESULT AdoRecordset::raw_Open(VARIANT source, VARIANT connection, CursorTypeEnum cursorType,
                               LockTypeEnum lockType, LONG options) {
  if (open_) return Fail(adErrObjectOpen);
  if (cursorType != adOpenUnspecified) cursorType_ = cursorType;
  if (lockType != adLockUnspecified) lockType_ = lockType;
  const VARIANT& src = RecordsetArgs::Deref(source);
  const VARIANT& cn = RecordsetArgs::Deref(connection);
  LONG type = options == adCmdUnspecified ? -1 : (options & 0x30F);
  // The source: a Stream holds a saved recordset; a Command object runs through the command,
  // into this recordset.
  if ((src.vt == VT_DISPATCH || src.vt == VT_UNKNOWN) && src.punkVal) {
    if (AdoStream* stream = RecordsetFile::StreamOf(src)) return LoadFile(u"", stream);
    _Command* cmd = nullptr;
    if (FAILED(src.punkVal->QueryInterface(__uuidof(_Command), reinterpret_cast<void**>(&cmd))) || !cmd)
      return Fail(adErrInvalidArgument);
    auto* mine = dynamic_cast<AdoCommand*>(cmd);
    HRESULT hr = mine ? mine->ExecuteInto(this, options) : Fail(adErrInvalidArgument);
    cmd->Release();
    return hr;
  }
  std::u16string text = src.vt == VT_BSTR ? std::u16string(BstrView(src.bstrVal)) : source_;
  const bool connectionGiven =
      cn.vt == VT_BSTR || ((cn.vt == VT_DISPATCH || cn.vt == VT_UNKNOWN) && cn.punkVal);
  const bool nothingToOpen = Trim(text).empty() && !connectionGiven;
  if (!fabricated_.Empty()) {
    // Appended fields make the recordset: a source or a connection has no place beside them.
    if (!nothingToOpen || conn_) return Fail(adErrIllegalOperation);
    OpenRows(fabricated_.NewRows(), true);
    return S_OK;
  }
  if (nothingToOpen && !conn_) return Fail(adErrInvalidConnection);
  // The connection: a Connection object, a connection string, or the one already set.
  bool persist = false;
  if (cn.vt == VT_BSTR) {
    ConnectionString cs;
    ConnectionString::Parse(BstrView(cn.bstrVal), cs);
    if (EqualsAsciiNoCase(cs.Get(u"Provider"), u"MSPersist")) {
      persist = true;
    } else {
      auto* c = new AdoConnection();
      HRESULT hr = c->raw_Open(cn.bstrVal, nullptr, nullptr, adConnectUnspecified);
      if (FAILED(hr)) {
        c->Release();
        return hr;
      }
      if (conn_) conn_->Release();
      conn_ = c;  // owned through this reference only
    }
  } else if ((cn.vt == VT_DISPATCH || cn.vt == VT_UNKNOWN) && cn.punkVal) {
    HRESULT hr = putref_ActiveConnection(cn.pdispVal);
    if (FAILED(hr)) return hr;
  }
  if (type == -1) type = (!conn_ || persist) ? adCmdFile : adCmdUnknown;
  if (type == adCmdFile || persist) return LoadFile(text);
  if (!conn_ || !conn_->IsOpen()) return Fail(adErrInvalidConnection);
  if (text.empty()) return Fail(adErrInvalidArgument);
  if (type == adCmdStoredProc && !conn_->Session()->SupportsStoredProcedures())
    return Fail(adErrFeatureNotAvailable);
  source_ = text;
  if (!client()) lockType_ = adLockReadOnly;
  PendingExecute pending{text, cursorType_, lockType_, options};
  auto run = [&](const PendingExecute& p, LONG& affected, _Recordset*&) {
    cursorType_ = p.cursorType;
    lockType_ = client() ? p.lockType : adLockReadOnly;
    LONG t = p.options == options ? type : p.options == adCmdUnspecified ? adCmdUnknown : (p.options & 0x30F);
    return Prepare(conn_, p.source, {}, t, conn_->CommandTimeout(), nullptr, affected);
  };
  LONG affected = -1;
  _Recordset* result = nullptr;
  return conn_->Events() ? conn_->Events()->Execute(pending, nullptr, this, run)
                         : run(pending, affected, result);
}

HRESULT AdoRecordset::raw_Requery(LONG) {
  HRESULT hr = CheckOpen();
  if (FAILED(hr)) return hr;
  if (writeBack_.Mode() != adEditNone) return Fail(adErrIllegalOperation);
  if (!conn_) return Fail(adErrInvalidConnection);
  return ChangingRecordset(events_, adRsnRequery, adStatusOK,
                           [&] { return Moving(events_, adRsnRequery, [&] { return RunAgain(); }); });
}

HRESULT AdoRecordset::RunAgain() {
  LeaveClones();  // new rows: the clones keep the old ones
  AdoConnection* conn = conn_;
  conn->AddRef();
  std::u16string sql = sql_;
  std::vector<Cell> params = params_;
  auto arena = std::move(paramArena_);
  auto decl = declTypes_;
  CursorTypeEnum ct = cursorType_;
  LockTypeEnum lt = lockType_;
  Detach();
  conn_ = conn;
  sql_ = sql;
  params_ = params;
  paramArena_ = std::move(arena);
  declTypes_ = decl;
  cursorType_ = ct;
  lockType_ = lt;
  return Execute(nullptr);
}

HRESULT AdoRecordset::raw_Close() {
  HRESULT hr = CheckOpen();
  if (FAILED(hr)) return hr;
  return ChangingRecordset(events_, adRsnClose, adStatusOK, [&] {
    Detach();
    return S_OK;
  });
}

// ---- Views and positions ---------------------------------------------------------------------

HRESULT AdoRecordset::ApplyView() {
  chunks_.End();  // a new view: the cursor goes to its first row
  return cursor_->View()->Apply(filter_, sort_);
}

HRESULT AdoRecordset::BeforeMove() {
  HRESULT hr = CheckOpen();
  if (FAILED(hr)) return hr;
  if (writeBack_.Pending()) {
    // Moving away saves the pending edit, as ADO does.
    hr = raw_Update(RecordsetArgs::MissingArg(), RecordsetArgs::MissingArg());
    if (FAILED(hr)) return hr;
  }
  chunks_.End();
  return conn_ ? conn_->FaultTick() : S_OK;
}

HRESULT AdoRecordset::raw_MoveNext() {
  return Moving(events_, adRsnMoveNext, [&] {
    HRESULT hr = BeforeMove();
    return FAILED(hr) ? hr : cursor_->MoveNext();
  });
}

HRESULT AdoRecordset::raw_MovePrevious() {
  return Moving(events_, adRsnMovePrevious, [&] {
    HRESULT hr = BeforeMove();
    return FAILED(hr) ? hr : cursor_->MovePrevious();
  });
}

HRESULT AdoRecordset::raw_MoveFirst() {
  return Moving(events_, adRsnMoveFirst, [&] {
    HRESULT hr = BeforeMove();
    return FAILED(hr) ? hr : cursor_->MoveFirst();
  });
}

HRESULT AdoRecordset::raw_MoveLast() {
  return Moving(events_, adRsnMoveLast, [&] {
    HRESULT hr = BeforeMove();
    return FAILED(hr) ? hr : cursor_->MoveLast();
  });
}

HRESULT AdoRecordset::raw_Move(LONG n, VARIANT start) {
  if (!open_) {
    // A server cursor refuses a start bookmark before it looks whether it is open.
    bool refused = !client() && n >= 0 && !RecordsetArgs::Missing(start);
    return Fail(refused ? adErrFeatureNotAvailable : adErrObjectClosed);
  }
  return Moving(events_, adRsnMove, [&] { return cursor_->Move(n, start, [this] { return BeforeMove(); }); });
}

HRESULT AdoRecordset::get_BOF(VARIANT_BOOL* pb) {
  if (!pb) return E_POINTER;
  HRESULT hr = CheckOpen();
  if (FAILED(hr)) return hr;
  *pb = cursor_->Bof() ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

HRESULT AdoRecordset::get_adoEOF(VARIANT_BOOL* pb) {
  if (!pb) return E_POINTER;
  HRESULT hr = CheckOpen();
  if (FAILED(hr)) return hr;
  *pb = cursor_->Eof() ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

HRESULT AdoRecordset::get_RecordCount(LONG* p) {
  if (!p) return E_POINTER;
  HRESULT hr = CheckOpen();
  if (FAILED(hr)) return hr;
  *p = cursor_->RecordCount();
  return S_OK;
}

HRESULT AdoRecordset::get_AbsolutePosition(PositionEnum* p) {
  if (!p) return E_POINTER;
  HRESULT hr = CheckOpen();
  if (FAILED(hr)) return hr;
  *p = cursor_->AbsolutePosition();
  return S_OK;
}

HRESULT AdoRecordset::put_AbsolutePosition(PositionEnum v) {
  return Moving(events_, adRsnMove, [&] {
    HRESULT hr = BeforeMove();
    return FAILED(hr) ? hr : cursor_->SetAbsolutePosition(v);
  });
}

HRESULT AdoRecordset::get_Bookmark(VARIANT* pv) {
  if (!pv) return E_POINTER;
  VariantInit(pv);
  HRESULT hr = CheckOpen();
  if (FAILED(hr)) return hr;
  return cursor_->GetBookmark(pv);
}

HRESULT AdoRecordset::put_Bookmark(VARIANT v) {
  return Moving(events_, adRsnMove, [&] {
    HRESULT hr = BeforeMove();
    return FAILED(hr) ? hr : cursor_->SetBookmark(v);
  });
}

HRESULT AdoRecordset::raw_CompareBookmarks(VARIANT b1, VARIANT b2, CompareEnum* p) {
  if (!p) return E_POINTER;
  HRESULT hr = CheckOpen();
  if (FAILED(hr)) return hr;
  return cursor_->CompareBookmarks(b1, b2, p);
}

// ---- Field values ----------------------------------------------------------------------------

HRESULT AdoRecordset::GetFieldValue(int f, VARIANT* out) {
  if (!out) return E_POINTER;
  VariantInit(out);
  HRESULT hr = CheckCurrent();
  if (FAILED(hr)) return hr;
  if (f != chunks_.Field()) chunks_.End();
  return ValueConversion::CellToVariant(FieldColumn(f), CurrentCells()[fieldMap_[f]], out);
}

HRESULT AdoRecordset::FieldOriginalValue(int f, VARIANT* out) {
  if (!out) return E_POINTER;
  VariantInit(out);
  HRESULT hr = CheckOpen();
  if (FAILED(hr)) return hr;
  if (writeBack_.Mode() == adEditAdd) {
    out->vt = VT_NULL;
    return S_OK;
  }
  const Cell* cells = cursor_->Original();
  if (!cells) return Fail(adErrNoCurrentRecord);
  return ValueConversion::CellToVariant(FieldColumn(f), cells[fieldMap_[f]], out);
}

HRESULT AdoRecordset::FieldActualSize(int f, LONG* out) {
  if (!out) return E_POINTER;
  HRESULT hr = CheckCurrent();
  if (FAILED(hr)) return hr;
  const Cell& c = CurrentCells()[fieldMap_[f]];
  const ColumnInfo& col = FieldColumn(f);
  if (c.kind == CellKind::Null) {
    *out = 0;
  } else if (col.IsText() && c.kind == CellKind::Text) {
    // Bytes of the text in the ANSI code page (936): ASCII takes one byte, other characters two.
    LONG n = 0;
    for (uint32_t i = 0; i < c.size; ++i) {
      char16_t ch = c.text()[i];
      n += ch < 0x80 ? 1 : (ch >= 0xDC00 && ch <= 0xDFFF) ? 0 : 2;
    }
    *out = n;
  } else if (c.kind == CellKind::Blob) {
    *out = (LONG)c.size;
  } else if (col.IsText()) {
    VARIANT v;
    ValueConversion::CellToVariant(col, c, &v);
    *out = v.vt == VT_BSTR ? (LONG)SysStringLen(v.bstrVal) : 0;
    VariantClear(&v);
  } else {
    *out = col.definedSize;
  }
  return S_OK;
}

HRESULT AdoRecordset::FieldStatus(int, LONG* out) {
  if (!out) return E_POINTER;
  *out = 0;  // adFieldOK
  return S_OK;
}

HRESULT AdoRecordset::CheckWritable(int f) const {
  HRESULT hr = CheckOpen();
  if (FAILED(hr)) return hr;
  if (!writeBack_.Updatable())
    return SetError(AdoErr(adErrFeatureNotAvailable), kSrcRecordset, kNotUpdatable);
  if (!CurrentCells()) return Fail(adErrNoCurrentRecord);
  if (f >= 0 && conn_ && !(FieldColumn(f).attributes & adFldUpdatable))
    return SetError(AdoErr(adErrFeatureNotAvailable), kSrcRecordset, kNotUpdatable);
  return S_OK;
}

void AdoRecordset::ClearEdit() {
  writeBack_.Clear();
  chunks_.End();  // the row was saved, cancelled or left
}

HRESULT AdoRecordset::PutFieldValue(int f, const VARIANT& value) {
  HRESULT hr = CheckWritable(f);
  if (FAILED(hr)) return hr;
  return ChangingField(events_, clones_.get(), f, !writeBack_.Pending(), [&] {
    if (FieldColumn(f).fabricated) {
      HRESULT checked = FabricatedFields::CheckValue(FieldColumn(f), value);
      if (FAILED(checked)) return checked;
    }
    if (!writeBack_.Pending()) writeBack_.Begin(cursor_->Current(), cursor_->Columns().size());
    HRESULT put = writeBack_.Put(fieldMap_[f], FieldColumn(f), value);
    if (FAILED(put)) return put;
    chunks_.End();
    return S_OK;
  });
}

HRESULT AdoRecordset::FieldGetChunk(int f, LONG length, VARIANT* out) {
  if (!out) return E_POINTER;
  VariantInit(out);
  HRESULT hr = CheckCurrent();
  if (FAILED(hr)) return hr;
  const ColumnInfo& col = FieldColumn(f);
  if (!(col.attributes & adFldLong)) return Fail(adErrFeatureNotAvailable);
  if (length < 0) return Fail(adErrInvalidArgument);
  chunks_.ReadFrom(f);
  VARIANT whole;
  hr = ValueConversion::CellToVariant(col, CurrentCells()[fieldMap_[f]], &whole);
  if (FAILED(hr)) return hr;
  chunks_.Next(whole, length, out);
  VariantClear(&whole);
  return S_OK;
}

HRESULT AdoRecordset::FieldAppendChunk(int f, const VARIANT& data) {
  HRESULT hr = CheckWritable(f);
  if (FAILED(hr)) return hr;
  const ColumnInfo& col = FieldColumn(f);
  if (!(col.attributes & adFldLong)) return Fail(adErrFeatureNotAvailable);
  if (!chunks_.Appending(f)) {
    hr = PutFieldValue(f, data);  // the first chunk replaces the value
    if (FAILED(hr)) return hr;
    chunks_.Appended(f);
    return S_OK;
  }
  VARIANT current, joined;
  ValueConversion::CellToVariant(col, writeBack_.Cells()[fieldMap_[f]], &current);
  ChunkSequence::Join(current, data, &joined);
  VariantClear(&current);
  hr = PutFieldValue(f, joined);
  VariantClear(&joined);
  chunks_.Appended(f);
  return hr;
}

HRESULT AdoRecordset::get_Collect(VARIANT index, VARIANT* pv) {
  if (!pv) return E_POINTER;
  VariantInit(pv);
  HRESULT hr = CheckOpen();
  if (FAILED(hr)) return hr;
  int f = ResolveField(index);
  if (f < 0) return Fail(adErrItemNotFound);
  return GetFieldValue(f, pv);
}

HRESULT AdoRecordset::put_Collect(VARIANT index, VARIANT v) {
  HRESULT hr = CheckOpen();
  if (FAILED(hr)) return hr;
  int f = ResolveField(index);
  if (f < 0) return Fail(adErrItemNotFound);
  return PutFieldValue(f, v);
}

// ---- Editing ---------------------------------------------------------------------------------

HRESULT AdoRecordset::raw_AddNew(VARIANT fieldList, VARIANT values) {
  HRESULT hr = CheckOpen();
  if (FAILED(hr)) return hr;
  if (!writeBack_.Updatable())
    return SetError(AdoErr(adErrFeatureNotAvailable), kSrcRecordset, kNotUpdatable);
  if (writeBack_.Pending()) {
    hr = raw_Update(RecordsetArgs::MissingArg(), RecordsetArgs::MissingArg());
    if (FAILED(hr)) return hr;
  }
  hr = ChangingRecord(events_, clones_.get(), adRsnAddNew, 1, [&] {
    cursor_->View()->StartAdd();  // only client views are updatable
    writeBack_.BeginAdd(cursor_->Columns().size());
    chunks_.End();
    return S_OK;
  });
  if (FAILED(hr)) return hr;
  if (!RecordsetArgs::Missing(fieldList)) return raw_Update(fieldList, values);
  return S_OK;
}

HRESULT AdoRecordset::raw_Update(VARIANT fields, VARIANT values) {
  HRESULT hr = CheckOpen();
  if (FAILED(hr)) return hr;
  if (!RecordsetArgs::Missing(fields)) {
    std::vector<VARIANT> names = RecordsetArgs::ListOf(fields), vals = RecordsetArgs::ListOf(values);
    if (names.size() != vals.size()) {
      RecordsetArgs::ClearAll(names);
      RecordsetArgs::ClearAll(vals);
      return Fail(adErrInvalidArgument);
    }
    for (size_t i = 0; i < names.size() && SUCCEEDED(hr); ++i) {
      int f = ResolveField(names[i]);
      hr = f < 0 ? Fail(adErrItemNotFound) : PutFieldValue(f, vals[i]);
    }
    RecordsetArgs::ClearAll(names);
    RecordsetArgs::ClearAll(vals);
    if (FAILED(hr)) return hr;
  }
  if (!writeBack_.Pending()) return S_OK;  // nothing pending
  hr = ChangingRecord(events_, clones_.get(), adRsnUpdate, 1, [&] { return WriteEdit(); });
  if (FAILED(hr)) return hr;
  return S_OK;
}

HRESULT AdoRecordset::WriteEdit() {
  ClientView* view = cursor_->View();  // only client views are updatable
  bool added = writeBack_.Mode() == adEditAdd;
  size_t row = 0;
  HRESULT hr = writeBack_.Write(conn_, view->Rows(), view->CurrentRow(), timeout_, row);
  if (FAILED(hr)) return hr;  // the pending edit stays
  if (hr == S_OK) view->Written(row, added);
  ClearEdit();
  return S_OK;
}

HRESULT AdoRecordset::raw_CancelUpdate() {
  HRESULT hr = CheckOpen();
  if (FAILED(hr)) return hr;
  auto cancel = [&] {
    if (writeBack_.Mode() == adEditAdd) cursor_->View()->CancelAdd();
    ClearEdit();
    return S_OK;
  };
  if (!writeBack_.Pending()) return cancel();
  return ChangingRecord(events_, clones_.get(),
                        writeBack_.Mode() == adEditAdd ? adRsnUndoAddNew : adRsnUndoUpdate, 1, cancel);
}

HRESULT AdoRecordset::raw_Delete(AffectEnum affect) {
  HRESULT hr = CheckOpen();
  if (FAILED(hr)) return hr;
  if (!writeBack_.Updatable())
    return SetError(AdoErr(adErrFeatureNotAvailable), kSrcRecordset, kNotUpdatable);
  if (affect != adAffectCurrent && affect != adAffectGroup) return Fail(adErrInvalidArgument);
  if (writeBack_.Mode() == adEditAdd) {
    raw_CancelUpdate();
    return S_OK;
  }
  ClientView* view = cursor_->View();  // only client views are updatable
  std::vector<long> targets = view->DeleteTargets(affect);
  if (affect == adAffectCurrent && targets.empty()) return Fail(adErrNoCurrentRecord);
  return ChangingRecord(events_, clones_.get(), adRsnDelete, (LONG)targets.size(), [&] {
    ClearEdit();
    view->ClearAffected();
    // Row by row: a failure leaves the rows deleted before it deleted.
    for (long r : targets) {
      HRESULT deleted = writeBack_.Delete(conn_, view->Rows(), (size_t)r, timeout_);
      if (FAILED(deleted)) return deleted;
      view->Deleted((size_t)r);
    }
    return S_OK;
  });
}

HRESULT AdoRecordset::get_EditMode(EditModeEnum* p) {
  if (!p) return E_POINTER;
  HRESULT hr = CheckOpen();
  if (FAILED(hr)) return hr;
  if (writeBack_.Mode() == adEditNone && cursor_->CurrentDeleted())
    *p = adEditDelete;
  else if (writeBack_.Mode() == adEditNone && !cursor_->Current())
    return Fail(adErrNoCurrentRecord);  // at BOF or EOF there is no record to be editing
  else
    *p = writeBack_.Mode();
  return S_OK;
}

HRESULT AdoRecordset::get_Status(LONG* p) {
  if (!p) return E_POINTER;
  HRESULT hr = CheckOpen();
  if (FAILED(hr)) return hr;
  if (writeBack_.Mode() == adEditAdd)
    *p = adRecNew;
  else if (writeBack_.Mode() == adEditInProgress)
    *p = adRecModified;
  else if (cursor_->CurrentDeleted())
    *p = adRecDeleted;
  else if (!CurrentCells())
    return Fail(adErrNoCurrentRecord);
  else
    *p = adRecUnmodified;
  return S_OK;
}

HRESULT AdoRecordset::raw_UpdateBatch(AffectEnum) {
  // Edits are written when Update runs (see docs/ado.md): nothing is left pending for the batch.
  HRESULT hr = CheckOpen();
  if (FAILED(hr)) return hr;
  if (writeBack_.Pending()) return raw_Update(RecordsetArgs::MissingArg(), RecordsetArgs::MissingArg());
  return S_OK;
}

HRESULT AdoRecordset::raw_CancelBatch(AffectEnum) {
  HRESULT hr = CheckOpen();
  if (FAILED(hr)) return hr;
  return raw_CancelUpdate();
}

// ---- Filter, Sort, Find, Clone -----------------------------------------------------------------

HRESULT AdoRecordset::get_Filter(VARIANT* pv) {
  if (!pv) return E_POINTER;
  VariantInit(pv);
  if (filter_.vt == VT_EMPTY) {
    pv->vt = VT_I4;
    pv->lVal = adFilterNone;
    return S_OK;
  }
  return VariantCopy(pv, &filter_);
}

HRESULT AdoRecordset::put_Filter(VARIANT v) {
  const VARIANT& d = RecordsetArgs::Deref(v);
  // A filter is a criteria text, a FilterGroupEnum or an array of bookmarks; Empty is none of them.
  if (d.vt == VT_EMPTY) return Fail(adErrInvalidArgument);
  bool none = (d.vt == VT_BSTR && Trim(BstrView(d.bstrVal)).empty()) || d.vt == VT_NULL ||
              ((d.vt == VT_I4 || d.vt == VT_I2) && (d.vt == VT_I4 ? d.lVal : d.iVal) == adFilterNone);
  if (!open_) {
    VariantClear(&filter_);
    if (!none) VariantCopy(&filter_, &d);
    return S_OK;
  }
  // A forward-only cursor has no view to filter.
  if (!cursor_->View()) return none ? S_OK : Fail(adErrFeatureNotAvailable);
  HRESULT hr = BeforeMove();
  if (FAILED(hr)) return hr;
  if ((d.vt == VT_I4 || d.vt == VT_I2)) {
    LONG g = d.vt == VT_I4 ? d.lVal : d.iVal;
    if (g < 0 || g > 5 || g == 4) return Fail(adErrInvalidArgument);
  } else if (!none && d.vt != VT_BSTR && !(d.vt & VT_ARRAY)) {
    return Fail(adErrInvalidArgument);
  }
  VARIANT old;
  VariantInit(&old);
  VariantCopy(&old, &filter_);
  VariantClear(&filter_);
  if (!none) VariantCopy(&filter_, &d);  // bookmarks are resolved against the unfiltered rows
  hr = ApplyView();
  if (FAILED(hr)) {
    VariantClear(&filter_);
    filter_ = old;
    ApplyView();
    return hr;
  }
  VariantClear(&old);
  return S_OK;
}

HRESULT AdoRecordset::get_Sort(BSTR* p) {
  if (!p) return E_POINTER;
  *p = AllocBstr(sort_);
  return S_OK;
}

HRESULT AdoRecordset::put_Sort(BSTR v) {
  std::u16string text(Trim(BstrView(v)));
  ClientView* view = open_ ? cursor_->View() : nullptr;
  if (text.empty()) {
    // Setting "" succeeds whatever the sort was; an open client cursor returns to the original
    // order, on its first row. A pending edit is saved first, as a move saves it; if that fails,
    // so does this (nothing else is done: no fault-switch tick, no fetch).
    if (view && writeBack_.Pending()) {
      HRESULT hr = raw_Update(RecordsetArgs::MissingArg(), RecordsetArgs::MissingArg());
      if (FAILED(hr)) return hr;
    }
    sort_.clear();
    if (view) return ApplyView();
    return S_OK;
  }
  if (open_ && !view) return Fail(adErrFeatureNotAvailable);
  if (!open_) {
    sort_ = text;
    return S_OK;
  }
  HRESULT hr = BeforeMove();
  if (FAILED(hr)) return hr;
  std::u16string old = sort_;
  sort_ = text;
  hr = ApplyView();
  if (FAILED(hr)) {
    sort_ = old;
    ApplyView();
  }
  return hr;
}

HRESULT AdoRecordset::raw_Find(BSTR criteria, LONG skip, SearchDirectionEnum direction, VARIANT start) {
  HRESULT hr = CheckOpen();
  if (FAILED(hr)) return hr;
  if (direction != adSearchForward && direction != adSearchBackward) return Fail(adErrInvalidArgument);
  Criteria crit;
  std::u16string description;
  hr = Criteria::ParseFind(BstrView(criteria), crit, &description);
  if (SUCCEEDED(hr))
    hr = crit.Bind([this](std::u16string_view n) { return FieldIndex(n); },
                   [this](int f) { return FieldColumn(f).type; });
  if (FAILED(hr)) return SetError(hr, kSrcRecordset, description.empty() ? AdoErrorText(hr) : description);
  std::vector<int> used;
  for (auto& n : crit.FieldNames()) used.push_back(FieldIndex(n));
  hr = BeforeMove();
  if (FAILED(hr)) return hr;
  return cursor_->Find(crit, used, skip, direction, start);
}

HRESULT AdoRecordset::raw_Clone(LockTypeEnum lockType, _Recordset** pp) {
  if (!pp) return E_POINTER;
  *pp = nullptr;
  HRESULT hr = CheckOpen();
  if (FAILED(hr)) return hr;
  ClientView* view = cursor_->View();
  if (!view) return Fail(adErrFeatureNotAvailable);
  if (lockType != adLockUnspecified && lockType != adLockReadOnly) return Fail(adErrInvalidArgument);
  auto* c = new AdoRecordset();
  CloneInto(c, lockType);
  *pp = c;
  return S_OK;
}

void AdoRecordset::CloneInto(AdoRecordset* c, LockTypeEnum lockType) {
  ClientView* view = cursor_->View();
  if (conn_) conn_->AddRef();
  if (c->conn_) c->conn_->Release();
  c->conn_ = conn_;
  c->location_ = location_;
  c->cursorType_ = cursorType_;
  c->lockType_ = lockType == adLockReadOnly ? adLockReadOnly : lockType_;
  c->source_ = source_;
  c->sql_ = sql_;
  c->paramArena_ = std::make_unique<Arena>(4096);
  c->params_.clear();
  for (const Cell& p : params_) c->params_.push_back(c->paramArena_->Copy(p));
  c->cmdType_ = cmdType_;
  c->timeout_ = timeout_;
  c->declTypes_ = declTypes_;
  c->fieldMap_ = fieldMap_;
  c->cursor_ = view->Clone(c->fieldMap_);  // the same rows, a view of its own
  c->writeBack_.CopyAnalysis(writeBack_, c->lockType_ != adLockReadOnly);
  c->FinishOpen();
  if (!clones_) {
    clones_ = std::make_shared<CloneEvents>();
    clones_->Join(&events_);
  }
  c->clones_ = clones_;
  clones_->Join(&c->events_);
}

HRESULT AdoRecordset::SharedRowset(IUnknown** out) {
  if (!open_) return S_OK;  // no rowset yet
  *out = static_cast<_Recordset*>(this);
  AddRef();
  return S_OK;
}

HRESULT AdoRecordset::AdoptRowset(IUnknown* rowset) {
  if (open_) return Fail(adErrObjectOpen);
  if (!rowset) return Fail(adErrInvalidArgument);
  _Recordset* r = nullptr;
  if (FAILED(rowset->QueryInterface(__uuidof(_Recordset), reinterpret_cast<void**>(&r))) || !r)
    return E_NOINTERFACE;
  auto* source = dynamic_cast<AdoRecordset*>(r);
  HRESULT hr = !source                    ? E_NOINTERFACE
               : !source->open_           ? Fail(adErrObjectClosed)
               : !source->cursor_->View() ? Fail(adErrFeatureNotAvailable)
                                          : S_OK;
  if (SUCCEEDED(hr)) source->CloneInto(this, adLockUnspecified);
  r->Release();
  return hr;
}

HRESULT AdoRecordset::raw__xClone(_Recordset** pp) {
  return raw_Clone(adLockUnspecified, pp);
}

// ---- Bulk reads --------------------------------------------------------------------------------

HRESULT AdoRecordset::raw_GetRows(LONG rows, VARIANT start, VARIANT fields, VARIANT* pv) {
  if (!pv) return E_POINTER;
  VariantInit(pv);
  HRESULT hr = CheckOpen();
  if (FAILED(hr)) return hr;
  std::vector<int> which;
  if (RecordsetArgs::Missing(fields)) {
    for (int f = 0; f < FieldCount(); ++f) which.push_back(f);
  } else {
    std::vector<VARIANT> list = RecordsetArgs::ListOf(fields);
    for (auto& v : list) which.push_back(ResolveField(v));
    RecordsetArgs::ClearAll(list);
    for (int f : which)
      if (f < 0) return Fail(adErrItemNotFound);
  }
  if (!RecordsetArgs::Missing(start)) {
    hr = raw_Move(0, start);
    if (FAILED(hr)) return hr;
  }
  if (cursor_->Eof() || cursor_->Bof()) return Fail(adErrNoCurrentRecord);
  std::vector<std::vector<VARIANT>> got;
  while (!cursor_->Eof() && (rows < 0 || (LONG)got.size() < rows)) {
    std::vector<VARIANT> row(which.size());
    for (size_t i = 0; i < which.size(); ++i) GetFieldValue(which[i], &row[i]);
    got.push_back(std::move(row));
    hr = raw_MoveNext();
    if (FAILED(hr)) {
      for (auto& r : got) RecordsetArgs::ClearAll(r);
      return hr;
    }
  }
  SAFEARRAYBOUND b[2];
  b[0].cElements = (ULONG)which.size();
  b[0].lLbound = 0;
  b[1].cElements = (ULONG)got.size();
  b[1].lLbound = 0;
  SAFEARRAY* sa = SafeArrayCreate(VT_VARIANT, 2, b);
  if (!sa) return E_OUTOFMEMORY;
  for (LONG r = 0; r < (LONG)got.size(); ++r)
    for (LONG f = 0; f < (LONG)which.size(); ++f) {
      LONG idx[2] = {f, r};
      SafeArrayPutElement(sa, idx, &got[r][f]);
    }
  for (auto& r : got) RecordsetArgs::ClearAll(r);
  pv->vt = VT_ARRAY | VT_VARIANT;
  pv->parray = sa;
  return S_OK;
}

HRESULT AdoRecordset::raw_GetString(StringFormatEnum format, LONG numRows, BSTR columnDelimiter,
                                    BSTR rowDelimiter, BSTR nullExpr, BSTR* pp) {
  if (!pp) return E_POINTER;
  *pp = nullptr;
  HRESULT hr = CheckOpen();
  if (FAILED(hr)) return hr;
  if (format != adClipString) return Fail(adErrInvalidArgument);
  if (cursor_->Eof()) return Fail(adErrNoCurrentRecord);
  std::u16string col = BstrView(columnDelimiter).empty() ? u"\t" : std::u16string(BstrView(columnDelimiter));
  std::u16string row = BstrView(rowDelimiter).empty() ? u"\r" : std::u16string(BstrView(rowDelimiter));
  std::u16string null(BstrView(nullExpr));
  std::u16string out;
  LONG done = 0;
  while (!cursor_->Eof() && (numRows <= 0 || done < numRows)) {
    for (int f = 0; f < FieldCount(); ++f) {
      if (f) out += col;
      VARIANT v, t;
      VariantInit(&t);
      GetFieldValue(f, &v);
      if (v.vt == VT_NULL || v.vt == VT_EMPTY) {
        out += null;
      } else if (v.vt == (VT_ARRAY | VT_UI1)) {
        out += u"";  // binary values have no text form here
      } else if (SUCCEEDED(VariantChangeType(&t, &v, 0, VT_BSTR))) {
        out += BstrView(t.bstrVal);
      }
      VariantClear(&t);
      VariantClear(&v);
    }
    out += row;
    ++done;
    hr = raw_MoveNext();
    if (FAILED(hr)) return hr;
  }
  *pp = AllocBstr(out);
  return S_OK;
}

HRESULT AdoRecordset::raw_Save(VARIANT destination, PersistFormatEnum format) {
  HRESULT hr = CheckOpen();
  if (FAILED(hr)) return hr;
  if (format != adPersistXML) {
    Trace("Recordset::Save: format %d (ADTG) is not implemented; only adPersistXML", (int)format);
    return Fail(adErrFeatureNotAvailable);
  }
  const VARIANT& d = RecordsetArgs::Deref(destination);
  AdoStream* stream = RecordsetFile::StreamOf(d);
  if (d.vt != VT_BSTR && !stream) return Fail(adErrInvalidArgument);
  ClientView* view = cursor_->View();
  if (!view) return Fail(adErrFeatureNotAvailable);
  if (writeBack_.Pending()) {
    // Save ends on the first row: a pending edit is saved first, as a move saves it.
    hr = raw_Update(RecordsetArgs::MissingArg(), RecordsetArgs::MissingArg());
    if (FAILED(hr)) return hr;
  }
  hr = stream ? RecordsetFile::Save(*stream, *view) : RecordsetFile::Save(BstrView(d.bstrVal), *view);
  if (FAILED(hr)) return hr;
  view->Rewind();
  chunks_.End();
  return S_OK;
}

HRESULT AdoRecordset::raw__xSave(BSTR fileName, PersistFormatEnum format) {
  VARIANT v;
  v.vt = VT_BSTR;
  v.bstrVal = fileName;
  return raw_Save(v, format);
}

// ---- Simple properties -------------------------------------------------------------------------

HRESULT AdoRecordset::get_Properties(Properties** pp) {
  if (pp) *pp = nullptr;
  return KP_NOT_IMPLEMENTED("Recordset::Properties", "get");
}

HRESULT AdoRecordset::putref_ActiveConnection(IDispatch* v) {
  if (open_ && !(client() && !v)) return Fail(adErrObjectOpen);
  if (!v) {
    if (conn_) {
      conn_->Detach(this);
      conn_->Release();
      conn_ = nullptr;
    }
    return S_OK;
  }
  _Connection* c = nullptr;
  if (FAILED(v->QueryInterface(__uuidof(_Connection), reinterpret_cast<void**>(&c))) || !c)
    return Fail(adErrInvalidArgument);
  auto* mine = dynamic_cast<AdoConnection*>(c);
  if (!mine) {
    c->Release();
    return Fail(adErrInvalidConnection);
  }
  if (conn_) conn_->Release();
  conn_ = mine;  // keeps the reference from QueryInterface
  return S_OK;
}

HRESULT AdoRecordset::put_ActiveConnection(VARIANT v) {
  const VARIANT& d = RecordsetArgs::Deref(v);
  if (d.vt == VT_DISPATCH || d.vt == VT_UNKNOWN) return putref_ActiveConnection(d.pdispVal);
  if (d.vt == VT_EMPTY || d.vt == VT_NULL) return putref_ActiveConnection(nullptr);
  if (d.vt != VT_BSTR) return Fail(adErrInvalidArgument);
  if (open_) return Fail(adErrObjectOpen);
  auto* c = new AdoConnection();
  HRESULT hr = c->raw_Open(d.bstrVal, nullptr, nullptr, adConnectUnspecified);
  if (FAILED(hr)) {
    c->Release();
    return hr;
  }
  if (conn_) conn_->Release();
  conn_ = c;
  return S_OK;
}

HRESULT AdoRecordset::get_ActiveConnection(VARIANT* pv) {
  if (!pv) return E_POINTER;
  VariantInit(pv);
  pv->vt = VT_DISPATCH;
  pv->pdispVal = conn_;
  if (conn_) conn_->AddRef();
  return S_OK;
}

HRESULT AdoRecordset::get_CacheSize(LONG* p) {
  return Out(p, cacheSize_);
}
HRESULT AdoRecordset::put_CacheSize(LONG v) {
  if (v <= 0) return Fail(adErrInvalidArgument);
  cacheSize_ = v;
  return S_OK;
}
HRESULT AdoRecordset::get_CursorType(CursorTypeEnum* p) {
  return Out(p, cursorType_);
}
HRESULT AdoRecordset::put_CursorType(CursorTypeEnum v) {
  if (open_) return Fail(adErrObjectOpen);
  if (v < adOpenUnspecified || v > adOpenStatic) return Fail(adErrInvalidArgument);
  cursorType_ = v == adOpenUnspecified ? adOpenForwardOnly : v;
  return S_OK;
}
HRESULT AdoRecordset::get_Fields(Fields** pp) {
  if (!pp) return E_POINTER;
  *pp = nullptr;
  if (!fields_) fields_ = new AdoFields(this);  // a closed recordset has an empty collection
  fields_->AddRef();
  *pp = fields_;
  return S_OK;
}
HRESULT AdoRecordset::get_LockType(LockTypeEnum* p) {
  return Out(p, lockType_);
}
HRESULT AdoRecordset::put_LockType(LockTypeEnum v) {
  if (open_) return Fail(adErrObjectOpen);
  if (v < adLockUnspecified || v > adLockBatchOptimistic || v == 0) return Fail(adErrInvalidArgument);
  lockType_ = v == adLockUnspecified ? adLockReadOnly : v;
  return S_OK;
}
HRESULT AdoRecordset::get_MaxRecords(LONG* p) {
  return Out(p, maxRecords_);
}
HRESULT AdoRecordset::put_MaxRecords(LONG v) {
  if (open_) return Fail(adErrObjectOpen);
  if (v < 0) return Fail(adErrInvalidArgument);
  maxRecords_ = v;
  return S_OK;
}
HRESULT AdoRecordset::putref_Source(IDispatch* v) {
  if (open_) return Fail(adErrObjectOpen);
  SetActiveCommand(v);
  return S_OK;
}
HRESULT AdoRecordset::put_Source(BSTR v) {
  if (open_) return Fail(adErrObjectOpen);
  source_ = std::u16string(BstrView(v));
  return S_OK;
}
HRESULT AdoRecordset::get_Source(VARIANT* pv) {
  if (!pv) return E_POINTER;
  VariantInit(pv);
  pv->vt = VT_BSTR;
  pv->bstrVal = AllocBstr(source_);
  return S_OK;
}
HRESULT AdoRecordset::raw__xResync(AffectEnum affect) {
  return raw_Resync(affect, adResyncAllValues);
}
HRESULT AdoRecordset::get_AbsolutePage(PositionEnum* p) {
  if (!p) return E_POINTER;
  HRESULT hr = CheckOpen();
  if (FAILED(hr)) return hr;
  *p = cursor_->AbsolutePage(pageSize_);
  return S_OK;
}
HRESULT AdoRecordset::put_AbsolutePage(PositionEnum v) {
  if (v < 1) return Fail(adErrInvalidArgument);
  return put_AbsolutePosition((PositionEnum)((v - 1) * pageSize_ + 1));
}
HRESULT AdoRecordset::get_PageCount(LONG* p) {
  if (!p) return E_POINTER;
  LONG n = 0;
  HRESULT hr = get_RecordCount(&n);
  if (FAILED(hr)) return hr;
  *p = n < 0 ? -1 : (n + pageSize_ - 1) / pageSize_;
  return S_OK;
}
HRESULT AdoRecordset::get_PageSize(LONG* p) {
  return Out(p, pageSize_);
}
HRESULT AdoRecordset::put_PageSize(LONG v) {
  if (v <= 0) return Fail(adErrInvalidArgument);
  pageSize_ = v;
  return S_OK;
}
HRESULT AdoRecordset::get_State(LONG* p) {
  return Out(p, (LONG)(open_ ? adStateOpen : adStateClosed));
}
HRESULT AdoRecordset::get_CursorLocation(CursorLocationEnum* p) {
  return Out(p, location_);
}
HRESULT AdoRecordset::put_CursorLocation(CursorLocationEnum v) {
  if (open_) return Fail(adErrObjectOpen);
  if (v != adUseServer && v != adUseClient && v != adUseNone) return Fail(adErrInvalidArgument);
  location_ = v == adUseNone ? adUseServer : v;
  return S_OK;
}
HRESULT AdoRecordset::raw_NextRecordset(VARIANT* recordsAffected, _Recordset** pp) {
  if (!pp) return E_POINTER;
  *pp = nullptr;
  HRESULT hr = CheckOpen();
  if (FAILED(hr)) return hr;
  // Statements after the first row-returning one are not run (see SqliteProvider.h): there is no
  // next result. The current recordset is closed, as ADO closes it.
  if (recordsAffected) {
    VariantClear(recordsAffected);
    recordsAffected->vt = VT_I4;
    recordsAffected->lVal = -1;
  }
  return raw_Close();
}
HRESULT AdoRecordset::raw_Supports(CursorOptionEnum options, VARIANT_BOOL* pb) {
  if (!pb) return E_POINTER;
  HRESULT hr = CheckOpen();
  if (FAILED(hr)) return hr;
  LONG s = adFind;
  s |= cursor_->Options();
  if (writeBack_.Updatable()) s |= adAddNew | adDelete | adUpdate;
  if (writeBack_.Updatable() && lockType_ == adLockBatchOptimistic) s |= adUpdateBatch;
  *pb = (s & options) == options ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}
HRESULT AdoRecordset::get_MarshalOptions(MarshalOptionsEnum* p) {
  return Out(p, marshal_);
}
HRESULT AdoRecordset::put_MarshalOptions(MarshalOptionsEnum v) {
  marshal_ = v;
  return S_OK;
}
HRESULT AdoRecordset::raw_Cancel() {
  if (conn_ && conn_->IsOpen()) conn_->Session()->Interrupt();
  return S_OK;
}
HRESULT AdoRecordset::get_DataSource(IUnknown** pp) {
  if (pp) *pp = nullptr;
  return KP_NOT_IMPLEMENTED("Recordset::DataSource", "get");
}
HRESULT AdoRecordset::putref_DataSource(IUnknown* p) {
  return KP_NOT_IMPLEMENTED("Recordset::DataSource", "putref %p", (void*)p);
}
HRESULT AdoRecordset::get_ActiveCommand(IDispatch** pp) {
  if (!pp) return E_POINTER;
  *pp = activeCommand_;
  if (activeCommand_) activeCommand_->AddRef();
  return S_OK;
}
HRESULT AdoRecordset::put_StayInSync(VARIANT_BOOL v) {
  stayInSync_ = v;
  return S_OK;
}
HRESULT AdoRecordset::get_StayInSync(VARIANT_BOOL* p) {
  return Out(p, stayInSync_);
}
HRESULT AdoRecordset::get_DataMember(BSTR* p) {
  if (p) *p = nullptr;
  return KP_NOT_IMPLEMENTED("Recordset::DataMember", "get");
}
HRESULT AdoRecordset::put_DataMember(BSTR v) {
  return KP_NOT_IMPLEMENTED("Recordset::DataMember", "put %s", ToUtf8(BstrView(v)).c_str());
}
HRESULT AdoRecordset::raw_Resync(AffectEnum affect, ResyncEnum resync) {
  return KP_NOT_IMPLEMENTED("Recordset::Resync", "affect %d, resync %d", (int)affect, (int)resync);
}
HRESULT AdoRecordset::raw_Seek(VARIANT, SeekEnum option) {
  return KP_NOT_IMPLEMENTED("Recordset::Seek", "option %d", (int)option);
}
HRESULT AdoRecordset::put_Index(BSTR v) {
  return KP_NOT_IMPLEMENTED("Recordset::Index", "put %s", ToUtf8(BstrView(v)).c_str());
}
HRESULT AdoRecordset::get_Index(BSTR* p) {
  if (p) *p = nullptr;
  return KP_NOT_IMPLEMENTED("Recordset::Index", "get");
}

}  // namespace kp::ado
