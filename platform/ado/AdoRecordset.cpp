// The Recordset object (see AdoRecordset.h).
#include "AdoRecordset.h"

#include <oleauto.h>

#include <algorithm>
#include <cstring>

#include "AdoCommand.h"
#include "AdoConnection.h"
#include "AdoError.h"
#include "AdoFields.h"
#include "ConnectionString.h"
#include "Criteria.h"
#include "OleDbErrors.h"
#include "PersistXml.h"
#include "SortSpec.h"
#include "TextUtil.h"
#include "ValueConversion.h"

namespace kp::ado {
namespace {

constexpr const char16_t* kRowIdAlias = u"__kp_rowid";
constexpr const char16_t* kNotUpdatable =
    u"Current Recordset does not support updating. This may be a limitation of the provider, or of the "
    u"selected locktype.";

const VARIANT& Deref(const VARIANT& v) {
  return (v.vt == (VT_BYREF | VT_VARIANT) && v.pvarVal) ? *v.pvarVal : v;
}
bool Missing(const VARIANT& v) {
  const VARIANT& d = Deref(v);
  return d.vt == VT_EMPTY || (d.vt == VT_ERROR && d.scode == DISP_E_PARAMNOTFOUND);
}

template <class T>
HRESULT Out(T* p, T v) {
  if (!p) return E_POINTER;
  *p = v;
  return S_OK;
}

// A list of VARIANTs from one value or an array of them (AddNew/Update/GetRows arguments).
std::vector<VARIANT> ListOf(const VARIANT& in) {
  std::vector<VARIANT> out;
  const VARIANT& v = Deref(in);
  if ((v.vt & VT_ARRAY) && v.parray) {
    LONG lo = 0, hi = -1;
    SafeArrayGetLBound(v.parray, 1, &lo);
    SafeArrayGetUBound(v.parray, 1, &hi);
    for (LONG i = lo; i <= hi; ++i) {
      VARIANT e;
      VariantInit(&e);
      if ((v.vt & VT_TYPEMASK) == VT_VARIANT) {
        SafeArrayGetElement(v.parray, &i, &e);
      } else {
        e.vt = v.vt & VT_TYPEMASK;
        SafeArrayGetElement(v.parray, &i, &e.llVal);
      }
      out.push_back(e);
    }
  } else {
    VARIANT e;
    VariantInit(&e);
    VariantCopy(&e, &v);
    out.push_back(e);
  }
  return out;
}
// An omitted optional argument, as a caller passes it.
VARIANT MissingArg() {
  VARIANT m;
  VariantInit(&m);
  m.vt = VT_ERROR;
  m.scode = DISP_E_PARAMNOTFOUND;
  return m;
}

void ClearAll(std::vector<VARIANT>& v) {
  for (auto& e : v) VariantClear(&e);
  v.clear();
}

}  // namespace

AdoRecordset::AdoRecordset() {
  VariantInit(&filter_);
}

AdoRecordset::~AdoRecordset() {
  Detach();
  if (activeCommand_) activeCommand_->Release();
  VariantClear(&filter_);
}

void AdoRecordset::Detach() {
  if (fields_) {
    fields_->Detach();
    fields_->Release();
    fields_ = nullptr;
  }
  cursor_.reset();
  rows_.reset();
  columns_ = nullptr;
  fieldMap_.clear();
  view_.clear();
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
    AdoConnection* c = conn_;
    conn_ = nullptr;
    Detach();
    c->Release();
  }
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

bool AdoRecordset::Bof() const {
  if (!client()) return !serverHasRow_ && serverRowNumber_ == 0;
  return view_.empty() || pos_ < 0;
}

bool AdoRecordset::Eof() const {
  if (!client()) return !serverHasRow_;
  return view_.empty() || pos_ >= (long)view_.size();
}

long AdoRecordset::CurrentRow() const {
  if (!client() || pos_ < 0 || pos_ >= (long)view_.size()) return -1;
  return (long)view_[pos_];
}

const Cell* AdoRecordset::CurrentCells() const {
  if (editMode_ == adEditAdd || editMode_ == adEditInProgress) return edit_.data();
  if (!client()) return serverHasRow_ ? serverRow_.data() : nullptr;
  long r = CurrentRow();
  if (r < 0 || rows_->Deleted(r)) return nullptr;
  return rows_->Cells(r);
}

HRESULT AdoRecordset::CheckCurrent() const {
  HRESULT hr = CheckOpen();
  if (FAILED(hr)) return hr;
  return CurrentCells() ? S_OK : Fail(adErrNoCurrentRecord);
}

int AdoRecordset::FieldIndex(std::u16string_view name) const {
  for (size_t f = 0; f < fieldMap_.size(); ++f)
    if (EqualsNoCase((*columns_)[fieldMap_[f]].name, name)) return (int)f;
  return -1;
}

int AdoRecordset::ResolveField(const VARIANT& index) const {
  const VARIANT& v = Deref(index);
  if (v.vt == VT_BSTR) return FieldIndex(BstrView(v.bstrVal));
  VARIANT n;
  VariantInit(&n);
  if (FAILED(VariantChangeType(&n, &v, 0, VT_I4))) return -1;
  return n.lVal >= 0 && n.lVal < FieldCount() ? n.lVal : -1;
}

size_t AdoRecordset::RowBytes() const {
  return rows_ ? rows_->BytesUsed() : 0;
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
  if (client()) {
    cursorType_ = adOpenStatic;
    rows_ = std::make_shared<RowSet>(cols);
    RowSet& rs = *rows_;
    size_t n = cols.size();
    for (;;) {
      if (maxRecords_ > 0 && (LONG)rs.RowCount() >= maxRecords_) break;
      HRESULT hr = conn_->FaultTick();
      if (FAILED(hr)) return hr;
      ProviderError err;
      hr = cursor->Next(err);
      if (FAILED(hr)) return conn_->RaiseProvider(err);
      if (hr == S_FALSE) break;
      size_t r = rs.AppendRow();
      Cell* cells = rs.Cells(r);
      for (size_t c = 0; c < n; ++c) cursor->Read(c, cells[c], rs.arena());
    }
    // Columns typed at the first row by the cursor: copy the final metadata.
    rs.Columns() = cursor->Columns();
    columns_ = &rs.Columns();
  } else {
    cursorType_ = adOpenForwardOnly;
    lockType_ = adLockReadOnly;
    cursor_ = std::move(cursor);
    columns_ = &cursor_->Columns();
    serverRow_.assign(columns_->size(), Cell());
    serverRowNumber_ = 0;
    serverHasRow_ = false;
  }
  fieldMap_.clear();
  for (size_t i = 0; i < columns_->size(); ++i)
    if (!(*columns_)[i].hidden) fieldMap_.push_back((int)i);
  HRESULT analysed = AnalyseUpdatability();
  if (FAILED(analysed)) return analysed;
  FinishOpen();
  if (!client()) {
    HRESULT hr = FetchServerRow();
    if (FAILED(hr)) {
      raw_Close();
      return hr;
    }
  }
  return S_OK;
}

void AdoRecordset::FinishOpen() {
  open_ = true;
  if (conn_) conn_->Attach(this);
  if (fields_) {
    fields_->Detach();
    fields_->Release();
  }
  fields_ = new AdoFields(this);
  VariantClear(&filter_);
  sort_.clear();
  ResetView();
}

HRESULT AdoRecordset::AnalyseUpdatability() {
  updatable_ = false;
  table_.clear();
  keyCols_.clear();
  rowidCol_ = -1;
  std::vector<ColumnInfo>& cols = *columns_;
  if (client() && lockType_ != adLockReadOnly && conn_) {
    bool one = true;
    for (auto& c : cols) {
      if (c.rowId || c.baseTable.empty()) continue;
      if (table_.empty())
        table_ = c.baseTable;
      else if (!EqualsNoCase(table_, c.baseTable))
        one = false;
    }
    if (one && !table_.empty()) {
      updatable_ = true;
      std::vector<std::u16string> keys;
      bool hasRowId = false;
      ProviderError err;
      // Without the whole key, edits could not be told to change their own row only.
      if (FAILED(conn_->Session()->TableKey(table_, keys, hasRowId, err))) {
        updatable_ = false;
        return conn_->RaiseProvider(err);
      }
      for (const auto& k : keys) {
        int found = -1;
        for (size_t i = 0; i < cols.size(); ++i)
          if (!cols[i].rowId && EqualsNoCase(cols[i].baseColumn, k)) found = (int)i;
        if (found < 0) {
          keyCols_.clear();
          break;
        }
        keyCols_.push_back(found);
      }
      // Key columns are key fields (adFldKeyColumn) even where the cursor could not tell.
      for (int k : keyCols_) cols[k].primaryKey = true;
      for (size_t i = 0; i < cols.size(); ++i)
        if (cols[i].rowId) rowidCol_ = hasRowId ? (int)i : -1;
    }
  }
  if (!conn_ && client()) updatable_ = lockType_ != adLockReadOnly;  // persisted: local edits
  for (auto& c : cols)
    c.ComputeAttributes(updatable_ &&
                        (!conn_ || (!c.baseTable.empty() && EqualsNoCase(c.baseTable, table_))));
  return S_OK;
}

HRESULT AdoRecordset::FetchServerRow(bool counted) {
  HRESULT hr = conn_ && !counted ? conn_->FaultTick() : S_OK;
  if (FAILED(hr)) return hr;
  if (maxRecords_ > 0 && serverRowNumber_ >= maxRecords_) {
    serverHasRow_ = false;
    return S_OK;
  }
  ProviderError err;
  hr = cursor_->Next(err);
  if (FAILED(hr)) {
    serverHasRow_ = false;
    return conn_->RaiseProvider(err);
  }
  EndChunkSequence();
  if (hr == S_FALSE) {
    serverHasRow_ = false;
    if (serverRowNumber_ == 0) serverRowNumber_ = 0;
    return S_OK;
  }
  serverArena_.Reset();
  for (size_t c = 0; c < serverRow_.size(); ++c) cursor_->Read(c, serverRow_[c], serverArena_);
  serverHasRow_ = true;
  ++serverRowNumber_;
  return S_OK;
}

HRESULT AdoRecordset::LoadFile(const std::u16string& path) {
  std::vector<PersistColumn> pcols;
  std::vector<PersistRow> prows;
  std::u16string description;
  HRESULT hr = PersistXml::Load(ToUtf8(path), pcols, prows, &description);
  if (FAILED(hr)) return SetError(hr, kSrcRecordset, description);
  std::vector<ColumnInfo> cols;
  for (const PersistColumn& p : pcols) {
    ColumnInfo c;
    c.name = p.name;
    c.SetAdoType(p.type, p.definedSize, p.precision, p.scale);
    c.notNull = !(p.attributes & adFldIsNullable) && p.attributes != 0;
    c.primaryKey = p.keyColumn;
    c.baseTable = p.baseTable;
    c.baseColumn = p.baseColumn;
    cols.push_back(c);
  }
  location_ = adUseClient;
  cursorType_ = adOpenStatic;
  lockType_ = adLockBatchOptimistic;
  rows_ = std::make_shared<RowSet>(cols);
  for (const PersistRow& pr : prows) {
    size_t r = rows_->AppendRow();
    for (size_t c = 0; c < cols.size() && c < pr.values.size(); ++c) {
      Cell cell;
      if (SUCCEEDED(ValueConversion::VariantToCell(pr.values[c], nullptr, rows_->arena(), cell)))
        rows_->Cells(r)[c] = cell;
    }
    if (pr.state == RowState::Deleted) rows_->MarkDeleted(r);
  }
  PersistXml::Clear(prows);
  columns_ = &rows_->Columns();
  fieldMap_.clear();
  for (size_t i = 0; i < columns_->size(); ++i) fieldMap_.push_back((int)i);
  source_ = path;
  AnalyseUpdatability();
  FinishOpen();
  return S_OK;
}

HRESULT AdoRecordset::raw_Open(VARIANT source, VARIANT connection, CursorTypeEnum cursorType,
                               LockTypeEnum lockType, LONG options) {
  if (open_) return Fail(adErrObjectOpen);
  if (cursorType != adOpenUnspecified) cursorType_ = cursorType;
  if (lockType != adLockUnspecified) lockType_ = lockType;
  const VARIANT& src = Deref(source);
  const VARIANT& cn = Deref(connection);
  LONG type = options == adCmdUnspecified ? -1 : (options & 0x30F);
  // The source: a Command object runs through the command, into this recordset.
  if ((src.vt == VT_DISPATCH || src.vt == VT_UNKNOWN) && src.punkVal) {
    _Command* cmd = nullptr;
    if (FAILED(src.punkVal->QueryInterface(__uuidof(_Command), reinterpret_cast<void**>(&cmd))) || !cmd)
      return Fail(adErrInvalidArgument);
    auto* mine = dynamic_cast<AdoCommand*>(cmd);
    HRESULT hr = mine ? mine->ExecuteInto(this, options) : Fail(adErrInvalidArgument);
    cmd->Release();
    return hr;
  }
  std::u16string text = src.vt == VT_BSTR ? std::u16string(BstrView(src.bstrVal)) : source_;
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
  LONG affected = -1;
  return Prepare(conn_, text, {}, type, conn_->CommandTimeout(), nullptr, affected);
}

HRESULT AdoRecordset::raw_Requery(LONG) {
  HRESULT hr = CheckOpen();
  if (FAILED(hr)) return hr;
  if (editMode_ != adEditNone) return Fail(adErrIllegalOperation);
  if (!conn_) return Fail(adErrInvalidConnection);
  AdoConnection* conn = conn_;
  conn->AddRef();
  std::u16string sql = sql_;
  std::vector<Cell> params = params_;
  auto arena = std::move(paramArena_);
  auto decl = declTypes_;
  CursorTypeEnum ct = cursorType_;
  LockTypeEnum lt = lockType_;
  raw_Close();
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
  Detach();
  return S_OK;
}

// ---- Views and positions ---------------------------------------------------------------------

void AdoRecordset::ResetView() {
  EndChunkSequence();  // a new view: the cursor goes to its first row
  view_.clear();
  if (rows_)
    for (size_t r = 0; r < rows_->RowCount(); ++r)
      if (!rows_->Deleted(r)) view_.push_back((uint32_t)r);
  if (rows_) purgedAt_ = rows_->Deletions();
  pos_ = 0;
}

HRESULT AdoRecordset::RowVariants(size_t row, const std::vector<int>& fields, std::vector<VARIANT>& out) {
  out.resize(FieldCount());
  for (auto& v : out) VariantInit(&v);
  const Cell* cells = rows_->Cells(row);
  for (int f : fields)
    if (f >= 0) ValueConversion::CellToVariant(FieldColumn(f), cells[fieldMap_[f]], &out[f]);
  return S_OK;
}

HRESULT AdoRecordset::ApplyView() {
  ResetView();
  const VARIANT& flt = filter_;
  auto indexOf = [this](std::u16string_view n) { return FieldIndex(n); };
  auto typeOf = [this](int f) { return FieldColumn(f).type; };
  std::u16string description;
  if (flt.vt == VT_BSTR && !Trim(BstrView(flt.bstrVal)).empty()) {
    Criteria crit;
    HRESULT hr = Criteria::ParseFilter(BstrView(flt.bstrVal), crit, &description);
    if (SUCCEEDED(hr)) hr = crit.Bind(indexOf, typeOf);
    if (FAILED(hr)) return SetError(hr, kSrcRecordset, description.empty() ? AdoErrorText(hr) : description);
    std::vector<int> used;
    for (auto& n : crit.FieldNames()) used.push_back(FieldIndex(n));
    std::vector<uint32_t> kept;
    std::vector<VARIANT> vals;
    for (uint32_t r : view_) {
      RowVariants(r, used, vals);
      if (crit.Matches([&](int f) -> const VARIANT* { return &vals[f]; })) kept.push_back(r);
      ClearAll(vals);
    }
    view_.swap(kept);
  } else if (flt.vt == VT_I4 || flt.vt == VT_I2) {
    LONG g = flt.vt == VT_I4 ? flt.lVal : flt.iVal;
    if (g == adFilterAffectedRecords) {
      std::vector<uint32_t> kept;
      for (uint32_t r : view_)
        if (std::find(affected_.begin(), affected_.end(), r) != affected_.end()) kept.push_back(r);
      view_.swap(kept);
    } else if (g == adFilterPendingRecords || g == adFilterConflictingRecords) {
      view_.clear();  // immediate mode: nothing is pending or in conflict
    }
  } else if ((flt.vt & VT_ARRAY) && flt.parray) {
    std::vector<VARIANT> marks = ListOf(flt);
    std::vector<uint32_t> kept;
    for (auto& m : marks) {
      long p;
      if (SUCCEEDED(PositionFromBookmark(m, p)) && p >= 0) kept.push_back(view_[p]);
    }
    ClearAll(marks);
    view_.swap(kept);
  }
  if (!sort_.empty()) {
    SortSpec order;
    HRESULT hr = SortSpec::Parse(sort_, order, &description);
    if (SUCCEEDED(hr)) hr = order.Bind(indexOf);
    if (FAILED(hr)) return SetError(hr, kSrcRecordset, description.empty() ? AdoErrorText(hr) : description);
    std::vector<int> used;
    for (auto& k : order.Keys()) used.push_back(k.index);
    std::vector<std::vector<VARIANT>> keys(rows_->RowCount());
    for (uint32_t r : view_) RowVariants(r, used, keys[r]);
    std::stable_sort(view_.begin(), view_.end(), [&](uint32_t a, uint32_t b) {
      return order.Compare([&](int f) -> const VARIANT* { return &keys[a][f]; },
                           [&](int f) -> const VARIANT* { return &keys[b][f]; }) < 0;
    });
    for (auto& k : keys) ClearAll(k);
  }
  pos_ = 0;
  return S_OK;
}

void AdoRecordset::PurgeDeleted(bool& currentWasDeleted) {
  currentWasDeleted = false;
  if (!client() || !rows_ || rows_->Deletions() == purgedAt_) return;  // nothing deleted since
  std::vector<uint32_t> kept;
  long newPos = pos_;
  for (long i = 0; i < (long)view_.size(); ++i) {
    if (rows_->Deleted(view_[i])) {
      if (i < pos_) --newPos;
      if (i == pos_) currentWasDeleted = true;
    } else {
      kept.push_back(view_[i]);
    }
  }
  view_.swap(kept);
  pos_ = newPos;
  purgedAt_ = rows_->Deletions();
}

HRESULT AdoRecordset::BeforeMove() {
  HRESULT hr = CheckOpen();
  if (FAILED(hr)) return hr;
  if (editMode_ == adEditAdd || editMode_ == adEditInProgress) {
    hr = raw_Update(MissingArg(), MissingArg());  // moving away saves the pending edit, as ADO does
    if (FAILED(hr)) return hr;
  }
  EndChunkSequence();
  return conn_ ? conn_->FaultTick() : S_OK;
}

HRESULT AdoRecordset::raw_MoveNext() {
  HRESULT hr = BeforeMove();
  if (FAILED(hr)) return hr;
  if (!client()) {
    if (!serverHasRow_) return Fail(adErrNoCurrentRecord);
    return FetchServerRow(true);
  }
  bool wasDeleted;
  PurgeDeleted(wasDeleted);
  if (Eof() && !wasDeleted) return Fail(adErrNoCurrentRecord);
  if (!wasDeleted) ++pos_;
  if (pos_ > (long)view_.size()) pos_ = (long)view_.size();
  return S_OK;
}

HRESULT AdoRecordset::raw_MovePrevious() {
  HRESULT hr = BeforeMove();
  if (FAILED(hr)) return hr;
  if (!client()) return Fail(adErrFeatureNotAvailable);
  bool wasDeleted;
  PurgeDeleted(wasDeleted);
  if (Bof()) return Fail(adErrNoCurrentRecord);
  --pos_;
  if (pos_ < -1) pos_ = -1;
  return S_OK;
}

HRESULT AdoRecordset::raw_MoveFirst() {
  HRESULT hr = BeforeMove();
  if (FAILED(hr)) return hr;
  if (!client()) {
    // A forward-only cursor starts over by running the query again.
    std::unique_ptr<ProviderCursor> cursor;
    LONG affected;
    hr = conn_->Run(sql_, params_, timeout_, cursor, affected);
    if (FAILED(hr)) return hr;
    if (!cursor) return Fail(adErrProviderFailed);
    // Keep the column metadata of the first run (Field objects refer to it).
    std::vector<ColumnInfo> cols = *columns_;
    cursor_ = std::move(cursor);
    cursor_->Columns() = cols;
    columns_ = &cursor_->Columns();
    serverRowNumber_ = 0;
    return FetchServerRow(true);
  }
  bool wasDeleted;
  PurgeDeleted(wasDeleted);
  if (view_.empty()) return Fail(adErrNoCurrentRecord);
  pos_ = 0;
  return S_OK;
}

HRESULT AdoRecordset::raw_MoveLast() {
  HRESULT hr = BeforeMove();
  if (FAILED(hr)) return hr;
  if (!client()) return Fail(adErrFeatureNotAvailable);
  bool wasDeleted;
  PurgeDeleted(wasDeleted);
  if (view_.empty()) return Fail(adErrNoCurrentRecord);
  pos_ = (long)view_.size() - 1;
  return S_OK;
}

HRESULT AdoRecordset::PositionFromBookmark(const VARIANT& bookmark, long& pos) const {
  const VARIANT& b = Deref(bookmark);
  VARIANT d;
  VariantInit(&d);
  if (b.vt != VT_R8 && FAILED(VariantChangeType(&d, &b, 0, VT_R8))) return Fail(adErrInvalidArgument);
  double v = b.vt == VT_R8 ? b.dblVal : d.dblVal;
  long row = (long)v - 1;
  for (size_t i = 0; i < view_.size(); ++i)
    if ((long)view_[i] == row) {
      pos = (long)i;
      return S_OK;
    }
  return Fail(adErrInvalidArgument);
}

HRESULT AdoRecordset::raw_Move(LONG n, VARIANT start) {
  if (!client()) {
    if (n < 0) {
      HRESULT hr = CheckOpen();
      return FAILED(hr) ? hr : Fail(adErrFeatureNotAvailable);
    }
    if (!Missing(start)) return Fail(adErrFeatureNotAvailable);
    if (n == 0) return CheckCurrent();
    for (LONG i = 0; i < n; ++i) {
      HRESULT hr = raw_MoveNext();
      if (FAILED(hr)) return hr;
      if (!serverHasRow_) break;
    }
    return S_OK;
  }
  HRESULT hr = BeforeMove();
  if (FAILED(hr)) return hr;
  bool wasDeleted;
  PurgeDeleted(wasDeleted);
  long base = pos_;
  const VARIANT& s = Deref(start);
  if (!Missing(s)) {
    if (s.vt == VT_I4 || s.vt == VT_I2) {
      LONG k = s.vt == VT_I4 ? s.lVal : s.iVal;
      base = k == adBookmarkFirst ? 0 : k == adBookmarkLast ? (long)view_.size() - 1 : pos_;
    } else {
      hr = PositionFromBookmark(s, base);
      if (FAILED(hr)) return hr;
    }
  } else {
    if (view_.empty()) return Fail(adErrNoCurrentRecord);
    if (n == 0 && (Bof() || Eof())) return Fail(adErrNoCurrentRecord);
    if (n > 0 && Eof()) return Fail(adErrNoCurrentRecord);
    if (n < 0 && Bof()) return Fail(adErrNoCurrentRecord);
    if (wasDeleted && n > 0) --base;
  }
  long target = base + n;
  if (target < 0) target = -1;
  if (target > (long)view_.size()) target = (long)view_.size();
  pos_ = target;
  return S_OK;
}

HRESULT AdoRecordset::get_BOF(VARIANT_BOOL* pb) {
  if (!pb) return E_POINTER;
  HRESULT hr = CheckOpen();
  if (FAILED(hr)) return hr;
  *pb = Bof() ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

HRESULT AdoRecordset::get_adoEOF(VARIANT_BOOL* pb) {
  if (!pb) return E_POINTER;
  HRESULT hr = CheckOpen();
  if (FAILED(hr)) return hr;
  *pb = Eof() ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

HRESULT AdoRecordset::get_RecordCount(LONG* p) {
  if (!p) return E_POINTER;
  HRESULT hr = CheckOpen();
  if (FAILED(hr)) return hr;
  if (!client()) {
    *p = -1;
    return S_OK;
  }
  LONG n = (LONG)view_.size();
  if (rows_->Deletions() != purgedAt_) {
    n = 0;
    for (uint32_t r : view_)
      if (!rows_->Deleted(r)) ++n;
  }
  *p = n;
  return S_OK;
}

HRESULT AdoRecordset::get_AbsolutePosition(PositionEnum* p) {
  if (!p) return E_POINTER;
  HRESULT hr = CheckOpen();
  if (FAILED(hr)) return hr;
  if (!client())
    *p = adPosUnknown;
  else if (view_.empty())
    *p = adPosUnknown;
  else if (Bof())
    *p = adPosBOF;
  else if (Eof())
    *p = adPosEOF;
  else
    *p = (PositionEnum)(pos_ + 1);
  return S_OK;
}

HRESULT AdoRecordset::put_AbsolutePosition(PositionEnum v) {
  HRESULT hr = BeforeMove();
  if (FAILED(hr)) return hr;
  if (!client()) return Fail(adErrFeatureNotAvailable);
  bool wasDeleted;
  PurgeDeleted(wasDeleted);
  if (v < 1 || v > (LONG)view_.size()) return Fail(adErrInvalidArgument);
  pos_ = v - 1;
  return S_OK;
}

HRESULT AdoRecordset::get_Bookmark(VARIANT* pv) {
  if (!pv) return E_POINTER;
  VariantInit(pv);
  HRESULT hr = CheckOpen();
  if (FAILED(hr)) return hr;
  if (!client()) return Fail(adErrFeatureNotAvailable);
  long r = CurrentRow();
  if (r < 0) return Fail(adErrNoCurrentRecord);
  pv->vt = VT_R8;
  pv->dblVal = (double)(r + 1);
  return S_OK;
}

HRESULT AdoRecordset::put_Bookmark(VARIANT v) {
  HRESULT hr = BeforeMove();
  if (FAILED(hr)) return hr;
  if (!client()) return Fail(adErrFeatureNotAvailable);
  bool wasDeleted;
  PurgeDeleted(wasDeleted);
  long p;
  hr = PositionFromBookmark(v, p);
  if (FAILED(hr)) return hr;
  pos_ = p;
  return S_OK;
}

HRESULT AdoRecordset::raw_CompareBookmarks(VARIANT b1, VARIANT b2, CompareEnum* p) {
  if (!p) return E_POINTER;
  HRESULT hr = CheckOpen();
  if (FAILED(hr)) return hr;
  long p1, p2;
  if (FAILED(PositionFromBookmark(b1, p1)) || FAILED(PositionFromBookmark(b2, p2))) {
    *p = adCompareNotComparable;
    return Fail(adErrInvalidArgument);
  }
  *p = p1 < p2 ? adCompareLessThan : p1 == p2 ? adCompareEqual : adCompareGreaterThan;
  return S_OK;
}

// ---- Field values ----------------------------------------------------------------------------

HRESULT AdoRecordset::GetFieldValue(int f, VARIANT* out) {
  if (!out) return E_POINTER;
  VariantInit(out);
  HRESULT hr = CheckCurrent();
  if (FAILED(hr)) return hr;
  if (f != chunkField_) EndChunkSequence();
  return ValueConversion::CellToVariant(FieldColumn(f), CurrentCells()[fieldMap_[f]], out);
}

HRESULT AdoRecordset::FieldOriginalValue(int f, VARIANT* out) {
  if (!out) return E_POINTER;
  VariantInit(out);
  HRESULT hr = CheckOpen();
  if (FAILED(hr)) return hr;
  if (editMode_ == adEditAdd) {
    out->vt = VT_NULL;
    return S_OK;
  }
  const Cell* cells = client() ? (CurrentRow() >= 0 ? rows_->Cells(CurrentRow()) : nullptr)
                               : (serverHasRow_ ? serverRow_.data() : nullptr);
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
  if (!updatable_) return SetError(AdoErr(adErrFeatureNotAvailable), kSrcRecordset, kNotUpdatable);
  if (!CurrentCells()) return Fail(adErrNoCurrentRecord);
  if (f >= 0 && conn_ && !(FieldColumn(f).attributes & adFldUpdatable))
    return SetError(AdoErr(adErrFeatureNotAvailable), kSrcRecordset, kNotUpdatable);
  return S_OK;
}

HRESULT AdoRecordset::BeginEdit() {
  if (editMode_ == adEditAdd || editMode_ == adEditInProgress) return S_OK;
  const Cell* cells = CurrentCells();
  if (!cells) return Fail(adErrNoCurrentRecord);
  editArena_ = std::make_unique<Arena>(4096);
  edit_.assign(cells, cells + columns_->size());
  for (auto& c : edit_) c = editArena_->Copy(c);
  changed_.assign(columns_->size(), false);
  editMode_ = adEditInProgress;
  return S_OK;
}

void AdoRecordset::ClearEdit() {
  editMode_ = adEditNone;
  edit_.clear();
  changed_.clear();
  editArena_.reset();
  EndChunkSequence();  // the row was saved, cancelled or left
}

void AdoRecordset::EndChunkSequence() {
  chunkField_ = -1;
  chunkOffset_ = 0;
  appending_ = false;
}

HRESULT AdoRecordset::PutFieldValue(int f, const VARIANT& value) {
  HRESULT hr = CheckWritable(f);
  if (FAILED(hr)) return hr;
  hr = BeginEdit();
  if (FAILED(hr)) return hr;
  Cell cell;
  hr = ValueConversion::VariantToCell(value, &FieldColumn(f), *editArena_, cell);
  if (FAILED(hr)) return AdoFail(hr == DISP_E_TYPEMISMATCH ? AdoErr(adErrDataConversion) : hr, kSrcRecordset);
  edit_[fieldMap_[f]] = cell;
  changed_[fieldMap_[f]] = true;
  EndChunkSequence();
  return S_OK;
}

HRESULT AdoRecordset::FieldGetChunk(int f, LONG length, VARIANT* out) {
  if (!out) return E_POINTER;
  VariantInit(out);
  HRESULT hr = CheckCurrent();
  if (FAILED(hr)) return hr;
  const ColumnInfo& col = FieldColumn(f);
  if (!(col.attributes & adFldLong)) return Fail(adErrFeatureNotAvailable);
  if (length < 0) return Fail(adErrInvalidArgument);
  if (chunkField_ != f || appending_) {  // a new sequence
    EndChunkSequence();
    chunkField_ = f;
  }
  VARIANT whole;
  hr = ValueConversion::CellToVariant(col, CurrentCells()[fieldMap_[f]], &whole);
  if (FAILED(hr)) return hr;
  if (whole.vt == VT_NULL) {
    out->vt = VT_NULL;
    return S_OK;
  }
  if (whole.vt == VT_BSTR) {
    std::u16string_view t = BstrView(whole.bstrVal);
    if (chunkOffset_ >= t.size() && !(t.empty() && chunkOffset_ == 0)) {
      out->vt = VT_NULL;  // nothing left
    } else {
      size_t n = std::min<size_t>((size_t)length, t.size() - chunkOffset_);
      out->vt = VT_BSTR;
      out->bstrVal = AllocBstr(t.substr(chunkOffset_, n));
      chunkOffset_ += n;
    }
  } else if (whole.vt == (VT_ARRAY | VT_UI1)) {
    LONG lo = 0, hi = -1;
    SafeArrayGetLBound(whole.parray, 1, &lo);
    SafeArrayGetUBound(whole.parray, 1, &hi);
    size_t total = (size_t)(hi - lo + 1);
    if (chunkOffset_ >= total && !(total == 0 && chunkOffset_ == 0)) {
      out->vt = VT_NULL;
    } else {
      size_t n = std::min<size_t>((size_t)length, total - chunkOffset_);
      BYTE* data = nullptr;
      SafeArrayAccessData(whole.parray, (void**)&data);
      ValueConversion::MakeByteArray(data + chunkOffset_, n, out);
      SafeArrayUnaccessData(whole.parray);
      chunkOffset_ += n;
    }
  } else {
    VariantCopy(out, &whole);
  }
  VariantClear(&whole);
  return S_OK;
}

HRESULT AdoRecordset::FieldAppendChunk(int f, const VARIANT& data) {
  HRESULT hr = CheckWritable(f);
  if (FAILED(hr)) return hr;
  const ColumnInfo& col = FieldColumn(f);
  if (!(col.attributes & adFldLong)) return Fail(adErrFeatureNotAvailable);
  bool first = !(appending_ && chunkField_ == f);
  if (first) {
    hr = PutFieldValue(f, data);  // the first chunk replaces the value
    if (FAILED(hr)) return hr;
    chunkField_ = f;
    appending_ = true;
    return S_OK;
  }
  VARIANT current;
  ValueConversion::CellToVariant(col, edit_[fieldMap_[f]], &current);
  VARIANT joined;
  VariantInit(&joined);
  const VARIANT& d = Deref(data);
  if (current.vt == VT_BSTR && d.vt == VT_BSTR) {
    std::u16string s(BstrView(current.bstrVal));
    s += BstrView(d.bstrVal);
    joined.vt = VT_BSTR;
    joined.bstrVal = AllocBstr(s);
  } else if (current.vt == (VT_ARRAY | VT_UI1) && d.vt == (VT_ARRAY | VT_UI1)) {
    std::vector<BYTE> bytes;
    for (const VARIANT* v : {static_cast<const VARIANT*>(&current), &d}) {
      LONG lo = 0, hi = -1;
      SafeArrayGetLBound(v->parray, 1, &lo);
      SafeArrayGetUBound(v->parray, 1, &hi);
      BYTE* p = nullptr;
      SafeArrayAccessData(v->parray, (void**)&p);
      bytes.insert(bytes.end(), p, p + (hi - lo + 1));
      SafeArrayUnaccessData(v->parray);
    }
    ValueConversion::MakeByteArray(bytes.data(), bytes.size(), &joined);
  } else {
    VariantCopy(&joined, &d);
  }
  VariantClear(&current);
  hr = PutFieldValue(f, joined);
  VariantClear(&joined);
  chunkField_ = f;
  appending_ = true;
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
  if (!updatable_) return SetError(AdoErr(adErrFeatureNotAvailable), kSrcRecordset, kNotUpdatable);
  if (editMode_ == adEditAdd || editMode_ == adEditInProgress) {
    hr = raw_Update(MissingArg(), MissingArg());
    if (FAILED(hr)) return hr;
  }
  bool wasDeleted;
  PurgeDeleted(wasDeleted);
  addReturnPos_ = pos_;
  editArena_ = std::make_unique<Arena>(4096);
  edit_.assign(columns_->size(), Cell());
  changed_.assign(columns_->size(), false);
  editMode_ = adEditAdd;
  EndChunkSequence();
  if (!Missing(fieldList)) return raw_Update(fieldList, values);
  return S_OK;
}

HRESULT AdoRecordset::raw_Update(VARIANT fields, VARIANT values) {
  HRESULT hr = CheckOpen();
  if (FAILED(hr)) return hr;
  if (!Missing(fields)) {
    std::vector<VARIANT> names = ListOf(fields), vals = ListOf(values);
    if (names.size() != vals.size()) {
      ClearAll(names);
      ClearAll(vals);
      return Fail(adErrInvalidArgument);
    }
    for (size_t i = 0; i < names.size() && SUCCEEDED(hr); ++i) {
      int f = ResolveField(names[i]);
      hr = f < 0 ? Fail(adErrItemNotFound) : PutFieldValue(f, vals[i]);
    }
    ClearAll(names);
    ClearAll(vals);
    if (FAILED(hr)) return hr;
  }
  if (editMode_ != adEditAdd && editMode_ != adEditInProgress) return S_OK;  // nothing pending
  hr = WriteEdit();
  if (FAILED(hr)) return hr;
  return S_OK;
}

HRESULT AdoRecordset::KeyWhere(size_t row, std::u16string& where, std::vector<Cell>& params) {
  ProviderSession* s = conn_->Session();
  const Cell* cells = rows_->Cells(row);
  std::vector<int> cols;
  if (!keyCols_.empty()) {
    cols = keyCols_;
  } else if (rowidCol_ >= 0) {
    where = u"rowid = ?";
    params.push_back(cells[rowidCol_]);
    return S_OK;
  } else {
    for (size_t i = 0; i < columns_->size(); ++i)
      if (!(*columns_)[i].baseColumn.empty() && !(*columns_)[i].rowId) cols.push_back((int)i);
  }
  for (int c : cols) {
    if (!where.empty()) where += u" AND ";
    where += s->QuoteIdentifier((*columns_)[c].baseColumn);
    where += keyCols_.empty() ? s->NullSafeEquals() : u" = ?";
    params.push_back(cells[c]);
  }
  return where.empty() ? Fail(adErrFeatureNotAvailable) : S_OK;
}

// The cursor engine's answer when the row an edit or delete is written to cannot be told apart
// from the others: none matches its key, or several share the values that locate it. The write
// has been rolled back.
HRESULT AdoRecordset::RowNotLocated() {
  ProviderError e;
  e.hr = E_FAIL;
  e.sqlState = u"HY000";
  e.source = u"Microsoft Cursor Engine";
  e.description = u"Row cannot be located for updating. Some values may have been changed since it was last read.";
  return conn_->RaiseProvider(e);
}

HRESULT AdoRecordset::WriteEdit() {
  std::vector<ColumnInfo>& cols = *columns_;
  if (!conn_) {
    // A persisted recordset without a connection keeps its edits locally.
    size_t r = editMode_ == adEditAdd ? rows_->AppendRow() : (size_t)CurrentRow();
    for (size_t c = 0; c < cols.size(); ++c)
      if (editMode_ == adEditAdd || changed_[c]) rows_->Set(r, c, edit_[c]);
    if (editMode_ == adEditAdd) {
      view_.push_back((uint32_t)r);
      pos_ = (long)view_.size() - 1;
    }
    affected_ = {(uint32_t)r};
    ClearEdit();
    return S_OK;
  }
  if (!conn_->IsOpen()) return Fail(adErrInvalidConnection);
  ProviderSession* s = conn_->Session();
  std::u16string sql;
  std::vector<Cell> params;
  std::u16string table = s->QuoteIdentifier(table_);
  if (editMode_ == adEditAdd) {
    std::u16string names, marks;
    for (size_t c = 0; c < cols.size(); ++c) {
      if (!changed_[c] || cols[c].rowId || cols[c].baseColumn.empty()) continue;
      if (!names.empty()) names += u", ", marks += u", ";
      names += s->QuoteIdentifier(cols[c].baseColumn);
      marks += u"?";
      params.push_back(edit_[c]);
    }
    sql = names.empty() ? u"INSERT INTO " + table + u" DEFAULT VALUES"
                        : u"INSERT INTO " + table + u" (" + names + u") VALUES (" + marks + u")";
  } else {
    size_t row = (size_t)CurrentRow();
    std::u16string sets;
    for (size_t c = 0; c < cols.size(); ++c) {
      if (!changed_[c] || cols[c].rowId || cols[c].baseColumn.empty()) continue;
      if (!sets.empty()) sets += u", ";
      sets += s->QuoteIdentifier(cols[c].baseColumn) + u" = ?";
      params.push_back(edit_[c]);
    }
    if (sets.empty()) {
      ClearEdit();
      return S_OK;
    }
    std::u16string where;
    HRESULT hr = KeyWhere(row, where, params);
    if (FAILED(hr)) return hr;
    sql = u"UPDATE " + table + u" SET " + sets + u" WHERE " + where;
  }
  LONG affected = 0;
  HRESULT hr = editMode_ == adEditInProgress ? conn_->RunWrite(sql, params, timeout_, true, affected) : [&] {
    std::unique_ptr<ProviderCursor> none;
    return conn_->Run(sql, params, timeout_, none, affected);
  }();
  if (FAILED(hr)) return hr;  // the pending edit stays; nothing changed here
  if (editMode_ == adEditInProgress && affected != 1) return RowNotLocated();
  size_t r;
  if (editMode_ == adEditAdd) {
    r = rows_->AppendRow();
    for (size_t c = 0; c < cols.size(); ++c) {
      Cell v = edit_[c];
      // The generated key: the rowid, an auto-increment column, or a single integer key that
      // the engine filled (SQLite's INTEGER PRIMARY KEY is the rowid).
      bool generated =
          cols[c].rowId ||
          (!changed_[c] && (cols[c].autoIncrement ||
                            (cols[c].primaryKey && keyCols_.size() <= 1 && cols[c].type == adInteger)));
      int64_t id = 0;
      if (generated && s->LastInsertId(table_, cols[c].baseColumn, id)) v = Cell::Int(id);
      rows_->Set(r, c, v);
    }
    view_.push_back((uint32_t)r);
    pos_ = (long)view_.size() - 1;
  } else {
    r = (size_t)CurrentRow();
    for (size_t c = 0; c < cols.size(); ++c)
      if (changed_[c]) rows_->Set(r, c, edit_[c]);
  }
  affected_ = {(uint32_t)r};
  ClearEdit();
  return S_OK;
}

HRESULT AdoRecordset::raw_CancelUpdate() {
  HRESULT hr = CheckOpen();
  if (FAILED(hr)) return hr;
  if (editMode_ == adEditAdd) pos_ = addReturnPos_;
  ClearEdit();
  EndChunkSequence();
  return S_OK;
}

HRESULT AdoRecordset::raw_Delete(AffectEnum affect) {
  HRESULT hr = CheckOpen();
  if (FAILED(hr)) return hr;
  if (!updatable_) return SetError(AdoErr(adErrFeatureNotAvailable), kSrcRecordset, kNotUpdatable);
  if (affect != adAffectCurrent && affect != adAffectGroup) return Fail(adErrInvalidArgument);
  if (editMode_ == adEditAdd) {
    raw_CancelUpdate();
    return S_OK;
  }
  std::vector<long> targets;
  if (affect == adAffectCurrent) {
    if (CurrentRow() < 0 || rows_->Deleted(CurrentRow())) return Fail(adErrNoCurrentRecord);
    targets.push_back(CurrentRow());
  } else {
    for (uint32_t r : view_)
      if (!rows_->Deleted(r)) targets.push_back((long)r);
  }
  ClearEdit();
  affected_.clear();
  for (long r : targets) {
    if (conn_) {
      if (!conn_->IsOpen()) return Fail(adErrInvalidConnection);
      std::u16string where;
      std::vector<Cell> params;
      hr = KeyWhere((size_t)r, where, params);
      if (FAILED(hr)) return hr;
      LONG n = 0;
      hr = conn_->RunWrite(u"DELETE FROM " + conn_->Session()->QuoteIdentifier(table_) + u" WHERE " + where,
                           params, timeout_, false, n);
      if (FAILED(hr)) return hr;
      if (n > 1) return RowNotLocated();  // rolled back: the row's values are not its own
    }
    rows_->MarkDeleted((size_t)r);
    affected_.push_back((uint32_t)r);
  }
  return S_OK;
}

HRESULT AdoRecordset::get_EditMode(EditModeEnum* p) {
  if (!p) return E_POINTER;
  HRESULT hr = CheckOpen();
  if (FAILED(hr)) return hr;
  if (editMode_ == adEditNone && client() && CurrentRow() >= 0 && rows_->Deleted(CurrentRow()))
    *p = adEditDelete;
  else
    *p = editMode_;
  return S_OK;
}

HRESULT AdoRecordset::get_Status(LONG* p) {
  if (!p) return E_POINTER;
  HRESULT hr = CheckOpen();
  if (FAILED(hr)) return hr;
  if (editMode_ == adEditAdd)
    *p = adRecNew;
  else if (editMode_ == adEditInProgress)
    *p = adRecModified;
  else if (client() && CurrentRow() >= 0 && rows_->Deleted(CurrentRow()))
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
  if (editMode_ != adEditNone) {
    return raw_Update(MissingArg(), MissingArg());
  }
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
  const VARIANT& d = Deref(v);
  bool none = (d.vt == VT_BSTR && Trim(BstrView(d.bstrVal)).empty()) || d.vt == VT_EMPTY || d.vt == VT_NULL ||
              ((d.vt == VT_I4 || d.vt == VT_I2) && (d.vt == VT_I4 ? d.lVal : d.iVal) == adFilterNone);
  if (!open_) {
    VariantClear(&filter_);
    if (!none) VariantCopy(&filter_, &d);
    return S_OK;
  }
  if (!client()) return none ? S_OK : Fail(adErrFeatureNotAvailable);
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
  if (!none) {
    if (d.vt & VT_ARRAY) {
      // Bookmarks are resolved against the unfiltered rows.
      VARIANT saved;
      VariantInit(&saved);
      ResetView();
      VariantCopy(&filter_, &d);
    } else {
      VariantCopy(&filter_, &d);
    }
  }
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
  if (text.empty()) {
    // Setting "" succeeds whatever the sort was; an open client cursor returns to the original
    // order, on its first row. A pending edit is saved first, as a move saves it; if that fails,
    // so does this (nothing else is done: no fault-switch tick, no fetch).
    if (open_ && client() && (editMode_ == adEditAdd || editMode_ == adEditInProgress)) {
      HRESULT hr = raw_Update(MissingArg(), MissingArg());
      if (FAILED(hr)) return hr;
    }
    sort_.clear();
    if (open_ && client()) return ApplyView();
    return S_OK;
  }
  if (open_ && !client()) return Fail(adErrFeatureNotAvailable);
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
  if (!client()) {
    if (direction == adSearchBackward || !Missing(start)) return Fail(adErrFeatureNotAvailable);
    if (!serverHasRow_) return Fail(adErrNoCurrentRecord);
    for (LONG i = 0; i < skip && serverHasRow_; ++i) {
      hr = FetchServerRow();
      if (FAILED(hr)) return hr;
    }
    while (serverHasRow_) {
      std::vector<VARIANT> vals(FieldCount());
      for (auto& v : vals) VariantInit(&v);
      for (int f : used) ValueConversion::CellToVariant(FieldColumn(f), serverRow_[fieldMap_[f]], &vals[f]);
      bool match = crit.Matches([&](int f) -> const VARIANT* { return &vals[f]; });
      ClearAll(vals);
      if (match) return S_OK;
      hr = FetchServerRow();
      if (FAILED(hr)) return hr;
    }
    return S_OK;
  }
  bool wasDeleted;
  PurgeDeleted(wasDeleted);
  long from = pos_;
  const VARIANT& s = Deref(start);
  if (!Missing(s) && !(s.vt == VT_BSTR && BstrView(s.bstrVal).empty())) {
    if (s.vt == VT_I4 || s.vt == VT_I2) {
      LONG k = s.vt == VT_I4 ? s.lVal : s.iVal;
      from = k == adBookmarkFirst ? 0 : k == adBookmarkLast ? (long)view_.size() - 1 : pos_;
    } else {
      hr = PositionFromBookmark(s, from);
      if (FAILED(hr)) return hr;
    }
  } else if (Bof() || Eof()) {
    return Fail(adErrNoCurrentRecord);
  }
  std::vector<VARIANT> vals;
  for (long i = from + skip * (long)direction; i >= 0 && i < (long)view_.size(); i += direction) {
    RowVariants(view_[i], used, vals);
    bool match = crit.Matches([&](int f) -> const VARIANT* { return &vals[f]; });
    ClearAll(vals);
    if (match) {
      pos_ = i;
      return S_OK;
    }
  }
  pos_ = direction == adSearchForward ? (long)view_.size() : -1;
  return S_OK;
}

HRESULT AdoRecordset::raw_Clone(LockTypeEnum lockType, _Recordset** pp) {
  if (!pp) return E_POINTER;
  *pp = nullptr;
  HRESULT hr = CheckOpen();
  if (FAILED(hr)) return hr;
  if (!client()) return Fail(adErrFeatureNotAvailable);
  if (lockType != adLockUnspecified && lockType != adLockReadOnly) return Fail(adErrInvalidArgument);
  auto* c = new AdoRecordset();
  c->conn_ = conn_;
  if (conn_) conn_->AddRef();
  c->location_ = location_;
  c->cursorType_ = cursorType_;
  c->lockType_ = lockType == adLockReadOnly ? adLockReadOnly : lockType_;
  c->source_ = source_;
  c->sql_ = sql_;
  c->paramArena_ = std::make_unique<Arena>(4096);
  for (const Cell& p : params_) c->params_.push_back(c->paramArena_->Copy(p));
  c->cmdType_ = cmdType_;
  c->timeout_ = timeout_;
  c->declTypes_ = declTypes_;
  c->rows_ = rows_;
  c->columns_ = &rows_->Columns();
  c->fieldMap_ = fieldMap_;
  c->updatable_ = updatable_ && c->lockType_ != adLockReadOnly;
  c->table_ = table_;
  c->keyCols_ = keyCols_;
  c->rowidCol_ = rowidCol_;
  c->FinishOpen();
  *pp = c;
  return S_OK;
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
  if (Missing(fields)) {
    for (int f = 0; f < FieldCount(); ++f) which.push_back(f);
  } else {
    std::vector<VARIANT> list = ListOf(fields);
    for (auto& v : list) which.push_back(ResolveField(v));
    ClearAll(list);
    for (int f : which)
      if (f < 0) return Fail(adErrItemNotFound);
  }
  if (!Missing(start)) {
    hr = raw_Move(0, start);
    if (FAILED(hr)) return hr;
  }
  if (Eof() || Bof()) return Fail(adErrNoCurrentRecord);
  std::vector<std::vector<VARIANT>> got;
  while (!Eof() && (rows < 0 || (LONG)got.size() < rows)) {
    std::vector<VARIANT> row(which.size());
    for (size_t i = 0; i < which.size(); ++i) GetFieldValue(which[i], &row[i]);
    got.push_back(std::move(row));
    hr = raw_MoveNext();
    if (FAILED(hr)) {
      for (auto& r : got) ClearAll(r);
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
  for (auto& r : got) ClearAll(r);
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
  if (Eof()) return Fail(adErrNoCurrentRecord);
  std::u16string col = BstrView(columnDelimiter).empty() ? u"\t" : std::u16string(BstrView(columnDelimiter));
  std::u16string row = BstrView(rowDelimiter).empty() ? u"\r" : std::u16string(BstrView(rowDelimiter));
  std::u16string null(BstrView(nullExpr));
  std::u16string out;
  LONG done = 0;
  while (!Eof() && (numRows <= 0 || done < numRows)) {
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
  const VARIANT& d = Deref(destination);
  if (d.vt != VT_BSTR) return Fail(adErrInvalidArgument);
  if (!client()) return Fail(adErrFeatureNotAvailable);
  if (editMode_ == adEditAdd || editMode_ == adEditInProgress) {
    // Save ends on the first row: a pending edit is saved first, as a move saves it.
    hr = raw_Update(MissingArg(), MissingArg());
    if (FAILED(hr)) return hr;
  }
  std::vector<PersistColumn> cols;
  for (int f = 0; f < FieldCount(); ++f) {
    const ColumnInfo& c = FieldColumn(f);
    PersistColumn p;
    p.name = c.name;
    p.type = c.type;
    p.definedSize = c.definedSize;
    p.precision = c.precision == 255 ? 0 : c.precision;
    p.scale = c.scale == 255 ? 0 : c.scale;
    p.attributes = c.attributes;
    p.baseTable = c.baseTable;
    p.baseColumn = c.baseColumn;
    p.keyColumn = c.primaryKey;
    cols.push_back(p);
  }
  std::vector<PersistRow> prows;
  std::vector<int> all;
  for (int f = 0; f < FieldCount(); ++f) all.push_back(f);
  for (uint32_t r : view_) {
    if (rows_->Deleted(r)) continue;
    PersistRow pr;
    RowVariants(r, all, pr.values);
    prows.push_back(std::move(pr));
  }
  std::u16string description;
  hr = PersistXml::Save(ToUtf8(BstrView(d.bstrVal)), cols, prows, false, &description);
  PersistXml::Clear(prows);
  if (FAILED(hr)) return SetError(hr, kSrcRecordset, description);
  pos_ = 0;
  EndChunkSequence();
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
  Trace("Recordset::Properties is not implemented");
  return E_NOTIMPL;
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
  const VARIANT& d = Deref(v);
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
  if (!client() || view_.empty())
    *p = adPosUnknown;
  else if (Bof())
    *p = adPosBOF;
  else if (Eof())
    *p = adPosEOF;
  else
    *p = (PositionEnum)(pos_ / pageSize_ + 1);
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
  if (client()) s |= adHoldRecords | adMovePrevious | adBookmark | adApproxPosition;
  if (updatable_) s |= adAddNew | adDelete | adUpdate;
  if (updatable_ && lockType_ == adLockBatchOptimistic) s |= adUpdateBatch;
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
  Trace("Recordset::DataSource is not implemented");
  return E_NOTIMPL;
}
HRESULT AdoRecordset::putref_DataSource(IUnknown*) {
  Trace("Recordset::DataSource is not implemented");
  return E_NOTIMPL;
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
  Trace("Recordset::DataMember is not implemented");
  return E_NOTIMPL;
}
HRESULT AdoRecordset::put_DataMember(BSTR) {
  Trace("Recordset::DataMember is not implemented");
  return E_NOTIMPL;
}
HRESULT AdoRecordset::raw_Resync(AffectEnum affect, ResyncEnum resync) {
  Trace("Recordset::Resync(%d, %d) is not implemented", (int)affect, (int)resync);
  return E_NOTIMPL;
}
HRESULT AdoRecordset::raw_Seek(VARIANT, SeekEnum option) {
  Trace("Recordset::Seek(option %d) is not implemented", (int)option);
  return E_NOTIMPL;
}
HRESULT AdoRecordset::put_Index(BSTR v) {
  Trace("Recordset::Index = %s is not implemented", ToUtf8(BstrView(v)).c_str());
  return E_NOTIMPL;
}
HRESULT AdoRecordset::get_Index(BSTR* p) {
  if (p) *p = nullptr;
  Trace("Recordset::Index is not implemented");
  return E_NOTIMPL;
}

}  // namespace kp::ado
