// Fonts for Chinese text. The section's labels and the plug-in's dialog are Chinese; a font
// without those glyphs draws each character as the missing-glyph box. The families come from
// fontconfig through QFontDatabase: Noto Sans CJK SC (Debian fonts-noto-cjk) first, then any
// installed family that writes Simplified Chinese.
//
// A dialog template names its own face ("宋体" 9 pt for the stratum dialog); that face is used
// when it is installed, else the nearest CJK family above, at the template's point size.
#pragma once
#include <QFont>
#include <QString>

namespace sectionhost {

class CjkFonts {
 public:
  static constexpr const char* kPreferredFamily = "Noto Sans CJK SC";

  // The family for Chinese text; empty when none is installed.
  static QString Family();
  // A font of that family (the application's font when there is none) at `pointSize`.
  static QFont Font(double pointSize);
  // The template's face when installed, else Font(); `faceUtf8` may be empty.
  static QFont DialogFont(const QString& faceUtf8, int pointSize);
};

}  // namespace sectionhost
