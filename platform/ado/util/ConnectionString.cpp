// OLE DB connection-string parsing and writing; see ConnectionString.h for the syntax followed.
// Where the OLE DB documentation leaves a detail open (doubled '=' in keywords, blanks after a
// closing quote) the behaviour of the OLE DB service components as publicly described is
// followed and noted at the spot.
#include "ConnectionString.h"

#include "TextUtil.h"
#include "UtilErrors.h"

namespace kp::ado {

namespace {

// Reads an ODBC brace group starting at text[pos] == '{'. On success answers the position just
// past the closing '}' ("}}" inside is an escaped brace); npos when the group is not closed.
size_t SkipBraceGroup(std::u16string_view text, size_t pos) {
  for (size_t i = pos + 1; i < text.size(); ++i) {
    if (text[i] != u'}') continue;
    if (i + 1 < text.size() && text[i + 1] == u'}') {
      ++i;
      continue;
    }
    return i + 1;
  }
  return std::u16string_view::npos;
}

bool IsWholeBraceGroup(std::u16string_view value) {
  return !value.empty() && value[0] == u'{' && SkipBraceGroup(value, 0) == value.size();
}

}  // namespace

HRESULT ConnectionString::Parse(std::u16string_view text, ConnectionString& out) {
  out.pairs_.clear();
  ConnectionString result;
  size_t i = 0;
  const size_t n = text.size();
  while (i < n) {
    // Keyword: up to the first single '='; "==" stands for a literal '='.
    std::u16string key;
    bool haveEquals = false;
    while (i < n && text[i] != u';') {
      if (text[i] == u'=') {
        if (i + 1 < n && text[i + 1] == u'=') {
          key += u'=';
          i += 2;
          continue;
        }
        haveEquals = true;
        ++i;
        break;
      }
      key += text[i++];
    }
    if (!haveEquals) {  // "ODBC;" and empty segments carry no pair
      if (i < n) ++i;
      continue;
    }
    std::u16string_view trimmedKey = Trim(key);

    // Value.
    while (i < n && IsBlank(text[i]) && text[i] != u';') ++i;
    std::u16string value;
    if (i < n && (text[i] == u'"' || text[i] == u'\'')) {
      const char16_t quote = text[i++];
      bool closed = false;
      while (i < n) {
        if (text[i] == quote) {
          if (i + 1 < n && text[i + 1] == quote) {
            value += quote;
            i += 2;
            continue;
          }
          closed = true;
          ++i;
          break;
        }
        value += text[i++];
      }
      while (i < n && IsBlank(text[i])) ++i;
      if (!closed || (i < n && text[i] != u';')) return DB_E_BADINITSTRING;
    } else {
      size_t start = i;
      if (i < n && text[i] == u'{') {
        size_t end = SkipBraceGroup(text, i);
        if (end != std::u16string_view::npos) i = end;
      }
      while (i < n && text[i] != u';') ++i;
      value = std::u16string(Trim(text.substr(start, i - start)));
    }
    if (i < n) ++i;  // the ';'

    if (trimmedKey.empty()) continue;  // "=value" names nothing; OLE DB ignores it as well
    result.Set(trimmedKey, value);
  }
  out = std::move(result);
  return S_OK;
}

std::vector<ConnectionString::Pair>::iterator ConnectionString::Find(std::u16string_view key) {
  std::u16string_view k = Trim(key);
  for (auto it = pairs_.begin(); it != pairs_.end(); ++it)
    if (EqualsNoCase(it->first, k)) return it;
  return pairs_.end();
}

std::u16string ConnectionString::Get(std::u16string_view key) const {
  auto it = const_cast<ConnectionString*>(this)->Find(key);
  return it == pairs_.end() ? std::u16string() : it->second;
}

bool ConnectionString::Has(std::u16string_view key) const {
  return const_cast<ConnectionString*>(this)->Find(key) != pairs_.end();
}

void ConnectionString::Set(std::u16string_view key, std::u16string_view value) {
  auto it = Find(key);
  if (it != pairs_.end())
    it->second = value;
  else
    pairs_.emplace_back(std::u16string(Trim(key)), std::u16string(value));
}

bool ConnectionString::Remove(std::u16string_view key) {
  auto it = Find(key);
  if (it == pairs_.end()) return false;
  pairs_.erase(it);
  return true;
}

std::u16string ConnectionString::ToString() const {
  std::u16string out;
  for (const Pair& p : pairs_) {
    if (!out.empty()) out += u';';
    for (char16_t c : p.first) {
      out += c;
      if (c == u'=') out += u'=';
    }
    out += u'=';
    const std::u16string& v = p.second;
    // Bare, a value must read back as itself: no outer blanks (trimmed), no leading '=' (it
    // would join the keyword as "=="), no ';' or quote, and a leading '{' only as one whole
    // brace group (the parser keeps such a group, ';' and quotes included, up to its '}').
    bool quote = !v.empty() && (IsBlank(v.front()) || IsBlank(v.back()) || v.front() == u'=');
    if (!quote && !IsWholeBraceGroup(v))
      quote = v.find_first_of(u";\"'") != std::u16string::npos || (!v.empty() && v[0] == u'{');
    if (!quote) {
      out += v;
      continue;
    }
    out += u'"';
    for (char16_t c : v) {
      out += c;
      if (c == u'"') out += u'"';
    }
    out += u'"';
  }
  return out;
}

std::u16string ConnectionString::OdbcValue(std::u16string_view value) {
  bool brace = value.find_first_of(u";{}") != std::u16string_view::npos ||
               (!value.empty() && (IsBlank(value.front()) || IsBlank(value.back())));
  if (!brace) return std::u16string(value);
  std::u16string out = u"{";
  for (char16_t c : value) {
    out += c;
    if (c == u'}') out += u'}';
  }
  out += u'}';
  return out;
}

}  // namespace kp::ado
