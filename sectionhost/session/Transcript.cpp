// The transcript's line forms; see Transcript.h.
#include "Transcript.h"

#include <winnls.h>

namespace sectionhost {

void Transcript::Line(const std::string& utf8) {
  out_ << utf8 << '\n';
  out_.flush();
}

void Transcript::CommandText(const std::string& gbk) {
  Line(kp::GbkToUtf8(gbk));
}

void Transcript::MessageBoxLine(const std::string& gbkCaption, const std::string& gbkText) {
  Line("[message box] " + EscapeBreaks(kp::GbkToUtf8(gbkCaption)) + ": " +
       EscapeBreaks(kp::GbkToUtf8(gbkText)));
}

std::string Transcript::EscapeBreaks(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char ch : text) {
    if (ch == '\n') {
      out += "\\n";
    } else if (ch == '\t') {
      out += "\\t";
    } else if (ch == '\r') {
      out += "\\r";
    } else {
      out += ch;
    }
  }
  return out;
}

}  // namespace sectionhost
