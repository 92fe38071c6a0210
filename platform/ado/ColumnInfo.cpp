// Field metadata from declared column types (see ColumnInfo.h and docs/ado.md "Field types").
#include "ColumnInfo.h"

#include <msado15.tlh>

#include <cstdlib>

#include "AdoText.h"
#include "RowSet.h"

namespace kp::ado {
namespace {

constexpr int32_t kUnlimited = 2147483647;  // DefinedSize of long (unlimited) columns

struct Declared {
  std::u16string base;  // upper case, inner blanks collapsed
  int args[2] = {-1, -1};
  int argCount = 0;
};

Declared Parse(std::u16string_view decl) {
  Declared d;
  std::u16string up = ToUpperAscii(decl);
  size_t paren = up.find(u'(');
  std::u16string head = paren == std::u16string::npos ? up : up.substr(0, paren);
  bool blank = false;
  for (char16_t c : head) {
    if (c == u' ' || c == u'\t' || c == u'\r' || c == u'\n') {
      blank = !d.base.empty();
      continue;
    }
    if (blank) d.base.push_back(u' ');
    blank = false;
    d.base.push_back(c);
  }
  if (paren != std::u16string::npos) {
    std::string digits;
    for (size_t i = paren + 1; i < up.size() && d.argCount < 2; ++i) {
      char16_t c = up[i];
      if (c >= u'0' && c <= u'9') {
        digits.push_back((char)c);
      } else if (c == u',' || c == u')') {
        if (!digits.empty()) d.args[d.argCount++] = std::atoi(digits.c_str());
        digits.clear();
        if (c == u')') break;
      }
    }
  }
  return d;
}

bool Is(const std::u16string& base, std::initializer_list<const char16_t*> names) {
  for (auto n : names)
    if (base == n) return true;
  return false;
}

}  // namespace

void ColumnInfo::SetAdoType(int t, int32_t size, int prec, int numericScale) {
  type = t;
  typed = true;
  precision = 255;
  scale = 255;
  switch (t) {
    case adChar:
    case adWChar:
    case adVarChar:
    case adVarWChar:
    case adBSTR:
      vt = VT_BSTR;
      definedSize = size >= 0 ? size : 255;
      break;
    case adLongVarChar:
    case adLongVarWChar:
      vt = VT_BSTR;
      definedSize = size >= 0 ? size : kUnlimited;
      break;
    case adBinary:
    case adVarBinary:
      vt = VT_ARRAY | VT_UI1;
      definedSize = size >= 0 ? size : 255;
      break;
    case adLongVarBinary:
      vt = VT_ARRAY | VT_UI1;
      definedSize = size >= 0 ? size : kUnlimited;
      break;
    case adTinyInt:
      vt = VT_I1, definedSize = 1, precision = 3;
      break;
    case adUnsignedTinyInt:
      vt = VT_UI1, definedSize = 1, precision = 3;
      break;
    case adSmallInt:
      vt = VT_I2, definedSize = 2, precision = 5;
      break;
    case adUnsignedSmallInt:
      vt = VT_UI2, definedSize = 2, precision = 5;
      break;
    case adInteger:
      vt = VT_I4, definedSize = 4, precision = 10;
      break;
    case adUnsignedInt:
      vt = VT_UI4, definedSize = 4, precision = 10;
      break;
    case adBigInt:
      vt = VT_I8, definedSize = 8, precision = 19;
      break;
    case adUnsignedBigInt:
      vt = VT_UI8, definedSize = 8, precision = 20;
      break;
    case adSingle:
      vt = VT_R4, definedSize = 4, precision = 7;
      break;
    case adDouble:
      vt = VT_R8, definedSize = 8, precision = 15;
      break;
    case adCurrency:
      vt = VT_CY, definedSize = 8, precision = 19, scale = 4;
      break;
    case adNumeric:
    case adDecimal:
      vt = VT_DECIMAL, definedSize = 19;
      precision = (uint8_t)(prec >= 1 && prec <= 38 ? prec : 18);
      scale = (uint8_t)(numericScale >= 0 && numericScale <= precision ? numericScale : 0);
      break;
    case adBoolean:
      vt = VT_BOOL, definedSize = 2;
      break;
    case adDBDate:
      vt = VT_DATE, definedSize = 6;
      break;
    case adDBTime:
      vt = VT_DATE, definedSize = 6;
      break;
    case adDBTimeStamp:
      vt = VT_DATE, definedSize = 16, precision = 19, scale = 0;
      break;
    case adDate:
      vt = VT_DATE, definedSize = 8;
      break;
    case adGUID:
      vt = VT_BSTR, definedSize = 16;
      break;
    default:
      vt = VT_BSTR, definedSize = 255;
      break;
  }
  if (prec >= 0 && t != adNumeric && t != adDecimal) precision = (uint8_t)prec;
  if (numericScale >= 0 && t != adNumeric && t != adDecimal) scale = (uint8_t)numericScale;
}

bool ColumnInfo::TypeFromDeclaration() {
  if (declType.empty()) return false;
  Declared d = Parse(declType);
  const std::u16string& b = d.base;
  int n = d.args[0];
  if (Is(b, {u"CHAR", u"CHARACTER", u"NCHAR", u"NATIVE CHARACTER"})) {
    SetAdoType(adChar, n >= 0 ? n : 1);
  } else if (Is(b, {u"VARCHAR", u"NVARCHAR", u"VARCHAR2", u"NVARCHAR2", u"VARYING CHARACTER",
                    u"CHARACTER VARYING"})) {
    SetAdoType(adVarChar, n >= 0 ? n : 255);
  } else if (Is(b, {u"TEXT", u"CLOB", u"NTEXT", u"LONGTEXT", u"MEDIUMTEXT", u"MEMO", u"LONGVARCHAR"})) {
    SetAdoType(adLongVarChar);
  } else if (Is(b, {u"INTEGER", u"INT", u"MEDIUMINT", u"INT4", u"LONG"})) {
    SetAdoType(adInteger);
  } else if (Is(b, {u"BIGINT", u"INT8", u"UNSIGNED BIG INT"})) {
    SetAdoType(b == u"UNSIGNED BIG INT" ? adUnsignedBigInt : adBigInt);
  } else if (Is(b, {u"SMALLINT", u"INT2"})) {
    SetAdoType(adSmallInt);
  } else if (Is(b, {u"TINYINT"})) {
    SetAdoType(adUnsignedTinyInt);
  } else if (Is(b, {u"UNSIGNED INT", u"UNSIGNED INTEGER", u"INT UNSIGNED", u"INTEGER UNSIGNED"})) {
    SetAdoType(adUnsignedInt);
  } else if (Is(b, {u"FLOAT4", u"REAL4", u"SINGLE"})) {
    SetAdoType(adSingle);
  } else if (Is(b, {u"REAL", u"DOUBLE", u"DOUBLE PRECISION", u"FLOAT", u"FLOAT8"})) {
    SetAdoType(adDouble);
  } else if (Is(b, {u"NUMERIC", u"DECIMAL", u"NUMBER"})) {
    SetAdoType(adNumeric, -1, d.args[0], d.args[1]);
  } else if (Is(b, {u"MONEY", u"SMALLMONEY", u"CURRENCY"})) {
    SetAdoType(adCurrency);
  } else if (Is(b, {u"BOOLEAN", u"BOOL", u"BIT"})) {
    SetAdoType(adBoolean);
  } else if (b == u"DATE") {
    SetAdoType(adDBDate);
  } else if (b == u"TIME") {
    SetAdoType(adDBTime);
  } else if (Is(b, {u"DATETIME", u"TIMESTAMP", u"SMALLDATETIME"})) {
    SetAdoType(adDBTimeStamp);
  } else if (Is(b, {u"BLOB", u"IMAGE", u"LONGBLOB", u"LONGVARBINARY", u"BYTEA"})) {
    SetAdoType(adLongVarBinary);
  } else if (b == u"VARBINARY") {
    SetAdoType(adVarBinary, n >= 0 ? n : 255);
  } else if (b == u"BINARY") {
    SetAdoType(adBinary, n >= 0 ? n : 1);
  } else if (b.find(u"INT") != std::u16string::npos) {
    SetAdoType(adInteger);
  } else if (b.find(u"CHAR") != std::u16string::npos || b.find(u"CLOB") != std::u16string::npos ||
             b.find(u"TEXT") != std::u16string::npos) {
    SetAdoType(adVarChar, n >= 0 ? n : 255);
  } else if (b.find(u"BLOB") != std::u16string::npos) {
    SetAdoType(adLongVarBinary);
  } else if (b.find(u"REAL") != std::u16string::npos || b.find(u"FLOA") != std::u16string::npos ||
             b.find(u"DOUB") != std::u16string::npos) {
    SetAdoType(adDouble);
  } else {
    SetAdoType(adNumeric, -1, d.args[0], d.args[1]);
  }
  return true;
}

void ColumnInfo::TypeFromValue(CellKind kind) {
  switch (kind) {
    case CellKind::Int:
      SetAdoType(adInteger);
      break;
    case CellKind::Real:
      SetAdoType(adDouble);
      break;
    case CellKind::Blob:
      SetAdoType(adLongVarBinary);
      break;
    default:
      SetAdoType(adVarChar, 255);
      break;
  }
}

void ColumnInfo::ComputeAttributes(bool updatable) {
  int32_t a = 0;
  if (fabricated)
    a = declaredAttributes;
  else if (!notNull)
    a |= adFldIsNullable | adFldMayBeNull;
  switch (type) {
    case adChar:
    case adWChar:
    case adBinary:
    case adTinyInt:
    case adUnsignedTinyInt:
    case adSmallInt:
    case adUnsignedSmallInt:
    case adInteger:
    case adUnsignedInt:
    case adBigInt:
    case adUnsignedBigInt:
    case adSingle:
    case adDouble:
    case adCurrency:
    case adNumeric:
    case adDecimal:
    case adBoolean:
    case adDBDate:
    case adDBTime:
    case adDBTimeStamp:
    case adDate:
      a |= adFldFixed;
      break;
    default:
      break;
  }
  if (IsLong()) a |= adFldLong;
  if (primaryKey) a |= adFldKeyColumn;
  if (rowId) a |= adFldRowID;
  if (updatable && !rowId) a |= adFldUpdatable;
  attributes = a;
}

}  // namespace kp::ado
