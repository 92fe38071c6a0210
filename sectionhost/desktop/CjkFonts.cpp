// Fonts for Chinese text; see CjkFonts.h.
#include "CjkFonts.h"

#include <QApplication>
#include <QFontDatabase>

namespace sectionhost {

QString CjkFonts::Family() {
  static const QString family = [] {
    QStringList families = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
    if (families.contains(kPreferredFamily)) return QString(kPreferredFamily);
    for (const QString& f : families) {
      if (f.contains("CJK") || f.contains("Hei") || f.contains("Song")) return f;
    }
    return families.isEmpty() ? QString() : families.front();
  }();
  return family;
}

QFont CjkFonts::Font(double pointSize) {
  QFont font = QApplication::font();
  QString family = Family();
  if (!family.isEmpty()) font.setFamilies({family});
  font.setPointSizeF(pointSize);
  return font;
}

QFont CjkFonts::DialogFont(const QString& faceUtf8, int pointSize) {
  double size = pointSize > 0 ? pointSize : 9;
  if (!faceUtf8.isEmpty() && QFontDatabase::families().contains(faceUtf8)) {
    QFont font(faceUtf8);
    font.setPointSizeF(size);
    return font;
  }
  return Font(size);
}

}  // namespace sectionhost
