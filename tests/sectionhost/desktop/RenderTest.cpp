// The pictures of the section: the exported PNG shows a stratum as a band in its code's colour
// with its Chinese code drawn in a font that has the glyphs (not the missing-glyph box), and
// the exported SVG names that font family; deleted entities are hidden unless the view shows
// them.
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <fstream>

#include "WindowFixture.h"
#include "sectionhost/desktop/CjkFonts.h"
#include "sectionhost/desktop/MapView.h"
#include "sectionhost/desktop/SectionPainter.h"

namespace sectionhost {
namespace {

// The sample's curves and a sandstone band coded in Chinese between them.
const char kMapWithStratum[] = R"({"type": "FeatureCollection", "features": [
 {"type": "Feature", "id": 1, "properties": {"entityType": 3, "deleted": true},
  "geometry": {"type": "LineString", "coordinates": [[0, 52], [20, 55], [45, 51], [70, 54], [100, 50]]}},
 {"type": "Feature", "id": 2, "properties": {"entityType": 2},
  "geometry": {"type": "LineString", "coordinates": [[0, 40], [25, 41], [50, 37], [75, 39], [100, 36]]}},
 {"type": "Feature", "id": 6, "properties": {"entityType": 27, "code": "砂岩", "scale": 1,
  "samples": [[0, 40, 0, 12, 0, 0, 1], [50, 37, 0, 14, 0, 0, 1], [100, 36, 0, 14, 0, 0, 1]]},
  "geometry": null}
]})";

class Render : public testing_support::WindowFixture {};

// Draws `text` black on white in `font`.
QImage Glyphs(const QString& text, const QFont& font) {
  QImage image(120, 40, QImage::Format_ARGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setFont(font);
  painter.setPen(Qt::black);
  painter.drawText(QPointF(4, 28), text);
  return image;
}

int DarkPixels(const QImage& image, const QRect& area) {
  int count = 0;
  for (int y = std::max(0, area.top()); y <= std::min(image.height() - 1, area.bottom()); ++y) {
    for (int x = std::max(0, area.left()); x <= std::min(image.width() - 1, area.right()); ++x) {
      if (qGray(image.pixel(x, y)) < 100) ++count;
    }
  }
  return count;
}

TEST_F(Render, PngShowsTheBandInItsCodesColourAndTheChineseCodeInRealGlyphs) {
  std::ofstream(dir_ + "stratum.geojson") << kMapWithStratum;
  Open(dir_ + "stratum.geojson");
  ASSERT_TRUE(window_->ExportPng(QString::fromStdString(dir_ + "section.png")));
  QImage png(QString::fromStdString(dir_ + "section.png"));
  ASSERT_EQ(png.size(), QSize(MainWindow::kExportWidth, MainWindow::kExportHeight));
  ViewTransform view;
  view.Fit(window_->View()->Scene().extent, png.size(), MapView::kFitMargin);

  // Inside the band, away from the lines and the label: the code's colour at alpha 170 on white.
  QColor code = SectionPainter::CodeColor("砂岩");
  QColor seen = png.pixelColor(view.ToScreen(35, 45).toPoint());
  auto blend = [](int c) { return (c * 170 + 255 * 85) / 255; };
  EXPECT_NEAR(seen.red(), blend(code.red()), 3);
  EXPECT_NEAR(seen.green(), blend(code.green()), 3);
  EXPECT_NEAR(seen.blue(), blend(code.blue()), 3);

  // The label at its anchor (half the thickness above the middle sample) has ink.
  QPoint anchor = view.ToScreen(50, 37 + 7).toPoint();
  EXPECT_GT(DarkPixels(png, QRect(anchor - QPoint(30, 15), anchor + QPoint(30, 15))), 20);

  // The labels' font has the glyphs: the code drawn in it is not the missing-glyph box that
  // characters no font has (U+0378, unassigned) are drawn as.
  QFont font = window_->View()->Style().font;
  QFontMetricsF metrics(font);
  EXPECT_TRUE(metrics.inFontUcs4(U'砂'));
  EXPECT_TRUE(metrics.inFontUcs4(U'岩'));
  EXPECT_FALSE(CjkFonts::Family().isEmpty());
  QImage real = Glyphs("砂岩", font), missing = Glyphs(QString::fromUcs4(U"\u0378\u0378"), font);
  EXPECT_GT(DarkPixels(real, real.rect()), 30);
  EXPECT_NE(real, missing);
}

TEST_F(Render, SvgNamesTheCjkFontFamilyAndDeletedEntitiesShowOnlyWhenAsked) {
  std::ofstream(dir_ + "stratum.geojson") << kMapWithStratum;
  Open(dir_ + "stratum.geojson");
  ASSERT_TRUE(window_->ExportSvg(QString::fromStdString(dir_ + "section.svg")));
  std::string svg = Read(dir_ + "section.svg");
  EXPECT_NE(svg.find("<svg"), std::string::npos);
  EXPECT_NE(svg.find("font-family=\"" + CjkFonts::Family().toStdString() + "\""), std::string::npos);

  // The deleted curve 1 runs through (20, 55): white there until the view shows deleted ones.
  QSize size(800, 500);
  ViewTransform view;
  view.Fit(window_->View()->Scene().extent, size, MapView::kFitMargin);
  QPoint onCurve = view.ToScreen(20, 55).toPoint();
  QRect around(onCurve - QPoint(2, 2), onCurve + QPoint(2, 2));
  auto gray = [&](const QImage& image) {
    int count = 0;
    for (int y = around.top(); y <= around.bottom(); ++y) {
      for (int x = around.left(); x <= around.right(); ++x) count += qGray(image.pixel(x, y)) < 230;
    }
    return count;
  };
  EXPECT_EQ(gray(window_->Render(size)), 0);
  window_->View()->SetShowDeleted(true);
  EXPECT_GT(gray(window_->Render(size)), 0);
}

}  // namespace
}  // namespace sectionhost
