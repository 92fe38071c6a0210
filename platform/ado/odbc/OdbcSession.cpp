// A session of the ODBC provider (see OdbcSession.h).
#include "OdbcSession.h"

#include <msado15.tlh>

#include <algorithm>
#include <optional>

#include "AdoText.h"
#include "OdbcCursor.h"
#include "OdbcDiagnostics.h"
#include "SchemaRowset.h"
#include "UtilErrors.h"

namespace kp::ado {
namespace {

SQLWCHAR* W(const std::u16string& s) {
  return reinterpret_cast<SQLWCHAR*>(const_cast<char16_t*>(s.c_str()));
}

std::u16string InfoText(SQLHDBC dbc, SQLUSMALLINT what) {
  SQLWCHAR buf[256];
  SQLSMALLINT bytes = 0;
  if (!SQL_SUCCEEDED(SQLGetInfoW(dbc, what, buf, sizeof buf, &bytes))) return {};
  size_t units = bytes > 0 && bytes < (SQLSMALLINT)sizeof buf ? (size_t)bytes / 2 : 0;
  return OdbcDiagnostics::DriverText(buf, units);
}

bool IsCharacterType(SQLSMALLINT t) {
  return t == SQL_CHAR || t == SQL_VARCHAR || t == SQL_LONGVARCHAR || t == SQL_WCHAR || t == SQL_WVARCHAR ||
         t == SQL_WLONGVARCHAR || t == SQL_UNKNOWN_TYPE;
}

// One row of a catalog result, every column as text (absent for Null).
using TextRow = std::vector<std::optional<std::u16string>>;

HRESULT ReadCatalog(SQLHSTMT st, std::vector<TextRow>& rows, ProviderError& err) {
  SQLSMALLINT n = 0;
  SQLNumResultCols(st, &n);
  for (;;) {
    SQLRETURN rc = SQLFetch(st);
    if (rc == SQL_NO_DATA) return S_OK;
    if (OdbcDiagnostics::Failed(rc, SQL_HANDLE_STMT, st, "SQLFetch", err)) return err.hr;
    TextRow row((size_t)n);
    for (SQLSMALLINT c = 1; c <= n; ++c) {
      SQLWCHAR buf[1024];
      SQLLEN ind = 0;
      rc = SQLGetData(st, (SQLUSMALLINT)c, SQL_C_WCHAR, buf, sizeof buf, &ind);
      if (!SQL_SUCCEEDED(rc) || ind == SQL_NULL_DATA) continue;
      size_t units = ind >= 0 && ind < (SQLLEN)sizeof buf ? (size_t)ind / 2 : sizeof buf / 2 - 1;
      row[(size_t)c - 1] = std::u16string(reinterpret_cast<const char16_t*>(buf), units);
    }
    rows.push_back(std::move(row));
  }
}

int64_t Number(const std::optional<std::u16string>& v) {
  return v ? (int64_t)std::stoll(ToUtf8(*v)) : 0;
}

// Restriction i of an OpenSchema call as text (absent when not given).
std::optional<std::u16string> Restriction(const std::vector<VARIANT>& r, size_t i) {
  if (i < r.size() && r[i].vt == VT_BSTR) return std::u16string(BstrView(r[i].bstrVal));
  return std::nullopt;
}

// The statement's leading keyword, upper-cased.
std::u16string FirstWord(std::u16string_view sql) {
  size_t i = 0;
  while (i < sql.size() && (sql[i] == u' ' || sql[i] == u'\t' || sql[i] == u'\r' || sql[i] == u'\n' ||
                            sql[i] == u'(' || sql[i] == u'{'))
    ++i;
  size_t j = i;
  while (j < sql.size() && ((sql[j] >= u'A' && sql[j] <= u'Z') || (sql[j] >= u'a' && sql[j] <= u'z'))) ++j;
  return ToUpperAscii(sql.substr(i, j - i));
}

// Frees a statement handle when the scope ends, unless released.
struct StatementGuard {
  SQLHSTMT st;
  ~StatementGuard() {
    if (st != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, st);
  }
  SQLHSTMT Release() {
    SQLHSTMT s = st;
    st = SQL_NULL_HSTMT;
    return s;
  }
};

}  // namespace

OdbcSession::OdbcSession(SQLHDBC dbc, bool readOnly) : dbc_(dbc), readOnly_(readOnly) {
  dbms_ = InfoText(dbc_, SQL_DBMS_NAME);
  database_ = InfoText(dbc_, SQL_DATABASE_NAME);
  std::u16string q = InfoText(dbc_, SQL_IDENTIFIER_QUOTE_CHAR);
  quote_ = q.empty() || q[0] == u' ' ? 0 : q[0];
  std::u16string e = InfoText(dbc_, SQL_SEARCH_PATTERN_ESCAPE);
  escape_ = e.empty() ? 0 : e[0];
  SQLGetInfoW(dbc_, SQL_GETDATA_EXTENSIONS, &getDataExtensions_, sizeof getDataExtensions_, nullptr);
  SQLUSMALLINT has = SQL_FALSE;
  procedures_ = InfoText(dbc_, SQL_PROCEDURES) == u"Y";
  describeParam_ = SQL_SUCCEEDED(SQLGetFunctions(dbc_, SQL_API_SQLDESCRIBEPARAM, &has)) && has == SQL_TRUE;
}

OdbcSession::~OdbcSession() {
  SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK);  // an open transaction is not committed
  SQLDisconnect(dbc_);
  SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
}

HRESULT OdbcSession::NewStatement(SQLHSTMT& st, ProviderError& err) {
  SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &st);
  if (OdbcDiagnostics::Failed(rc, SQL_HANDLE_DBC, dbc_, "SQLAllocHandle", err)) return err.hr;
  if (timeout_ > 0) SQLSetStmtAttr(st, SQL_ATTR_QUERY_TIMEOUT, (SQLPOINTER)(SQLULEN)timeout_, 0);
  return S_OK;
}

HRESULT OdbcSession::BindParameters(SQLHSTMT st, const std::vector<Cell>& params,
                                    std::vector<SQLLEN>& lengths, ProviderError& err) {
  SQLSMALLINT count = 0;
  SQLRETURN rc = SQLNumParams(st, &count);
  if (OdbcDiagnostics::Failed(rc, SQL_HANDLE_STMT, st, "SQLNumParams", err)) return err.hr;
  if ((size_t)count > params.size()) {
    err = OdbcDiagnostics::Make(DB_E_PARAMNOTOPTIONAL, u"07002",
                                u"No value given for one or more required parameters.");
    return err.hr;
  }
  lengths.assign((size_t)count, 0);
  static const char16_t kEmpty[1] = {0};
  for (SQLSMALLINT i = 0; i < count; ++i) {
    const Cell& c = params[(size_t)i];
    SQLSMALLINT described = SQL_UNKNOWN_TYPE, digits = 0, nullable = 0;
    SQLULEN size = 0;
    if (describeParam_ &&
        !SQL_SUCCEEDED(SQLDescribeParam(st, (SQLUSMALLINT)(i + 1), &described, &size, &digits, &nullable)))
      described = SQL_UNKNOWN_TYPE;
    SQLSMALLINT cType = SQL_C_WCHAR, sqlType = SQL_WVARCHAR;
    SQLPOINTER data = nullptr;
    SQLLEN bytes = 0;
    SQLLEN& length = lengths[(size_t)i];
    switch (c.kind) {
      case CellKind::Null:
        cType = SQL_C_CHAR, sqlType = described != SQL_UNKNOWN_TYPE ? described : SQL_VARCHAR;
        length = SQL_NULL_DATA;
        break;
      case CellKind::Int:
        cType = SQL_C_SBIGINT, sqlType = SQL_BIGINT, data = const_cast<int64_t*>(&c.i);
        length = sizeof(int64_t);
        break;
      case CellKind::Real:
        cType = SQL_C_DOUBLE, sqlType = SQL_DOUBLE, data = const_cast<double*>(&c.d);
        length = sizeof(double);
        break;
      case CellKind::Text:
        cType = SQL_C_WCHAR, sqlType = c.size > 4000 ? SQL_WLONGVARCHAR : SQL_WVARCHAR;
        data = const_cast<void*>(c.size ? c.p : kEmpty);
        bytes = length = (SQLLEN)c.size * 2;
        break;
      case CellKind::Blob:
        cType = SQL_C_BINARY, sqlType = SQL_LONGVARBINARY, data = const_cast<void*>(c.size ? c.p : kEmpty);
        bytes = length = (SQLLEN)c.size;
        break;
    }
    // The described type carries what the text or number is meant to be (a date, a decimal).
    if (c.kind != CellKind::Null && c.kind != CellKind::Blob && described != SQL_UNKNOWN_TYPE &&
        !IsCharacterType(described) && described != SQL_LONGVARBINARY && described != SQL_VARBINARY &&
        described != SQL_BINARY)
      sqlType = described;
    else
      size = 0, digits = 0;
    if (size == 0)
      size = c.kind == CellKind::Text   ? (c.size ? c.size : 1)
             : c.kind == CellKind::Blob ? (c.size ? c.size : 1)
                                        : 0;
    rc = SQLBindParameter(st, (SQLUSMALLINT)(i + 1), SQL_PARAM_INPUT, cType, sqlType, size, digits, data,
                          bytes, &length);
    if (OdbcDiagnostics::Failed(rc, SQL_HANDLE_STMT, st, "SQLBindParameter", err)) return err.hr;
  }
  return S_OK;
}

HRESULT OdbcSession::Execute(std::u16string_view sql, const std::vector<Cell>& params,
                             std::unique_ptr<ProviderCursor>& cursor, LONG& affected, ProviderError& err) {
  cursor.reset();
  affected = 0;
  warnings_.clear();
  std::u16string word = FirstWord(sql);
  if (word.empty()) {
    err =
        OdbcDiagnostics::Make(DB_E_NOCOMMAND, u"42000", u"Command text was not set for the command object.");
    return err.hr;
  }
  if (readOnly_ && word != u"SELECT") {
    err = OdbcDiagnostics::Make(DB_SEC_E_PERMISSIONDENIED, u"42000",
                                u"The database is open read-only (the MDBTools ODBC driver cannot write); " +
                                    word + u" is not allowed.");
    return err.hr;
  }
  SQLHSTMT raw = SQL_NULL_HSTMT;
  HRESULT hr = NewStatement(raw, err);
  if (FAILED(hr)) return hr;
  StatementGuard st{raw};
  std::u16string text(sql);
  std::vector<SQLLEN> lengths;
  SQLRETURN rc;
  running_ = raw;
  if (params.empty()) {
    rc = SQLExecDirectW(raw, W(text), (SQLINTEGER)text.size());
  } else {
    rc = SQLPrepareW(raw, W(text), (SQLINTEGER)text.size());
    if (SQL_SUCCEEDED(rc)) {
      hr = BindParameters(raw, params, lengths, err);
      if (FAILED(hr)) {
        running_ = SQL_NULL_HSTMT;
        return hr;
      }
      rc = SQLExecute(raw);
    }
  }
  running_ = SQL_NULL_HSTMT;
  SQLINTEGER records = 0;
  if (rc == SQL_SUCCESS_WITH_INFO)
    SQLGetDiagField(SQL_HANDLE_STMT, raw, 0, SQL_DIAG_NUMBER, &records, 0, nullptr);
  if (records > 0) {
    // A warning is no failure: number 0, the driver's SQLSTATE and text.
    ProviderError w = OdbcDiagnostics::Collect(SQL_HANDLE_STMT, raw, rc, "SQLExecute");
    std::vector<ProviderError> further = std::move(w.further);
    w.further.clear();
    warnings_.push_back(std::move(w));
    for (ProviderError& f : further) warnings_.push_back(std::move(f));
    for (ProviderError& f : warnings_) f.hr = S_OK;
  }
  for (;;) {
    if (rc != SQL_NO_DATA && OdbcDiagnostics::Failed(rc, SQL_HANDLE_STMT, raw, "SQLExecute", err))
      return err.hr;
    SQLSMALLINT columns = 0;
    if (rc != SQL_NO_DATA) SQLNumResultCols(raw, &columns);
    if (columns > 0) {
      OdbcCursor::Options options;
      options.getDataExtensions = getDataExtensions_;
      options.bindText = !EqualsAsciiNoCase(dbms_, u"SQLite");
      auto c = std::make_unique<OdbcCursor>(st.Release(), options);
      hr = c->Describe(err);
      if (FAILED(hr)) return hr;
      affected = -1;
      cursor = std::move(c);
      return S_OK;
    }
    SQLLEN n = 0;
    if (rc != SQL_NO_DATA && SQL_SUCCEEDED(SQLRowCount(raw, &n)) && n > 0) affected += (LONG)n;
    rc = SQLMoreResults(raw);
    if (rc == SQL_NO_DATA) break;
  }
  return S_OK;
}

HRESULT OdbcSession::ParameterCount(std::u16string_view sql, int& count, ProviderError& err) {
  SQLHSTMT raw = SQL_NULL_HSTMT;
  HRESULT hr = NewStatement(raw, err);
  if (FAILED(hr)) return hr;
  StatementGuard st{raw};
  std::u16string text(sql);
  SQLRETURN rc = SQLPrepareW(raw, W(text), (SQLINTEGER)text.size());
  SQLSMALLINT n = 0, columns = 0;
  // Some drivers prepare lazily: describing the result makes the server read the statement.
  if (SQL_SUCCEEDED(rc)) rc = SQLNumParams(raw, &n);
  if (SQL_SUCCEEDED(rc)) rc = SQLNumResultCols(raw, &columns);
  if (OdbcDiagnostics::Failed(rc, SQL_HANDLE_STMT, raw, "SQLPrepareW", err)) return err.hr;
  count = n;
  return S_OK;
}

HRESULT OdbcSession::RunSimple(std::u16string_view sql, ProviderError& err) {
  std::unique_ptr<ProviderCursor> none;
  LONG affected = 0;
  bool wasReadOnly = readOnly_;
  readOnly_ = false;  // savepoints are not writes
  HRESULT hr = Execute(sql, {}, none, affected, err);
  readOnly_ = wasReadOnly;
  return hr;
}

HRESULT OdbcSession::SetAutocommit(bool on, ProviderError& err) {
  SQLRETURN rc = SQLSetConnectAttrW(
      dbc_, SQL_ATTR_AUTOCOMMIT, (SQLPOINTER)(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF), SQL_IS_UINTEGER);
  if (OdbcDiagnostics::Failed(rc, SQL_HANDLE_DBC, dbc_, "SQLSetConnectAttr(SQL_ATTR_AUTOCOMMIT)", err))
    return err.hr;
  return S_OK;
}

HRESULT OdbcSession::EndTransaction(SQLSMALLINT how, ProviderError& err) {
  SQLRETURN rc = SQLEndTran(SQL_HANDLE_DBC, dbc_, how);
  if (OdbcDiagnostics::Failed(rc, SQL_HANDLE_DBC, dbc_, "SQLEndTran", err)) return err.hr;
  return SetAutocommit(true, err);
}

HRESULT OdbcSession::Begin(int level, ProviderError& err) {
  if (level == 1) return SetAutocommit(false, err);
  return RunSimple(u"SAVEPOINT kp_level" + Ascii(std::to_string(level).c_str()), err);
}

HRESULT OdbcSession::Commit(int level, ProviderError& err) {
  if (level == 1) return EndTransaction(SQL_COMMIT, err);
  return RunSimple(u"RELEASE SAVEPOINT kp_level" + Ascii(std::to_string(level).c_str()), err);
}

HRESULT OdbcSession::Rollback(int level, ProviderError& err) {
  if (level == 1) return EndTransaction(SQL_ROLLBACK, err);
  std::u16string sp = u"kp_level" + Ascii(std::to_string(level).c_str());
  HRESULT hr = RunSimple(u"ROLLBACK TO SAVEPOINT " + sp, err);
  return FAILED(hr) ? hr : RunSimple(u"RELEASE SAVEPOINT " + sp, err);
}

std::u16string OdbcSession::Pattern(std::u16string_view name) const {
  std::u16string out;
  for (char16_t c : name) {
    if (escape_ && (c == u'_' || c == u'%' || c == escape_)) out.push_back(escape_);
    out.push_back(c);
  }
  return out;
}

HRESULT OdbcSession::Schema(int schema, const std::vector<VARIANT>& r, SchemaQuery& q, ProviderError& err) {
  switch (schema) {
    case adSchemaTables:
      return SchemaTables(r, q, err);
    case adSchemaColumns:
      return SchemaColumns(r, q, err);
    case adSchemaPrimaryKeys:
      return SchemaPrimaryKeys(r, q, err);
    default:
      err = OdbcDiagnostics::Make(AdoErr(adErrFeatureNotAvailable), u"HYC00",
                                  u"Object or provider is not able to perform requested operation.");
      return err.hr;
  }
}

// Runs a catalog function on a new statement and reads its rows.
namespace {
template <class Call>
HRESULT Catalog(SQLHDBC dbc, Call call, std::vector<TextRow>& rows, ProviderError& err, const char* what) {
  SQLHSTMT raw = SQL_NULL_HSTMT;
  SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_STMT, dbc, &raw);
  if (OdbcDiagnostics::Failed(rc, SQL_HANDLE_DBC, dbc, "SQLAllocHandle", err)) return err.hr;
  StatementGuard st{raw};
  rc = call(raw);
  if (OdbcDiagnostics::Failed(rc, SQL_HANDLE_STMT, raw, what, err)) return err.hr;
  return ReadCatalog(raw, rows, err);
}

// Arguments of a catalog function: text or null (all).
struct Arg {
  std::optional<std::u16string> v;
  SQLWCHAR* p() { return v ? W(*v) : nullptr; }
  SQLSMALLINT n() const { return v ? (SQLSMALLINT)v->size() : 0; }
};
}  // namespace

HRESULT OdbcSession::SchemaTables(const std::vector<VARIANT>& r, SchemaQuery& q, ProviderError& err) {
  Arg cat{Restriction(r, 0)}, schem{Restriction(r, 1)}, table{Restriction(r, 2)}, type{Restriction(r, 3)};
  if (schem.v) schem.v = Pattern(*schem.v);
  if (table.v) table.v = Pattern(*table.v);
  std::vector<TextRow> rows;
  HRESULT hr = Catalog(
      dbc_,
      [&](SQLHSTMT st) {
        return SQLTablesW(st, cat.p(), cat.n(), schem.p(), schem.n(), table.p(), table.n(), type.p(),
                          type.n());
      },
      rows, err, "SQLTablesW");
  if (FAILED(hr)) return hr;
  auto out = std::make_unique<SchemaRowset>(adSchemaTables);
  for (const TextRow& row : rows) {
    out->AddRow();
    for (size_t c = 0; c < 4 && c < row.size(); ++c)
      if (row[c]) out->SetText(c, *row[c]);
    if (row.size() > 4 && row[4] && !row[4]->empty()) out->SetText(5, *row[4]);  // REMARKS
  }
  q.cursor = std::move(out);
  return S_OK;
}

HRESULT OdbcSession::SchemaColumns(const std::vector<VARIANT>& r, SchemaQuery& q, ProviderError& err) {
  Arg cat{Restriction(r, 0)}, schem{Restriction(r, 1)}, table{Restriction(r, 2)}, column{Restriction(r, 3)};
  if (schem.v) schem.v = Pattern(*schem.v);
  if (table.v) table.v = Pattern(*table.v);
  if (column.v) column.v = Pattern(*column.v);
  std::vector<TextRow> rows;
  HRESULT hr = Catalog(
      dbc_,
      [&](SQLHSTMT st) {
        return SQLColumnsW(st, cat.p(), cat.n(), schem.p(), schem.n(), table.p(), table.n(), column.p(),
                           column.n());
      },
      rows, err, "SQLColumnsW");
  if (FAILED(hr)) return hr;
  auto out = std::make_unique<SchemaRowset>(adSchemaColumns);
  for (TextRow& row : rows) {
    row.resize(18);
    out->AddRow();
    for (size_t c = 0; c < 4; ++c)
      if (row[c]) out->SetText(c, *row[c]);
    if (row[16]) out->SetInt(6, Number(row[16]));  // ORDINAL_POSITION
    out->SetInt(7, row[12] ? 1 : 0);               // COLUMN_HASDEFAULT
    if (row[12]) out->SetText(8, *row[12]);
    ColumnInfo info;
    SQLULEN size = row[6] ? (SQLULEN)Number(row[6]) : 0;
    OdbcCursor::TypeColumn(info, (SQLSMALLINT)Number(row[4]), size, (SQLSMALLINT)Number(row[8]), false,
                           row[5] ? *row[5] : std::u16string());
    info.notNull = row[10] && Number(row[10]) == SQL_NO_NULLS;
    info.ComputeAttributes(true);
    out->SetInt(9, info.attributes);
    out->SetInt(10, info.notNull ? 0 : 1);
    out->SetInt(11, info.type);
    if (info.vt == VT_BSTR || info.IsBinary()) out->SetInt(13, info.definedSize);
    if (row[15]) out->SetInt(14, Number(row[15]));
    if (info.precision != 255 && info.vt != VT_BSTR && !info.IsBinary()) out->SetInt(15, info.precision);
    if (info.scale != 255) out->SetInt(16, info.scale);
  }
  q.cursor = std::move(out);
  return S_OK;
}

HRESULT OdbcSession::SchemaPrimaryKeys(const std::vector<VARIANT>& r, SchemaQuery& q, ProviderError& err) {
  Arg cat{Restriction(r, 0)}, schem{Restriction(r, 1)};
  std::vector<std::u16string> tables;
  if (auto t = Restriction(r, 2)) {
    tables.push_back(*t);
  } else {
    std::vector<TextRow> rows;
    Arg type{std::u16string(u"TABLE")};
    HRESULT hr = Catalog(
        dbc_,
        [&](SQLHSTMT st) {
          return SQLTablesW(st, cat.p(), cat.n(), schem.v ? W(*schem.v = Pattern(*schem.v)) : nullptr,
                            schem.n(), nullptr, 0, type.p(), type.n());
        },
        rows, err, "SQLTablesW");
    if (FAILED(hr)) return hr;
    for (const TextRow& row : rows)
      if (row.size() > 2 && row[2]) tables.push_back(*row[2]);
    schem.v = Restriction(r, 1);
  }
  auto out = std::make_unique<SchemaRowset>(adSchemaPrimaryKeys);
  for (std::u16string& name : tables) {
    std::vector<TextRow> rows;
    Arg table{name};
    HRESULT hr = Catalog(
        dbc_,
        [&](SQLHSTMT st) {
          return SQLPrimaryKeysW(st, cat.p(), cat.n(), schem.p(), schem.n(), table.p(), table.n());
        },
        rows, err, "SQLPrimaryKeysW");
    if (FAILED(hr)) return hr;
    std::sort(rows.begin(), rows.end(),
              [](const TextRow& a, const TextRow& b) { return Number(a[4]) < Number(b[4]); });
    for (TextRow& row : rows) {
      row.resize(6);
      out->AddRow();
      for (size_t c = 0; c < 4; ++c)
        if (row[c]) out->SetText(c, *row[c]);
      out->SetInt(6, Number(row[4]));
      if (row[5]) out->SetText(7, *row[5]);
    }
  }
  q.cursor = std::move(out);
  return S_OK;
}

HRESULT OdbcSession::TableKey(std::u16string_view table, std::vector<std::u16string>& keys, bool& hasRowId,
                              ProviderError& err) {
  keys.clear();
  hasRowId = false;
  std::vector<TextRow> rows;
  Arg name{std::u16string(table)};
  HRESULT hr = Catalog(
      dbc_, [&](SQLHSTMT st) { return SQLPrimaryKeysW(st, nullptr, 0, nullptr, 0, name.p(), name.n()); },
      rows, err, "SQLPrimaryKeysW");
  if (FAILED(hr)) return hr;
  for (TextRow& row : rows) row.resize(6);
  std::sort(rows.begin(), rows.end(),
            [](const TextRow& a, const TextRow& b) { return Number(a[4]) < Number(b[4]); });
  for (const TextRow& row : rows)
    if (row[3]) keys.push_back(*row[3]);
  return S_OK;
}

bool OdbcSession::LastInsertId(std::u16string_view table, std::u16string_view column, int64_t& id) {
  std::u16string sql;
  std::vector<Cell> params;
  std::u16string quoted = QuoteIdentifier(table), col(column);
  if (EqualsAsciiNoCase(dbms_, u"PostgreSQL")) {
    sql = uR"(SELECT currval(pg_get_serial_sequence(?, ?)))";
    Cell t, c;
    t.kind = c.kind = CellKind::Text;
    t.p = quoted.c_str(), t.size = (uint32_t)quoted.size();
    c.p = col.c_str(), c.size = (uint32_t)col.size();
    params = {t, c};
  } else if (EqualsAsciiNoCase(dbms_, u"SQLite")) {
    sql = uR"(SELECT last_insert_rowid())";
  } else if (EqualsAsciiNoCase(dbms_, u"Microsoft SQL Server")) {
    sql = uR"(SELECT SCOPE_IDENTITY())";
  } else {
    return false;
  }
  std::unique_ptr<ProviderCursor> cursor;
  LONG affected = 0;
  ProviderError err;
  if (FAILED(Execute(sql, params, cursor, affected, err)) || !cursor) return false;
  if (cursor->Next(err) != S_OK) return false;
  Arena arena(256);
  Cell v;
  cursor->Read(0, v, arena);
  if (v.kind == CellKind::Int) {
    id = v.i;
    return true;
  }
  if (v.kind == CellKind::Text) {  // a NUMERIC from SCOPE_IDENTITY
    std::string digits = ToUtf8(std::u16string_view(v.text(), v.size));
    id = std::atoll(digits.c_str());
    return !digits.empty();
  }
  return false;
}

std::u16string OdbcSession::QuoteIdentifier(std::u16string_view name) const {
  if (!quote_) return std::u16string(name);
  std::u16string q(1, quote_);
  for (char16_t c : name) {
    if (c == quote_) q.push_back(c);
    q.push_back(c);
  }
  q.push_back(quote_);
  return q;
}

std::u16string OdbcSession::NullSafeEquals() const {
  // PostgreSQL's IS takes no expression; both engines know the standard form.
  if (EqualsAsciiNoCase(dbms_, u"PostgreSQL") || EqualsAsciiNoCase(dbms_, u"SQLite"))
    return u" IS NOT DISTINCT FROM ?";
  return u" = ?";
}

void OdbcSession::Interrupt() {
  SQLHSTMT st = running_.load();
  if (st != SQL_NULL_HSTMT) SQLCancel(st);
}

}  // namespace kp::ado
