// The ODBC provider's cursor (see OdbcCursor.h).
#include "OdbcCursor.h"

#include <msado15.tlh>

#include <cstdio>
#include <cstring>

#include "AdoText.h"
#include "OdbcDiagnostics.h"
#include "OdbcPieces.h"

namespace kp::ado {
namespace {

constexpr SQLULEN kLongLimit = 4000;        // wider text or binary is read with SQLGetData
constexpr SQLLEN kBlockBytes = 256 * 1024;  // target size of one block of bound rows
constexpr SQLULEN kMaxBlockRows = 256;
constexpr SQLLEN kPieceBytes = 16 * 1024;        // SQLGetData piece
constexpr uint64_t kMaxValueBytes = 0x7FFFFFFF;  // ADO's longest value (DefinedSize of long fields)

std::u16string Wide(const SQLWCHAR* text, SQLSMALLINT units) {
  return OdbcDiagnostics::DriverText(text, units > 0 ? (size_t)units : 0);
}

bool IsBoolName(std::u16string_view name) {
  return EqualsAsciiNoCase(name, u"bool") || EqualsAsciiNoCase(name, u"boolean");
}

// ISO text of a date/time struct into out (at most 19 units); answers the length.
size_t FormatStamp(const SQL_TIMESTAMP_STRUCT& t, char16_t* out) {
  char buf[48];
  int n = snprintf(buf, sizeof buf, "%04d-%02u-%02u %02u:%02u:%02u", (int)t.year, t.month, t.day, t.hour,
                   t.minute, t.second);
  for (int i = 0; i < n; ++i) out[i] = (char16_t)buf[i];
  return (size_t)n;
}

}  // namespace

void OdbcCursor::TypeColumn(ColumnInfo& col, SQLSMALLINT sqlType, SQLULEN size, SQLSMALLINT digits,
                            bool isUnsigned, std::u16string_view typeName) {
  int32_t n = size > 0 && size < 0x7FFFFFFF ? (int32_t)size : -1;
  if (IsBoolName(typeName)) {
    col.SetAdoType(adBoolean);
    return;
  }
  switch (sqlType) {
    case SQL_CHAR:
      col.SetAdoType(adChar, n);
      break;
    case SQL_VARCHAR:
      col.SetAdoType(adVarChar, n);
      break;
    case SQL_LONGVARCHAR:
      col.SetAdoType(adLongVarChar);
      break;
    case SQL_WCHAR:
      col.SetAdoType(adWChar, n);
      break;
    case SQL_WVARCHAR:
      col.SetAdoType(adVarWChar, n);
      break;
    case SQL_WLONGVARCHAR:
      col.SetAdoType(adLongVarWChar);
      break;
    case SQL_DECIMAL:
    case SQL_NUMERIC:
      col.SetAdoType(adNumeric, -1, n, digits);
      break;
    case SQL_SMALLINT:
      col.SetAdoType(isUnsigned ? adUnsignedSmallInt : adSmallInt);
      break;
    case SQL_INTEGER:
      col.SetAdoType(isUnsigned ? adUnsignedInt : adInteger);
      break;
    case SQL_BIGINT:
      col.SetAdoType(isUnsigned ? adUnsignedBigInt : adBigInt);
      break;
    case SQL_TINYINT:
      col.SetAdoType(isUnsigned ? adUnsignedTinyInt : adTinyInt);
      break;
    case SQL_BIT:
      col.SetAdoType(adBoolean);
      break;
    case SQL_REAL:
      col.SetAdoType(adSingle);
      break;
    case SQL_FLOAT:
    case SQL_DOUBLE:
      col.SetAdoType(adDouble);
      break;
    case SQL_TYPE_DATE:
    case SQL_DATE:
      col.SetAdoType(adDBDate);
      break;
    case SQL_TYPE_TIME:
    case SQL_TIME:
      col.SetAdoType(adDBTime);
      break;
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP:
      col.SetAdoType(adDBTimeStamp);
      break;
    case SQL_BINARY:
      col.SetAdoType(adBinary, n);
      break;
    case SQL_VARBINARY:
      col.SetAdoType(adVarBinary, n);
      break;
    case SQL_LONGVARBINARY:
      col.SetAdoType(adLongVarBinary);
      break;
    case SQL_GUID:
      col.SetAdoType(adGUID);
      break;
    default:  // intervals and driver-specific types: their text
      col.SetAdoType(adVarChar, n);
      break;
  }
}

OdbcCursor::OdbcCursor(SQLHSTMT stmt, Options options) : stmt_(stmt), options_(options) {}

OdbcCursor::~OdbcCursor() {
  SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
}

HRESULT OdbcCursor::Describe(ProviderError& err) {
  SQLSMALLINT count = 0;
  SQLRETURN rc = SQLNumResultCols(stmt_, &count);
  if (OdbcDiagnostics::Failed(rc, SQL_HANDLE_STMT, stmt_, "SQLNumResultCols", err)) return err.hr;
  columns_.resize(count);
  slots_.resize(count);
  bool anyLong = false;
  size_t firstLong = (size_t)count;
  SQLLEN rowBytes = 0;
  for (SQLSMALLINT i = 0; i < count; ++i) {
    SQLUSMALLINT n = (SQLUSMALLINT)(i + 1);
    SQLWCHAR name[256];
    SQLSMALLINT nameLength = 0, sqlType = 0, digits = 0, nullable = SQL_NULLABLE_UNKNOWN;
    SQLULEN size = 0;
    rc = SQLDescribeColW(stmt_, n, name, 256, &nameLength, &sqlType, &size, &digits, &nullable);
    if (OdbcDiagnostics::Failed(rc, SQL_HANDLE_STMT, stmt_, "SQLDescribeColW", err)) return err.hr;
    ColumnInfo& col = columns_[i];
    col.name = Wide(name, nameLength < 256 ? nameLength : 255);
    col.notNull = nullable == SQL_NO_NULLS;
    auto text = [&](SQLUSMALLINT field) {
      SQLWCHAR buf[256];
      SQLSMALLINT bytes = 0;
      if (!SQL_SUCCEEDED(SQLColAttributeW(stmt_, n, field, buf, sizeof buf, &bytes, nullptr)))
        return std::u16string();
      return Wide(buf, bytes > 0 && bytes < (SQLSMALLINT)sizeof buf ? bytes / 2 : 0);
    };
    auto number = [&](SQLUSMALLINT field) {
      SQLLEN v = 0;
      if (!SQL_SUCCEEDED(SQLColAttributeW(stmt_, n, field, nullptr, 0, nullptr, &v))) return (SQLLEN)0;
      return v;
    };
    col.baseTable = text(SQL_DESC_BASE_TABLE_NAME);
    col.baseColumn = col.baseTable.empty() ? std::u16string() : text(SQL_DESC_BASE_COLUMN_NAME);
    if (!col.baseTable.empty() && col.baseColumn.empty()) col.baseColumn = col.name;
    col.declType = text(SQL_DESC_TYPE_NAME);
    col.autoIncrement = number(SQL_DESC_AUTO_UNIQUE_VALUE) == SQL_TRUE;
    bool isUnsigned = number(SQL_DESC_UNSIGNED) == SQL_TRUE;
    TypeColumn(col, sqlType, size, digits, isUnsigned, col.declType);

    Slot& s = slots_[i];
    bool isLong = false;
    switch (col.type) {
      case adBoolean:
        s.fetch = Fetch::Bool, s.cType = SQL_C_WCHAR, s.width = 16 * sizeof(SQLWCHAR);
        break;
      case adTinyInt:
      case adUnsignedTinyInt:
      case adSmallInt:
      case adUnsignedSmallInt:
      case adInteger:
      case adUnsignedInt:
      case adBigInt:
      case adUnsignedBigInt:
        s.fetch = Fetch::Int, s.cType = SQL_C_SBIGINT, s.width = sizeof(SQLBIGINT);
        break;
      case adSingle:
      case adDouble:
        s.fetch = Fetch::Real, s.cType = SQL_C_DOUBLE, s.width = sizeof(double);
        break;
      case adDBDate:
        s.fetch = Fetch::Date, s.cType = SQL_C_TYPE_DATE, s.width = sizeof(SQL_DATE_STRUCT);
        break;
      case adDBTime:
        s.fetch = Fetch::Time, s.cType = SQL_C_TYPE_TIME, s.width = sizeof(SQL_TIME_STRUCT);
        break;
      case adDBTimeStamp:
        s.fetch = Fetch::Stamp, s.cType = SQL_C_TYPE_TIMESTAMP, s.width = sizeof(SQL_TIMESTAMP_STRUCT);
        break;
      case adNumeric:
        s.fetch = Fetch::Text, s.cType = SQL_C_WCHAR;
        isLong = size == 0 || size > 38;
        s.width = (SQLLEN)(size + 4) * (SQLLEN)sizeof(SQLWCHAR);
        break;
      case adBinary:
      case adVarBinary:
      case adLongVarBinary:
        s.fetch = Fetch::Bytes, s.cType = SQL_C_BINARY;
        isLong = col.IsLong() || size == 0 || size > kLongLimit;
        s.width = (SQLLEN)size;
        break;
      default:  // text, GUIDs, other types as text
        s.fetch = Fetch::Text, s.cType = SQL_C_WCHAR;
        isLong = col.IsLong() || size == 0 || size > kLongLimit || !options_.bindText;
        // A character may take two UTF-16 units; one more for the terminator.
        s.width = (SQLLEN)(2 * size + 1) * (SQLLEN)sizeof(SQLWCHAR);
        if (col.type == adGUID) s.width = 40 * sizeof(SQLWCHAR);
        break;
    }
    s.bound = !isLong;
    if (isLong && !anyLong) firstLong = (size_t)i;
    anyLong = anyLong || isLong;
    if (s.bound) rowBytes += s.width + (SQLLEN)sizeof(SQLLEN);
  }
  // Without SQL_GD_ANY_COLUMN, SQLGetData works only after the last bound column.
  if (!(options_.getDataExtensions & SQL_GD_ANY_COLUMN))
    for (size_t i = firstLong; i < slots_.size(); ++i) slots_[i].bound = false;
  rows_ = 1;
  if (!anyLong && rowBytes > 0) {
    SQLULEN want = (SQLULEN)(kBlockBytes / rowBytes);
    want = want < 1 ? 1 : want > kMaxBlockRows ? kMaxBlockRows : want;
    if (want > 1 &&
        SQL_SUCCEEDED(SQLSetStmtAttr(stmt_, SQL_ATTR_ROW_BIND_TYPE, (SQLPOINTER)SQL_BIND_BY_COLUMN, 0)) &&
        SQL_SUCCEEDED(SQLSetStmtAttr(stmt_, SQL_ATTR_ROW_ARRAY_SIZE, (SQLPOINTER)want, 0))) {
      SQLULEN got = 1;
      SQLGetStmtAttr(stmt_, SQL_ATTR_ROW_ARRAY_SIZE, &got, 0, nullptr);
      rows_ = got >= 1 ? got : 1;
    }
  }
  status_.reset(new SQLUSMALLINT[rows_]);
  SQLSetStmtAttr(stmt_, SQL_ATTR_ROW_STATUS_PTR, status_.get(), 0);
  SQLSetStmtAttr(stmt_, SQL_ATTR_ROWS_FETCHED_PTR, &fetched_, 0);
  for (size_t i = 0; i < slots_.size(); ++i) {
    Slot& s = slots_[i];
    if (!s.bound) continue;
    s.buffer.reset(new char[(size_t)s.width * rows_]);
    s.ind.reset(new SQLLEN[rows_]);
    rc = SQLBindCol(stmt_, (SQLUSMALLINT)(i + 1), s.cType, s.buffer.get(), s.width, s.ind.get());
    if (OdbcDiagnostics::Failed(rc, SQL_HANDLE_STMT, stmt_, "SQLBindCol", err)) return err.hr;
  }
  return S_OK;
}

ProviderError OdbcCursor::BadLength(size_t c, SQLLEN indicator) const {
  return OdbcDiagnostics::Make(E_FAIL, u"HY000",
                               u"The ODBC driver gave an invalid length (" +
                                   FromUtf8(std::to_string((long long)indicator)) +
                                   u") for the value of column '" + columns_[c].name + u"'.");
}

SQLLEN OdbcCursor::Usable(const Slot& s) {
  switch (s.fetch) {
    case Fetch::Text:
    case Fetch::Bool:
      return s.width - (SQLLEN)sizeof(SQLWCHAR);
    case Fetch::Bytes:
      return s.width;
    default:
      return -1;
  }
}

bool OdbcCursor::Cut(const Slot& s, SQLULEN r) {
  SQLLEN usable = Usable(s);
  SQLLEN ind = s.ind[r];
  return usable >= 0 && (ind == SQL_NO_TOTAL || ind > usable);
}

HRESULT OdbcCursor::FetchBlock(ProviderError& err) {
  fetched_ = 0;
  SQLRETURN rc = SQLFetch(stmt_);
  if (rc == SQL_NO_DATA) {
    done_ = true;
    return S_FALSE;
  }
  if (OdbcDiagnostics::Failed(rc, SQL_HANDLE_STMT, stmt_, "SQLFetch", err)) {
    done_ = true;
    return err.hr;
  }
  if (fetched_ == 0) fetched_ = 1;  // drivers that ignore the fetched-rows pointer fetch one row
  if (fetched_ > rows_) fetched_ = rows_;
  if (rc == SQL_SUCCESS_WITH_INFO && OdbcDiagnostics::HasState(SQL_HANDLE_STMT, stmt_, u"01004")) {
    // A bound value was cut. Next reads each cut value again; when no indicator shows which one
    // it was, refuse rather than hand out a shortened value.
    bool found = false;
    for (const Slot& s : slots_)
      for (SQLULEN r = 0; s.bound && r < fetched_ && !found; ++r) found = Cut(s, r);
    if (!found) {
      err = OdbcDiagnostics::Collect(SQL_HANDLE_STMT, stmt_, rc, "SQLFetch");
      err.hr = E_FAIL;
      done_ = true;
      return err.hr;
    }
  }
  return S_OK;
}

HRESULT OdbcCursor::ReadLong(size_t c, ProviderError& err) {
  Slot& s = slots_[c];
  s.longText.clear();
  s.longBytes.clear();
  s.longNull = false;
  const bool wide = s.cType == SQL_C_WCHAR;
  alignas(8) char piece[kPieceBytes];
  auto get = [&](void* buffer, SQLLEN capacity, SQLLEN* ind) {
    return SQLGetData(stmt_, (SQLUSMALLINT)(c + 1), s.cType, buffer, capacity, ind);
  };
  auto append = [&](const char* bytes, size_t count) {
    if (!wide) {
      s.longBytes.append(bytes, count);
      return;
    }
    size_t old = s.longText.size();
    s.longText.resize(old + count / 2);
    memcpy(&s.longText[old], bytes, count);
  };
  SQLLEN problem = 0;
  switch (OdbcPieces::Read(get, append, wide, piece, (SQLLEN)sizeof piece, kMaxValueBytes, &problem)) {
    case OdbcPieces::Result::Value:
      return S_OK;
    case OdbcPieces::Result::Null:
      s.longNull = true;
      s.longText.clear();
      s.longBytes.clear();
      return S_OK;
    case OdbcPieces::Result::Failed:
      err = OdbcDiagnostics::Collect(SQL_HANDLE_STMT, stmt_, (SQLRETURN)problem, "SQLGetData");
      return err.hr;
    case OdbcPieces::Result::BadLength:
      err = BadLength(c, problem);
      return err.hr;
    case OdbcPieces::Result::TooLong:
      break;
  }
  err = OdbcDiagnostics::Make(E_FAIL, u"HY000",
                              u"The value of column '" + columns_[c].name + u"' is longer than " +
                                  FromUtf8(std::to_string(kMaxValueBytes)) + u" bytes.");
  return err.hr;
}

HRESULT OdbcCursor::ReadCutAgain(size_t c, ProviderError& err) {
  // SQLGetData on a bound column needs SQL_GD_BOUND; in a block of rows it needs SQL_GD_BLOCK
  // and the row made current with SQLSetPos.
  bool canGet = (options_.getDataExtensions & SQL_GD_BOUND) != 0;
  if (canGet && rows_ > 1)
    canGet = (options_.getDataExtensions & SQL_GD_BLOCK) != 0 &&
             SQL_SUCCEEDED(SQLSetPos(stmt_, (SQLSETPOSIROW)(pos_ + 1), SQL_POSITION, SQL_LOCK_NO_CHANGE));
  if (!canGet) {
    err = OdbcDiagnostics::Make(E_FAIL, u"01004",
                                u"String data, right truncated: the ODBC driver cut the value of column '" +
                                    columns_[c].name + u"' and cannot give it again in pieces.");
    return err.hr;
  }
  slots_[c].rowLong = true;
  return ReadLong(c, err);
}

HRESULT OdbcCursor::Next(ProviderError& err) {
  if (done_) return S_FALSE;
  if (started_ && pos_ + 1 < fetched_) {
    ++pos_;
  } else {
    HRESULT hr = FetchBlock(err);
    if (hr != S_OK) return hr;
    pos_ = 0;
  }
  started_ = true;
  if (status_[pos_] == SQL_ROW_ERROR) {
    err = OdbcDiagnostics::Collect(SQL_HANDLE_STMT, stmt_, SQL_ERROR, "SQLFetch");
    return err.hr;
  }
  // Columns in ascending order: without SQL_GD_ANY_ORDER, SQLGetData must go that way.
  for (size_t c = 0; c < slots_.size(); ++c) {
    Slot& s = slots_[c];
    s.rowLong = false;
    HRESULT hr = S_OK;
    if (!s.bound) {
      hr = ReadLong(c, err);
    } else if (Cut(s, pos_)) {
      hr = ReadCutAgain(c, err);
    } else {
      SQLLEN ind = s.ind[pos_];
      bool bad =
          ind != SQL_NULL_DATA && Usable(s) >= 0 && (ind < 0 || (s.cType == SQL_C_WCHAR && ind % 2 != 0));
      if (bad) {
        err = BadLength(c, ind);
        hr = err.hr;
      }
    }
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

void OdbcCursor::Read(size_t c, Cell& cell, Arena& arena) {
  Slot& s = slots_[c];
  if (!s.bound || s.rowLong) {
    if (s.longNull)
      cell = Cell();
    else if (s.cType == SQL_C_WCHAR)
      cell = s.fetch == Fetch::Bool
                 ? Cell::Int(!s.longText.empty() &&
                             std::u16string_view(u"1tTyY").find(s.longText[0]) != std::u16string_view::npos)
                 : arena.Text(s.longText.data(), s.longText.size());
    else
      cell = arena.Blob(s.longBytes.data(), s.longBytes.size());
    return;
  }
  SQLLEN ind = s.ind[pos_];
  if (ind == SQL_NULL_DATA) {
    cell = Cell();
    return;
  }
  const char* p = s.buffer.get() + (size_t)s.width * pos_;
  switch (s.fetch) {
    case Fetch::Int: {
      SQLBIGINT v;
      memcpy(&v, p, sizeof v);
      cell = Cell::Int(v);
      break;
    }
    case Fetch::Real: {
      double v;
      memcpy(&v, p, sizeof v);
      cell = Cell::Real(v);
      break;
    }
    case Fetch::Bool: {
      char16_t first = ind > 0 ? reinterpret_cast<const char16_t*>(p)[0] : u'0';
      cell = Cell::Int(std::u16string_view(u"1tTyY").find(first) != std::u16string_view::npos);
      break;
    }
    case Fetch::Text:
      cell = arena.Text(reinterpret_cast<const char16_t*>(p), (size_t)ind / 2);
      break;
    case Fetch::Bytes:
      cell = arena.Blob(p, (size_t)ind);
      break;
    case Fetch::Date: {
      SQL_DATE_STRUCT d;
      memcpy(&d, p, sizeof d);
      SQL_TIMESTAMP_STRUCT t = {d.year, d.month, d.day, 0, 0, 0, 0};
      char16_t out[48];
      FormatStamp(t, out);
      cell = arena.Text(out, 10);
      break;
    }
    case Fetch::Time: {
      SQL_TIME_STRUCT d;
      memcpy(&d, p, sizeof d);
      SQL_TIMESTAMP_STRUCT t = {2000, 1, 1, d.hour, d.minute, d.second, 0};
      char16_t out[48];
      FormatStamp(t, out);
      cell = arena.Text(out + 11, 8);
      break;
    }
    case Fetch::Stamp: {
      SQL_TIMESTAMP_STRUCT t;
      memcpy(&t, p, sizeof t);
      char16_t out[48];
      size_t n = FormatStamp(t, out);
      cell = arena.Text(out, n);
      break;
    }
  }
}

}  // namespace kp::ado
