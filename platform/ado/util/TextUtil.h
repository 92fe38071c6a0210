// Small UTF-16 text helpers shared by the ADO utility parsers: blank tests, trimming and the
// case-insensitive comparison ADO applies to keywords, field names and string values.
// Case folding covers ASCII and Latin-1 letters only (U+00C0-U+00DE except U+00D7); other
// scripts (CJK among them) have no case or are compared as they are. Windows folds with the
// full Unicode tables of the user locale; for the names and data this platform meets the two
// agree.
#pragma once
#include <string>
#include <string_view>

namespace kp::ado {

inline bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

inline char16_t FoldCase(char16_t c) {
  if (c >= u'A' && c <= u'Z') return (char16_t)(c + 32);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return (char16_t)(c + 32);
  return c;
}

inline std::u16string_view Trim(std::u16string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

// <0, 0, >0 comparing a and b unit by unit after case folding.
inline int CompareNoCase(std::u16string_view a, std::u16string_view b) {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    char16_t x = FoldCase(a[i]), y = FoldCase(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

inline bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() && CompareNoCase(a, b) == 0;
}

}  // namespace kp::ado
