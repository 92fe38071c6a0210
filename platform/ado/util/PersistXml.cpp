// Writing and reading ADO's XML persistence format with libxml2; see PersistXml.h. One file of
// about 900 lines: the schema and the rows are written and read by one table of value texts
// below, and the writer and the reader share it.
//
// Value texts (the reference leaves several of them unconfirmed; these are the choices):
//   integers   decimal; R4/R8 the shortest text that reads back to the same value, '.' as the
//              decimal point, 'E' before an exponent ("0.25", "1E+20");
//   currency   the exact amount with up to four decimals, trailing zeros dropped ("1.5");
//   decimal / numeric  the exact value with its scale's digits ("123.450");
//   dates      "yyyy-mm-ddThh:mm:ss" (adDBDate "yyyy-mm-dd", adDBTime "hh:mm:ss"), whole seconds;
//   booleans   "True" / "False" (read: true/false in any case, 1, 0, -1);
//   binary     bin.hex, two lowercase hex digits per byte (read: either case).
// libxml2 escapes '&', '<', '>' and '"' in attribute values, and writes tab, LF and CR as
// character references (&#9; &#10; &#13;) so that attribute-value normalisation on reading does
// not turn them into blanks; ADO also writes &apos;, which readers treat the same as a plain
// apostrophe. Save checks every name and value before it creates the file: see PersistXml.h.
//
// A pending update that sets a column to Null cannot be written as an attribute; the changed row
// then carries rs:forcenull with the blank-separated XML names of those columns. The attribute is
// the one ADO's own output uses for this, as far as public samples show; it is not in the
// reference pages (unconfirmed).
#include "PersistXml.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlsave.h>
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <charconv>
#include <cstring>
#include <map>
#include <optional>
#include <sstream>

#include "DateText.h"
#include "TextUtil.h"
#include "UtilErrors.h"
#include "ValueCompare.h"
#include "kp/kpvariant.h"
#include "oleauto.h"
#include "winnls.h"

namespace kp::ado {

namespace {

constexpr char kUriS[] = "uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882";
constexpr char kUriDt[] = "uuid:C2F41010-65B3-11d1-A29F-00AA00C14882";
constexpr char kUriRs[] = "urn:schemas-microsoft-com:rowset";
constexpr char kUriZ[] = "#RowsetSchema";

constexpr int32_t kFldMayDefer = 0x2, kFldUpdatable = 0x4, kFldUnknownUpdatable = 0x8, kFldFixed = 0x10,
                  kFldIsNullable = 0x20, kFldMayBeNull = 0x40, kFldLong = 0x80, kFldKeyColumn = 0x8000;

const char16_t kBadSource[] = u"Recordset cannot be created. Source XML is incomplete or invalid.";

// How each ADO type is written: dt:type, rs:dbtype, whether it is fixed-length by nature, its
// default dt:maxLength and rs:precision, whether rs:scale belongs to it and whether it is a long
// (BLOB/memo) type.
struct TypeInfo {
  int ado;
  const char* dtType;
  const char* dbType;
  bool fixedByNature;
  int32_t size;
  uint8_t precision;
  bool hasScale;
  bool isLong = false;
};

const TypeInfo kTypes[] = {
    {2, "i2", nullptr, true, 2, 5, false},
    {3, "int", nullptr, true, 4, 10, false},
    {4, "r4", nullptr, true, 4, 7, false},
    {5, "float", nullptr, true, 8, 15, false},
    {6, "i8", "currency", true, 8, 19, false},
    {7, "dateTime", "variantdate", true, 16, 0, false},
    {8, "string", "bstr", false, 0, 0, false},
    {11, "boolean", nullptr, true, 2, 0, false},
    {14, "number", "decimal", true, 16, 28, true},
    {16, "i1", nullptr, true, 1, 3, false},
    {17, "ui1", nullptr, true, 1, 3, false},
    {18, "ui2", nullptr, true, 2, 5, false},
    {19, "ui4", nullptr, true, 4, 10, false},
    {20, "i8", nullptr, true, 8, 19, false},
    {21, "ui8", nullptr, true, 8, 20, false},
    {64, "dateTime", "filetime", true, 8, 0, false},
    {72, "uuid", nullptr, true, 16, 0, false},
    {128, "bin.hex", nullptr, true, 0, 0, false},
    {129, "string", "str", true, 0, 0, false},
    {130, "string", nullptr, true, 0, 0, false},
    {131, "number", "numeric", true, 19, 18, true},
    {133, "date", nullptr, true, 6, 0, false},
    {134, "time", nullptr, true, 6, 0, false},
    {135, "dateTime", "timestamp", true, 16, 19, true},
    {139, "number", "varnumeric", false, 0, 0, true},
    {200, "string", "str", false, 0, 0, false},
    {201, "string", "str", false, 0, 0, false, true},
    {202, "string", nullptr, false, 0, 0, false},
    {203, "string", nullptr, false, 0, 0, false, true},
    {204, "bin.hex", nullptr, false, 0, 0, false},
    {205, "bin.hex", nullptr, false, 0, 0, false, true},
};

const TypeInfo* FindType(int ado) {
  for (const TypeInfo& t : kTypes)
    if (t.ado == ado) return &t;
  return nullptr;
}

std::string Utf8(std::u16string_view s) {
  return Narrow(s.data(), s.size(), CP_UTF8);
}
std::u16string Utf16(const char* s) {
  return s ? Widen(s, strlen(s), CP_UTF8) : std::u16string();
}
const xmlChar* X(const char* s) {
  return reinterpret_cast<const xmlChar*>(s);
}
const xmlChar* X(const std::string& s) {
  return X(s.c_str());
}

template <class T>
std::string Chars(T value) {
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, value);
  std::string s(buf, r.ptr);
  for (char& c : s)
    if (c == 'e') c = 'E';
  return s;
}

// Parses "[-]digits[.digits]" into a magnitude, sign and scale; false on other text or more
// than 29 digits.
bool ParseScaled(std::u16string_view text, unsigned __int128& magnitude, bool& negative, int& scale) {
  text = Trim(text);
  negative = false;
  if (!text.empty() && (text[0] == u'-' || text[0] == u'+')) {
    negative = text[0] == u'-';
    text.remove_prefix(1);
  }
  magnitude = 0;
  scale = -1;
  int digits = 0;
  for (char16_t c : text) {
    if (c == u'.' && scale < 0) {
      scale = 0;
      continue;
    }
    if (c < u'0' || c > u'9') return false;
    if (digits == 0 && c == u'0' && scale < 0) continue;  // leading zeros
    if (++digits > 29) return false;
    magnitude = magnitude * 10 + (unsigned)(c - u'0');
    if (scale >= 0) ++scale;
  }
  if (text.empty() || text == u".") return false;
  if (scale < 0) scale = 0;
  return true;
}

std::u16string Ascii(const std::string& s) {
  return std::u16string(s.begin(), s.end());
}

// "U+000B" for a UTF-16 unit.
std::u16string CodeText(char16_t c) {
  char buf[8];
  snprintf(buf, sizeof buf, "U+%04X", (unsigned)c);
  return Ascii(buf);
}

// Why text cannot go into an XML document (empty when it can): XML 1.0 has no form, not even a
// character reference, for U+0000-U+0008, U+000B, U+000C, U+000E-U+001F, U+FFFE and U+FFFF,
// and a UTF-16 unit that does not pair up names no character at all. Tab, LF and CR are fine:
// libxml2 writes them as character references inside attribute values, so attribute-value
// normalisation leaves them alone.
std::u16string Unwritable(std::u16string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      ++i;  // a pair: one character beyond the Basic Multilingual Plane
      continue;
    }
    if (c >= 0xD800 && c <= 0xDFFF) return u"an unpaired surrogate " + CodeText(c);
    if ((c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') || c == 0xFFFE || c == 0xFFFF)
      return u"the character " + CodeText(c);
  }
  return u"";
}

// The text of a value, or nullopt for Null. A value the format cannot hold fails with
// kErrDataConversion and *why (not null) saying what is wrong.
HRESULT ValueText(const VARIANT& in, int columnType, std::optional<std::string>& out, std::u16string* why) {
  const VARIANT& v = ValueCompare::Deref(in);
  out.reset();
  switch (kp::ClassOfType(v.vt)) {
    case kp::VarClass::Signed:
      out = Chars(kp::SignedValue(v));
      return S_OK;
    case kp::VarClass::Unsigned:
      out = Chars(kp::UnsignedValue(v));
      return S_OK;
    default:
      break;
  }
  switch (v.vt) {
    case VT_EMPTY:
    case VT_NULL:
      return S_OK;
    case VT_BSTR: {
      const std::u16string_view text = ValueCompare::Text(v);
      *why = Unwritable(text);
      if (!why->empty()) {
        *why = u"the text holds " + *why + u", which XML cannot carry";
        return kErrDataConversion;
      }
      out = Utf8(text);
      return S_OK;
    }
    case VT_R4:
      out = Chars(v.fltVal);
      return S_OK;
    case VT_R8:
      out = Chars(v.dblVal);
      return S_OK;
    case VT_BOOL:
      out = v.boolVal ? "True" : "False";
      return S_OK;
    case VT_CY: {
      bool neg = v.cyVal.int64 < 0;
      unsigned __int128 m =
          neg ? (unsigned __int128)(-(__int128)v.cyVal.int64) : (unsigned __int128)v.cyVal.int64;
      out = kp::DecimalText(m, neg, 4, kp::DecimalDigits::Trimmed);
      return S_OK;
    }
    case VT_DECIMAL: {
      out = kp::DecimalText(v.decVal, kp::DecimalDigits::All);
      return S_OK;
    }
    case VT_DATE: {
      DateText::Form form = columnType == 133   ? DateText::Form::DateOnly
                            : columnType == 134 ? DateText::Form::TimeOnly
                                                : DateText::Form::DateTime;
      std::u16string text = DateText::FormatIso(v.date, form);
      if (text.empty()) {
        *why = u"the date lies outside the years 100-9999";
        return kErrDataConversion;
      }
      out = Utf8(text);
      return S_OK;
    }
    case VT_ARRAY | VT_UI1: {
      static const char hex[] = "0123456789abcdef";
      std::string s;
      for (unsigned char b : ValueCompare::Bytes(v)) {
        s += hex[b >> 4];
        s += hex[b & 15];
      }
      out = std::move(s);
      return S_OK;
    }
    default:
      *why = u"a value of VARIANT type " + Ascii(std::to_string(v.vt)) + u" has no form in the format";
      return kErrDataConversion;
  }
}

template <class T>
bool FromChars(const std::string& s, T& out) {
  auto r = std::from_chars(s.data(), s.data() + s.size(), out);
  return r.ec == std::errc() && r.ptr == s.data() + s.size() && !s.empty();
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads the text of a value of ADO type adoType into *target (VariantInit'ed by the caller).
// target null: only checks that the text reads, allocating nothing for texts and binary values.
bool ReadValue(const std::string& text, int adoType, VARIANT* target) {
  VARIANT scratch;
  VariantInit(&scratch);
  VARIANT& out = target ? *target : scratch;
  const std::string& t = text;
  auto integer = [&](VARTYPE vt, long long lo, long long hi) {
    long long x;
    std::string s = t;
    if (!s.empty() && s[0] == '+') s.erase(0, 1);
    if (!FromChars(s, x) || x < lo || x > hi) return false;
    out.vt = vt;
    out.llVal = 0;
    switch (vt) {
      case VT_I1:
        out.cVal = (CHAR)x;
        break;
      case VT_I2:
        out.iVal = (SHORT)x;
        break;
      case VT_I4:
        out.lVal = (LONG)x;
        break;
      case VT_UI1:
        out.bVal = (BYTE)x;
        break;
      case VT_UI2:
        out.uiVal = (USHORT)x;
        break;
      case VT_UI4:
        out.ulVal = (ULONG)x;
        break;
      default:
        out.llVal = x;
    }
    return true;
  };
  switch (adoType) {
    case 16:
      return integer(VT_I1, -128, 127);
    case 2:
      return integer(VT_I2, -32768, 32767);
    case 3:
      return integer(VT_I4, INT32_MIN, INT32_MAX);
    case 20:
      return integer(VT_I8, INT64_MIN, INT64_MAX);
    case 17:
      return integer(VT_UI1, 0, 255);
    case 18:
      return integer(VT_UI2, 0, 65535);
    case 19:
      return integer(VT_UI4, 0, UINT32_MAX);
    case 21: {
      unsigned long long x;
      if (!FromChars(t, x)) return false;
      out.vt = VT_UI8;
      out.ullVal = x;
      return true;
    }
    case 4: {
      float x;
      if (!FromChars(t, x)) return false;
      out.vt = VT_R4;
      out.fltVal = x;
      return true;
    }
    case 5: {
      double x;
      if (!FromChars(t, x)) return false;
      out.vt = VT_R8;
      out.dblVal = x;
      return true;
    }
    case 11: {
      std::u16string w = Utf16(t.c_str());
      std::u16string_view s = Trim(w);
      bool yes = EqualsNoCase(s, u"true") || s == u"1" || s == u"-1";
      if (!yes && !EqualsNoCase(s, u"false") && s != u"0") return false;
      out.vt = VT_BOOL;
      out.boolVal = yes ? VARIANT_TRUE : VARIANT_FALSE;
      return true;
    }
    case 6: {
      unsigned __int128 m;
      bool neg;
      int scale;
      if (!ParseScaled(Utf16(t.c_str()), m, neg, scale) || scale > 4) return false;
      for (; scale < 4; ++scale) m *= 10;
      if (m > (unsigned __int128)INT64_MAX + (neg ? 1 : 0)) return false;
      out.vt = VT_CY;
      out.cyVal.int64 = neg ? (LONGLONG)(-(__int128)m) : (LONGLONG)m;
      return true;
    }
    case 14:
    case 131:
    case 139: {
      unsigned __int128 m;
      bool neg;
      int scale;
      if (!ParseScaled(Utf16(t.c_str()), m, neg, scale) || scale > 28 || (m >> 96) != 0) return false;
      DECIMAL d;
      DECIMAL_SETZERO(d);
      d.scale = (BYTE)scale;
      d.sign = neg ? DECIMAL_NEG : 0;
      d.Hi32 = (ULONG)(m >> 64);
      d.Lo64 = (ULONGLONG)m;
      out.decVal = d;
      out.vt = VT_DECIMAL;  // after the value: DECIMAL overlays vt
      return true;
    }
    case 7:
    case 64:
    case 133:
    case 134:
    case 135: {
      DATE d;
      if (!DateText::ParseIso(Utf16(t.c_str()), d)) return false;
      out.vt = VT_DATE;
      out.date = d;
      return true;
    }
    case 128:
    case 204:
    case 205: {
      if (t.size() % 2 || t.size() / 2 > UINT32_MAX) return false;
      if (!target) return std::all_of(t.begin(), t.end(), [](char c) { return HexDigit(c) >= 0; });
      SAFEARRAY* sa = SafeArrayCreateVector(VT_UI1, 0, (ULONG)(t.size() / 2));
      if (!sa) return false;
      unsigned char* p = static_cast<unsigned char*>(sa->pvData);
      for (size_t i = 0; i < t.size(); i += 2) {
        int hi = HexDigit(t[i]), lo = HexDigit(t[i + 1]);
        if (hi < 0 || lo < 0) {
          SafeArrayDestroy(sa);
          return false;
        }
        p[i / 2] = (unsigned char)(hi * 16 + lo);
      }
      out.vt = VT_ARRAY | VT_UI1;
      out.parray = sa;
      return true;
    }
    default: {  // strings, GUIDs and anything else: text
      if (!target) return true;
      std::u16string w = Utf16(t.c_str());
      out.bstrVal = SysAllocStringLen(w.data(), (UINT)w.size());
      out.vt = VT_BSTR;
      return out.bstrVal != nullptr;
    }
  }
}

// ValueText, then a check that the text reads back as a value of the column's type, so that Save
// never writes a file that Load refuses. (A column may hold values of other types: SQLite hands
// out each value in its stored type, so an INTEGER column can hold 'abc' or 5000000000.)
HRESULT WritableText(const VARIANT& in, int columnType, std::optional<std::string>& out,
                     std::u16string* why) {
  HRESULT hr = ValueText(in, columnType, out, why);
  if (FAILED(hr) || !out || ReadValue(*out, columnType, nullptr)) return hr;
  out.reset();
  *why = u"a value of VARIANT type " + Ascii(std::to_string(ValueCompare::Deref(in).vt)) +
         u" does not read back as the column's type (ADO type " + Ascii(std::to_string(columnType)) + u")";
  return kErrDataConversion;
}

// ---- Reading helpers (by namespace URI) ----

bool IsElement(xmlNode* n, const char* uri, const char* local) {
  if (!n || n->type != XML_ELEMENT_NODE || strcmp((const char*)n->name, local) != 0) return false;
  if (!uri) return n->ns == nullptr;
  return n->ns && n->ns->href && strcmp((const char*)n->ns->href, uri) == 0;
}

xmlNode* FirstChild(xmlNode* parent, const char* uri, const char* local) {
  for (xmlNode* c = parent ? parent->children : nullptr; c; c = c->next)
    if (IsElement(c, uri, local)) return c;
  return nullptr;
}

// The attribute's value, or nullopt when absent. uri null: an attribute without namespace.
std::optional<std::string> Attr(xmlNode* n, const char* uri, const char* local) {
  if (!n) return std::nullopt;
  xmlChar* v = uri ? xmlGetNsProp(n, X(local), X(uri)) : xmlGetNoNsProp(n, X(local));
  if (!v) return std::nullopt;
  std::string s((const char*)v);
  xmlFree(v);
  return s;
}

bool AttrTrue(xmlNode* n, const char* uri, const char* local) {
  auto v = Attr(n, uri, local);
  return v && (EqualsNoCase(Utf16(v->c_str()), u"true") || *v == "1");
}

int AttrInt(xmlNode* n, const char* uri, const char* local, int fallback) {
  auto v = Attr(n, uri, local);
  int x;
  return v && FromChars(*v, x) ? x : fallback;
}

// The ADO type by the reader rule: rs:dbtype first, then dt:type, then fixed/long variants.
int TypeOf(const std::optional<std::string>& dtType, const std::optional<std::string>& dbType, bool fixed,
           bool isLong) {
  std::string db = dbType ? *dbType : "", dt = dtType ? *dtType : "string";
  std::transform(db.begin(), db.end(), db.begin(), [](char c) { return (char)tolower((unsigned char)c); });
  static const std::map<std::string, int> byDbType = {
      {"currency", 6},    {"numeric", 131},   {"decimal", 14},  {"varnumeric", 139},
      {"variantdate", 7}, {"timestamp", 135}, {"filetime", 64}, {"bstr", 8}};
  if (auto it = byDbType.find(db); it != byDbType.end()) return it->second;
  if (dt == "string" || db == "str") {
    if (db == "str") return fixed ? 129 : isLong ? 201 : 200;
    return fixed ? 130 : isLong ? 203 : 202;
  }
  if (dt == "bin.hex") return fixed ? 128 : isLong ? 205 : 204;
  static const std::map<std::string, int> byDtType = {
      {"int", 3},      {"i4", 3},       {"i2", 2},          {"i1", 16},    {"ui1", 17},   {"ui2", 18},
      {"ui4", 19},     {"i8", 20},      {"ui8", 21},        {"float", 5},  {"r8", 5},     {"r4", 4},
      {"boolean", 11}, {"dateTime", 7}, {"dateTime.tz", 7}, {"date", 133}, {"time", 134}, {"time.tz", 134},
      {"uuid", 72},    {"number", 131}, {"fixed.14.4", 6},  {"char", 130}};
  if (auto it = byDtType.find(dt); it != byDtType.end()) return it->second;
  // An unknown XML-Data type reads as text, fixed or long as the column says, so that saving the
  // column again (as "string" with the same attributes) and reading it back gives the same type.
  return fixed ? 130 : isLong ? 203 : 202;
}

HRESULT BadSource(std::u16string* description) {
  if (description) *description = kBadSource;
  return E_FAIL;
}

// ---- Writing helpers ----

// Fail with hr, the detail (when there is one) following the documented text.
HRESULT Refuse(HRESULT hr, const std::u16string& detail, std::u16string* description) {
  Fail(hr, description);
  if (description && !detail.empty()) *description += u" " + detail;
  return hr;
}

void SetAttr(xmlNode* n, xmlNs* ns, const char* name, const std::string& value) {
  xmlNewNsProp(n, ns, X(name), X(value));
}

// Whether name can stand as a z:row attribute: an XML name without a colon that does not start
// with "xml" in any case (XML reserves those; "xmlns" would even be read as a namespace
// declaration and its column lost).
bool UsableXmlName(const std::string& name) {
  if (name.empty() || xmlValidateNCName(X(name), 0) != 0) return false;
  return !(name.size() >= 3 && (name[0] | 0x20) == 'x' && (name[1] | 0x20) == 'm' && (name[2] | 0x20) == 'l');
}

// "Column 2 ("Name")": how refusals name a column (ordinal 1-based).
std::u16string ColumnLabel(size_t index, const PersistColumn& c) {
  return u"Column " + Ascii(std::to_string(index + 1)) + u" (\"" + c.name + u"\")";
}

struct RowWriter {
  const std::vector<PersistColumn>& columns;
  const std::vector<std::string>& xmlNames;
  xmlNs* z;
  std::u16string* detail;  // receives what a refusal is about

  // Writes a z:row under parent with the columns whose include flag is set; row (may be null)
  // receives the element. rowLabel ("row 3") names the row in a refusal.
  HRESULT Write(xmlNode* parent, const std::vector<VARIANT>& values, const std::vector<bool>* include,
                const std::u16string& rowLabel, xmlNode** written = nullptr) {
    xmlNode* row = xmlNewChild(parent, z, X("row"), nullptr);
    if (written) *written = row;
    for (size_t c = 0; c < columns.size(); ++c) {
      if (include && !(*include)[c]) continue;
      std::optional<std::string> text;
      HRESULT hr = Text(values[c], c, rowLabel, text);
      if (FAILED(hr)) return hr;
      if (text) xmlNewProp(row, X(xmlNames[c]), X(*text));
    }
    return S_OK;
  }

  // WritableText of column c, with the refusal described in *detail.
  HRESULT Text(const VARIANT& value, size_t c, const std::u16string& rowLabel,
               std::optional<std::string>& out) {
    std::u16string why;
    HRESULT hr = WritableText(value, columns[c].type, out, &why);
    if (FAILED(hr)) *detail = ColumnLabel(c, columns[c]) + u", " + rowLabel + u": " + why + u".";
    return hr;
  }
};

// Why a column's names cannot be saved (empty when they can): its name, base table or base
// column holds what XML cannot carry.
std::u16string UnwritableNames(size_t index, const PersistColumn& c) {
  const struct {
    const std::u16string& text;
    const char16_t* what;
  } parts[] = {{c.name, u"name"}, {c.baseTable, u"base table name"}, {c.baseColumn, u"base column name"}};
  for (const auto& part : parts) {
    std::u16string why = Unwritable(part.text);
    if (!why.empty())
      return u"Column " + Ascii(std::to_string(index + 1)) + u": its " + part.what + u" holds " + why +
             u", which XML cannot carry.";
  }
  return u"";
}

// The document of columns and rows, in *out (the caller frees it), or the refusal.
HRESULT BuildDocument(const std::vector<PersistColumn>& columns, const std::vector<PersistRow>& rows,
                      xmlDoc** out, std::u16string* description) {
  *out = nullptr;
  for (const PersistRow& r : rows) {
    bool badOriginal =
        r.state == RowState::Modified && !r.original.empty() && r.original.size() != columns.size();
    if (r.values.size() != columns.size() || badOriginal) return Fail(kErrInvalidArgument, description);
  }
  // What XML cannot carry is refused before anything is written; so are values (below) whose
  // text would not read back.
  std::u16string detail;
  for (size_t i = 0; i < columns.size() && detail.empty(); ++i) detail = UnwritableNames(i, columns[i]);
  if (!detail.empty()) return Refuse(kErrDataConversion, detail, description);

  xmlDoc* doc = xmlNewDoc(X("1.0"));
  xmlNode* root = xmlNewNode(nullptr, X("xml"));
  xmlDocSetRootElement(doc, root);
  xmlNs* s = xmlNewNs(root, X(kUriS), X("s"));
  xmlNs* dt = xmlNewNs(root, X(kUriDt), X("dt"));
  xmlNs* rs = xmlNewNs(root, X(kUriRs), X("rs"));
  xmlNs* z = xmlNewNs(root, X(kUriZ), X("z"));

  xmlNode* schema = xmlNewChild(root, s, X("Schema"), nullptr);
  xmlNewProp(schema, X("id"), X("RowsetSchema"));
  xmlNode* elementType = xmlNewChild(schema, s, X("ElementType"), nullptr);
  xmlNewProp(elementType, X("name"), X("row"));
  xmlNewProp(elementType, X("content"), X("eltOnly"));
  bool updatable = std::any_of(columns.begin(), columns.end(), [](const PersistColumn& c) {
    return c.attributes >= 0 && (c.attributes & (kFldUpdatable | kFldUnknownUpdatable));
  });
  if (updatable) SetAttr(elementType, rs, "updatable", "true");

  // XML names: the column name when it is a usable XML name not used before, else c<ordinal-1>
  // with the real name in rs:name.
  std::vector<std::string> xmlNames;
  for (size_t i = 0; i < columns.size(); ++i) {
    std::string name = Utf8(columns[i].name);
    auto used = [&](const std::string& n) {
      return std::find(xmlNames.begin(), xmlNames.end(), n) != xmlNames.end();
    };
    if (!UsableXmlName(name) || used(name)) {
      std::string alias = "c" + std::to_string(i);
      while (used(alias)) alias += "_";
      xmlNames.push_back(alias);
    } else {
      xmlNames.push_back(name);
    }
  }

  for (size_t i = 0; i < columns.size(); ++i) {
    const PersistColumn& c = columns[i];
    const TypeInfo* info = FindType(c.type);
    int32_t attrs = c.attributes < 0 ? (kFldUnknownUpdatable | kFldIsNullable | kFldMayBeNull) : c.attributes;
    xmlNode* at = xmlNewChild(elementType, s, X("AttributeType"), nullptr);
    xmlNewProp(at, X("name"), X(xmlNames[i]));
    if (xmlNames[i] != Utf8(c.name)) SetAttr(at, rs, "name", Utf8(c.name));
    SetAttr(at, rs, "number", std::to_string(i + 1));
    if (attrs & kFldIsNullable) SetAttr(at, rs, "nullable", "true");
    if (attrs & kFldMayDefer) SetAttr(at, rs, "maydefer", "true");
    if (attrs & kFldUpdatable) SetAttr(at, rs, "write", "true");
    if (attrs & kFldUnknownUpdatable) SetAttr(at, rs, "writeunknown", "true");
    if (c.keyColumn || (attrs & kFldKeyColumn)) SetAttr(at, rs, "keycolumn", "true");
    if (!c.baseTable.empty()) SetAttr(at, rs, "basetable", Utf8(c.baseTable));
    if (!c.baseColumn.empty()) SetAttr(at, rs, "basecolumn", Utf8(c.baseColumn));

    xmlNode* dtNode = xmlNewChild(at, s, X("datatype"), nullptr);
    SetAttr(dtNode, dt, "type", info ? info->dtType : "string");
    if (info && info->dbType) SetAttr(dtNode, rs, "dbtype", info->dbType);
    SetAttr(dtNode, dt, "maxLength", std::to_string(c.definedSize));
    if (info && info->hasScale) SetAttr(dtNode, rs, "scale", std::to_string(c.scale));
    if (c.precision || (info && info->precision))
      SetAttr(dtNode, rs, "precision", std::to_string(c.precision));
    if ((attrs & kFldFixed) || (info && info->fixedByNature)) SetAttr(dtNode, rs, "fixedlength", "true");
    if (!(attrs & kFldMayBeNull)) SetAttr(dtNode, rs, "maybenull", "false");
    if ((attrs & kFldLong) || (info && info->isLong)) SetAttr(dtNode, rs, "long", "true");
  }
  xmlNode* extends = xmlNewChild(elementType, s, X("extends"), nullptr);
  xmlNewProp(extends, X("type"), X("rs:rowbase"));

  xmlNode* data = xmlNewChild(root, rs, X("data"), nullptr);
  RowWriter writer{columns, xmlNames, z, &detail};
  HRESULT hr = S_OK;
  xmlNode* group = nullptr;  // the open rs:insert or rs:delete for consecutive rows
  RowState groupState = RowState::Unchanged;
  for (size_t index = 0; index < rows.size() && SUCCEEDED(hr); ++index) {
    const PersistRow& r = rows[index];
    const std::u16string rowLabel = u"row " + Ascii(std::to_string(index + 1));
    if (r.state != RowState::Inserted && r.state != RowState::Deleted) group = nullptr;
    switch (r.state) {
      case RowState::Unchanged:
        hr = writer.Write(data, r.values, nullptr, rowLabel);
        break;
      case RowState::Inserted:
      case RowState::Deleted: {
        if (!group || groupState != r.state)
          group = xmlNewChild(data, rs, X(r.state == RowState::Inserted ? "insert" : "delete"), nullptr);
        groupState = r.state;
        bool useOriginal = r.state == RowState::Deleted && r.original.size() == columns.size();
        hr = writer.Write(group, useOriginal ? r.original : r.values, nullptr, rowLabel);
        break;
      }
      case RowState::Modified: {
        const std::vector<VARIANT>& orig = r.original.empty() ? r.values : r.original;
        xmlNode* update = xmlNewChild(data, rs, X("update"), nullptr);
        xmlNode* original = xmlNewChild(update, rs, X("original"), nullptr);
        hr = writer.Write(original, orig, nullptr, rowLabel + u" (original values)");
        std::vector<bool> changed(columns.size());
        std::string forceNull;  // columns changed to Null
        for (size_t c = 0; c < columns.size() && SUCCEEDED(hr); ++c) {
          std::optional<std::string> before, after;
          hr = writer.Text(orig[c], c, rowLabel + u" (original values)", before);
          if (SUCCEEDED(hr)) hr = writer.Text(r.values[c], c, rowLabel, after);
          changed[c] = after && before != after;
          if (before && !after) forceNull += (forceNull.empty() ? "" : " ") + xmlNames[c];
        }
        xmlNode* changedRow = nullptr;
        if (SUCCEEDED(hr)) hr = writer.Write(update, r.values, &changed, rowLabel, &changedRow);
        if (SUCCEEDED(hr) && !forceNull.empty()) SetAttr(changedRow, rs, "forcenull", forceNull);
        break;
      }
    }
  }
  if (FAILED(hr)) {
    xmlFreeDoc(doc);
    return Refuse(hr, detail, description);
  }
  *out = doc;
  return S_OK;
}

constexpr int kSaveOptions = XML_SAVE_FORMAT | XML_SAVE_NO_DECL;
constexpr int kReadOptions = XML_PARSE_NONET | XML_PARSE_NOWARNING | XML_PARSE_NOERROR;

// Reads a parsed document (null: not well-formed) into columns and rows, and frees it.
HRESULT ReadDocument(xmlDoc* doc, std::vector<PersistColumn>& columns, std::vector<PersistRow>& rows,
                     std::u16string* description);

}  // namespace

HRESULT PersistXml::Save(const std::string& utf8Path, const std::vector<PersistColumn>& columns,
                         const std::vector<PersistRow>& rows, bool overwrite, std::u16string* description) {
  struct stat st;
  if (!overwrite && stat(utf8Path.c_str(), &st) == 0) return Fail(kErrWriteFile, description);
  xmlDoc* doc = nullptr;
  HRESULT hr = BuildDocument(columns, rows, &doc, description);
  if (FAILED(hr)) return hr;
  xmlSaveCtxt* ctxt = xmlSaveToFilename(utf8Path.c_str(), "UTF-8", kSaveOptions);
  bool ok = ctxt && xmlSaveDoc(ctxt, doc) >= 0;
  if (ctxt) ok = xmlSaveClose(ctxt) >= 0 && ok;
  xmlFreeDoc(doc);
  return ok ? S_OK : Fail(kErrWriteFile, description);
}

HRESULT PersistXml::SaveText(std::string& text, const std::vector<PersistColumn>& columns,
                             const std::vector<PersistRow>& rows, std::u16string* description) {
  xmlDoc* doc = nullptr;
  HRESULT hr = BuildDocument(columns, rows, &doc, description);
  if (FAILED(hr)) return hr;
  xmlBuffer* buffer = xmlBufferCreate();
  xmlSaveCtxt* ctxt = buffer ? xmlSaveToBuffer(buffer, "UTF-8", kSaveOptions) : nullptr;
  bool ok = ctxt && xmlSaveDoc(ctxt, doc) >= 0;
  if (ctxt) ok = xmlSaveClose(ctxt) >= 0 && ok;
  if (ok)
    text.assign(reinterpret_cast<const char*>(xmlBufferContent(buffer)), (size_t)xmlBufferLength(buffer));
  if (buffer) xmlBufferFree(buffer);
  xmlFreeDoc(doc);
  return ok ? S_OK : Fail(kErrWriteFile, description);
}

HRESULT PersistXml::Load(const std::string& utf8Path, std::vector<PersistColumn>& columns,
                         std::vector<PersistRow>& rows, std::u16string* description) {
  columns.clear();
  Clear(rows);
  struct stat st;
  if (stat(utf8Path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return Fail(kErrOpeningFile, description);
  return ReadDocument(xmlReadFile(utf8Path.c_str(), nullptr, kReadOptions), columns, rows, description);
}

HRESULT PersistXml::LoadText(std::string_view text, std::vector<PersistColumn>& columns,
                             std::vector<PersistRow>& rows, std::u16string* description) {
  columns.clear();
  Clear(rows);
  if (text.size() > (size_t)INT_MAX) return BadSource(description);
  return ReadDocument(xmlReadMemory(text.data(), (int)text.size(), nullptr, nullptr, kReadOptions), columns,
                      rows, description);
}

namespace {

HRESULT ReadDocument(xmlDoc* doc, std::vector<PersistColumn>& columns, std::vector<PersistRow>& rows,
                     std::u16string* description) {
  if (!doc) return BadSource(description);
  struct DocGuard {
    xmlDoc* d;
    ~DocGuard() { xmlFreeDoc(d); }
  } guard{doc};

  xmlNode* root = xmlDocGetRootElement(doc);
  xmlNode* elementType = FirstChild(
      FirstChild(IsElement(root, nullptr, "xml") ? root : nullptr, kUriS, "Schema"), kUriS, "ElementType");
  xmlNode* data = FirstChild(root, kUriRs, "data");
  if (!elementType || !data) return BadSource(description);

  // Columns, ordered by rs:number when every column has one.
  struct Read {
    PersistColumn column;
    std::string xmlName;
    int number;
  };
  std::vector<Read> read;
  for (xmlNode* at = elementType->children; at; at = at->next) {
    if (!IsElement(at, kUriS, "AttributeType")) continue;
    auto name = Attr(at, nullptr, "name");
    if (!name) return BadSource(description);
    xmlNode* type = FirstChild(at, kUriS, "datatype");
    if (!type) type = at;  // XML-Data also allows the type attributes on AttributeType itself
    Read r;
    r.xmlName = *name;
    r.number = AttrInt(at, kUriRs, "number", -1);
    PersistColumn& c = r.column;
    auto realName = Attr(at, kUriRs, "name");
    c.name = Utf16((realName ? *realName : *name).c_str());
    bool fixed = AttrTrue(type, kUriRs, "fixedlength"), isLong = AttrTrue(type, kUriRs, "long");
    c.type = TypeOf(Attr(type, kUriDt, "type"), Attr(type, kUriRs, "dbtype"), fixed, isLong);
    const TypeInfo* info = FindType(c.type);
    c.definedSize = AttrInt(type, kUriDt, "maxLength", info ? info->size : 0);
    c.precision = (uint8_t)AttrInt(type, kUriRs, "precision", info ? info->precision : 0);
    c.scale = (uint8_t)AttrInt(type, kUriRs, "scale", 0);
    c.keyColumn = AttrTrue(at, kUriRs, "keycolumn");
    if (auto v = Attr(at, kUriRs, "basetable")) c.baseTable = Utf16(v->c_str());
    if (auto v = Attr(at, kUriRs, "basecolumn")) c.baseColumn = Utf16(v->c_str());
    int32_t a = 0;
    if (AttrTrue(at, kUriRs, "nullable")) a |= kFldIsNullable;
    if (AttrTrue(at, kUriRs, "maydefer")) a |= kFldMayDefer;
    if (AttrTrue(at, kUriRs, "write")) a |= kFldUpdatable;
    if (AttrTrue(at, kUriRs, "writeunknown")) a |= kFldUnknownUpdatable;
    if (fixed) a |= kFldFixed;
    if (isLong) a |= kFldLong;
    auto mayBeNull = Attr(type, kUriRs, "maybenull");
    if (!mayBeNull || !EqualsNoCase(Utf16(mayBeNull->c_str()), u"false")) a |= kFldMayBeNull;
    if (c.keyColumn) a |= kFldKeyColumn;
    c.attributes = a;
    read.push_back(std::move(r));
  }
  if (read.empty()) return BadSource(description);
  if (std::all_of(read.begin(), read.end(), [](const Read& r) { return r.number > 0; }))
    std::stable_sort(read.begin(), read.end(),
                     [](const Read& x, const Read& y) { return x.number < y.number; });
  std::map<std::string, size_t> indexOf;
  for (size_t i = 0; i < read.size(); ++i) indexOf.emplace(read[i].xmlName, i);
  std::vector<PersistColumn> cols;
  for (Read& r : read) cols.push_back(std::move(r.column));

  // Rows.
  std::vector<PersistRow> result;
  bool ok = true;
  auto readRow = [&](xmlNode* row, std::vector<VARIANT>& values) {
    values.assign(cols.size(), VARIANT{});
    for (VARIANT& v : values) v.vt = VT_NULL;
    for (xmlAttr* a = row->properties; a && ok; a = a->next) {
      if (a->ns) continue;
      auto it = indexOf.find((const char*)a->name);
      if (it == indexOf.end()) continue;  // not a column of the schema
      xmlChar* text = xmlNodeListGetString(doc, a->children, 1);
      std::string s = text ? (const char*)text : "";
      xmlFree(text);
      VARIANT v;
      VariantInit(&v);
      if (!ReadValue(s, cols[it->second].type, &v)) {
        ok = false;
        break;
      }
      VariantClear(&values[it->second]);
      values[it->second] = v;
    }
  };
  auto isRow = [](xmlNode* n) { return IsElement(n, kUriZ, "row"); };
  for (xmlNode* n = data->children; n && ok; n = n->next) {
    if (isRow(n)) {
      result.emplace_back();
      readRow(n, result.back().values);
    } else if (IsElement(n, kUriRs, "insert") || IsElement(n, kUriRs, "delete")) {
      RowState state = IsElement(n, kUriRs, "insert") ? RowState::Inserted : RowState::Deleted;
      for (xmlNode* r = n->children; r && ok; r = r->next) {
        if (!isRow(r)) continue;
        result.emplace_back();
        result.back().state = state;
        readRow(r, result.back().values);
      }
    } else if (IsElement(n, kUriRs, "update")) {
      result.emplace_back();
      PersistRow& pr = result.back();
      pr.state = RowState::Modified;
      xmlNode* originalRow = FirstChild(FirstChild(n, kUriRs, "original"), kUriZ, "row");
      xmlNode* changedRow = FirstChild(n, kUriZ, "row");
      if (originalRow) readRow(originalRow, pr.original);
      std::vector<VARIANT> changed;
      if (changedRow && ok) readRow(changedRow, changed);
      std::vector<bool> forceNull(cols.size());
      if (auto list = Attr(changedRow, kUriRs, "forcenull")) {
        std::istringstream names(*list);
        for (std::string name; names >> name;)
          if (auto it = indexOf.find(name); it != indexOf.end()) forceNull[it->second] = true;
      }
      pr.values.assign(cols.size(), VARIANT{});
      for (size_t c = 0; c < cols.size(); ++c) {
        VariantInit(&pr.values[c]);
        pr.values[c].vt = VT_NULL;
        if (forceNull[c]) continue;
        const bool isChanged = c < changed.size() && changed[c].vt != VT_NULL;
        const VARIANT* src = isChanged ? &changed[c] : (c < pr.original.size() ? &pr.original[c] : nullptr);
        if (src) VariantCopy(&pr.values[c], src);
      }
      for (VARIANT& v : changed) VariantClear(&v);
    }
  }
  if (!ok) {
    PersistXml::Clear(result);
    return BadSource(description);
  }
  columns = std::move(cols);
  rows = std::move(result);
  return S_OK;
}

}  // namespace

void PersistXml::Clear(std::vector<PersistRow>& rows) {
  for (PersistRow& r : rows) {
    for (VARIANT& v : r.values) VariantClear(&v);
    for (VARIANT& v : r.original) VariantClear(&v);
  }
  rows.clear();
}

}  // namespace kp::ado
