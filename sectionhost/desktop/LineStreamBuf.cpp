// Lines of an output stream to a callback; see LineStreamBuf.h.
#include "LineStreamBuf.h"

namespace sectionhost {

void LineStreamBuf::Put(char ch) {
  if (ch != '\n') {
    line_ += ch;
    return;
  }
  std::string line;
  line.swap(line_);
  if (sink_) sink_(line);
}

LineStreamBuf::int_type LineStreamBuf::overflow(int_type ch) {
  if (!traits_type::eq_int_type(ch, traits_type::eof())) Put(traits_type::to_char_type(ch));
  return traits_type::not_eof(ch);
}

std::streamsize LineStreamBuf::xsputn(const char* s, std::streamsize n) {
  for (std::streamsize i = 0; i < n; ++i) Put(s[i]);
  return n;
}

int LineStreamBuf::sync() {
  if (!line_.empty()) Put('\n');
  return 0;
}

}  // namespace sectionhost
