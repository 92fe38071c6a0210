// Drawing a section map as SVG; see SvgWriter.h. The drawing area is 960 pixels wide (height by
// the map's aspect ratio, between 240 and 1600 pixels), with margins for the grid labels and a
// legend line. Degenerate extents (no points, a single point, a flat line) are widened to a
// unit square around their centre so the scale stays finite. Non-finite coordinates are skipped.
//
// Any finite coordinates can be drawn, up to +-DBL_MAX. The frame works in half values (x / 2),
// so neither the centre nor the span of an extent from -1e308 to 1e308 overflows, and the frame
// is clamped to the doubles. A frame narrower than the spacing of doubles at its centre (a
// single point at 1e300) or than kMinHalfSpan is widened until the scale is finite. The grid is
// drawn at integer multiples of its step, at most SvgWriter::kMaxGridLines lines per axis, and
// a line that rounds onto the previous one (a step below the spacing of doubles) is drawn once.
// Every number is formatted into a fixed buffer in a form that fits it.
#include "SvgWriter.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <vector>

#include "MapFile.h"
#include "ScreenPath.h"

namespace sectionhost {

namespace {

constexpr double kDrawWidth = 960.0;
constexpr double kMinDrawHeight = 240.0;
constexpr double kMaxDrawHeight = 1600.0;
constexpr double kMarginLeft = 70.0, kMarginRight = 90.0, kMarginTop = 50.0, kMarginBottom = 60.0;
constexpr int kGridLines = 10;
// The least half width of the frame: below it the pixel scale would overflow.
constexpr double kMinHalfSpan = 1e-290;
// The least half width of the frame relative to its centre's magnitude: about 45 times the
// spacing of doubles there (2.2e-16 relative), so the frame's edges and its grid lines are
// distinct values.
constexpr double kMinRelativeHalfSpan = 1e-14;

struct Extent {
  double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
  void Add(double x, double y) {
    if (!std::isfinite(x) || !std::isfinite(y)) return;
    minX = std::min(minX, x), maxX = std::max(maxX, x);
    minY = std::min(minY, y), maxY = std::max(maxY, y);
  }
  bool Empty() const { return minX > maxX; }
};

// Non-curve entities are drawn at the first position of their geometry, if any.
bool AnchorOf(const MapEntity& e, double* x, double* y) {
  const auto& g = e.geometry;
  if (!g.is_object() || !g.contains("coordinates")) return false;
  const auto* c = &g["coordinates"];
  while (c->is_array() && !c->empty() && (*c)[0].is_array()) c = &(*c)[0];
  if (!c->is_array() || c->size() < 2 || !(*c)[0].is_number() || !(*c)[1].is_number()) return false;
  *x = (*c)[0].get<double>();
  *y = (*c)[1].get<double>();
  return std::isfinite(*x) && std::isfinite(*y);
}

std::string LabelOf(const MapEntity& e) {
  for (const char* key : {"text", "label", "name"}) {
    if (e.properties.contains(key) && e.properties[key].is_string())
      return e.properties[key].get<std::string>();
  }
  return "#" + std::to_string(e.id);
}

// Pixel coordinates: two decimals. Drawn points lie inside the picture, so the fixed form
// fits; anything else (never expected) gets the exponent form, which always fits.
std::string Num(double v) {
  char buf[32];
  if (!std::isfinite(v)) return "0";
  std::snprintf(buf, sizeof buf, std::fabs(v) < 1e12 ? "%.2f" : "%.6e", v);
  return buf;
}

// Map values in labels: "%g" is at most 13 characters for any double.
std::string Label(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", std::fabs(v) < 1e-12 ? 0.0 : v);
  return buf;
}

// The middle of a and b without overflow.
double Middle(double a, double b) {
  return a / 2 + b / 2;
}

// A step of 1, 2 or 5 times a power of ten, at least `raw` (> 0, finite).
double NiceStep(double raw) {
  double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 5.0}) {
    if (m * power >= raw) return m * power;
  }
  return 10.0 * power;
}

// One axis of the frame: [lo, hi] in map units, finite, lo < hi.
struct Axis {
  double lo = 0, hi = 1;
  // Half the width, without overflow.
  double HalfWidth() const { return hi / 2 - lo / 2; }
  // The grid step for about kGridLines lines.
  double Step() const {
    double raw = HalfWidth() / kGridLines * 2;
    return raw > 0 && std::isfinite(raw) ? NiceStep(raw) : 1.0;
  }
  // The grid values: multiples of `step` inside the axis, at most SvgWriter::kMaxGridLines, each
  // once.
  std::vector<double> GridValues(double step) const {
    std::vector<double> values;
    double first = std::ceil(lo / step);
    if (!std::isfinite(first)) return values;
    for (int n = 0; n < SvgWriter::kMaxGridLines * 4 && values.size() < SvgWriter::kMaxGridLines; ++n) {
      double v = (first + n) * step;
      if (!(v <= hi)) break;
      if (v < lo || (!values.empty() && v <= values.back())) continue;
      values.push_back(v);
    }
    return values;
  }
};

// The axis around [min, max] with 5% room at each side: the half width is widened to `half`
// when the extent is narrower (degenerate), then to what doubles can tell apart at the centre.
Axis FrameAxis(double min, double max, double half) {
  double centre = Middle(min, max);
  half = std::max({half, std::fabs(centre) * kMinRelativeHalfSpan, kMinHalfSpan});
  Axis a;
  a.lo = std::max(-DBL_MAX, centre - half * 1.1);
  a.hi = std::min(DBL_MAX, centre + half * 1.1);
  return a;
}

const char* CurveColour(int type) {
  switch (type) {
    case EntityPolyline:
      return "#1f4e9c";
    case EntitySmoothCurve:
      return "#8c2d19";
    default:
      return "#2d7a2d";
  }
}

const char* kBandColours[] = {"#e9c46a", "#90be6d", "#f4a261", "#84a9c0", "#c9a0dc", "#e5989b"};

// Fonts with Chinese glyphs first, by the names viewers know them by, then any sans-serif.
const char* kFontFamily =
    "'Noto Sans CJK SC', 'Noto Sans SC', 'Source Han Sans SC', 'WenQuanYi Micro Hei', 'Microsoft YaHei', "
    "'SimSun', sans-serif";

}  // namespace

double SvgWriter::GridStep(double span, int lines) {
  if (!(span > 0) || !std::isfinite(span) || lines <= 0) return 1.0;
  double raw = span / lines;
  return raw > 0 ? NiceStep(raw) : 1.0;
}

std::string SvgWriter::EscapeXml(const std::string& text) {
  std::string out;
  for (char ch : text) {
    switch (ch) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += ch;
    }
  }
  return out;
}

std::string SvgWriter::Format(const MapData& map, const std::string& title) {
  return Format(EntitiesOf(map), title);
}

std::string SvgWriter::Format(const EachEntity& entities, const std::string& title) {
  // First pass: the extent.
  Extent ext;
  entities([&](const MapEntity& e) {
    if (IsCurveType(e.type)) {
      for (const Point3D& p : e.linePoints) ext.Add(p.x, p.y);
      for (const Point3D& p : e.nodes) ext.Add(p.x, p.y);
    } else if (e.type == EntitySectionStratum) {
      for (const StratumSample& s : e.samples) {
        ext.Add(s.point.x, s.point.y);
        ext.Add(s.point.x, s.point.y + s.thickness);
      }
    } else {
      double x, y;
      if (AnchorOf(e, &x, &y)) ext.Add(x, y);
    }
  });
  if (ext.Empty()) ext.Add(0, 0);
  // Half spans (no overflow); a degenerate one takes the other's, both degenerate are 1 x 1.
  double halfX = ext.maxX / 2 - ext.minX / 2, halfY = ext.maxY / 2 - ext.minY / 2;
  if (!(halfX > 0) && !(halfY > 0)) halfX = halfY = 0.5;
  if (!(halfX > 0)) halfX = halfY;
  if (!(halfY > 0)) halfY = halfX;
  const Axis ax = FrameAxis(ext.minX, ext.maxX, halfX), ay = FrameAxis(ext.minY, ext.maxY, halfY);
  const double x0 = ax.lo, x1 = ax.hi, y0 = ay.lo, y1 = ay.hi;
  // Pixels per half map unit, so that (x / 2 - x0 / 2) never overflows.
  const double halfScale = kDrawWidth / ax.HalfWidth();
  double drawHeight = std::clamp(ay.HalfWidth() * halfScale, kMinDrawHeight, kMaxDrawHeight);
  const double halfScaleY = drawHeight / ay.HalfWidth();
  auto X = [&](double x) { return kMarginLeft + (x / 2 - x0 / 2) * halfScale; };
  auto Y = [&](double y) { return kMarginTop + (y1 / 2 - y / 2) * halfScaleY; };
  double width = kMarginLeft + kDrawWidth + kMarginRight;
  double height = kMarginTop + drawHeight + kMarginBottom;

  std::string s;
  s += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  s += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Num(width) + "\" height=\"" + Num(height) +
       "\" viewBox=\"0 0 " + Num(width) + " " + Num(height) + "\" font-family=\"" + kFontFamily + "\">\n";
  s += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
  s += "<text x=\"" + Num(kMarginLeft) + "\" y=\"28\" font-size=\"18\">" + EscapeXml(title) + "</text>\n";

  // Grid and its labels.
  s += "<g stroke=\"#e3e3e3\" stroke-width=\"1\">\n";
  std::string labels;
  double stepX = ax.Step(), stepY = ay.Step();
  for (double gx : ax.GridValues(stepX)) {
    s += "<line x1=\"" + Num(X(gx)) + "\" y1=\"" + Num(Y(y1)) + "\" x2=\"" + Num(X(gx)) + "\" y2=\"" +
         Num(Y(y0)) + "\"/>\n";
    labels += "<text x=\"" + Num(X(gx)) + "\" y=\"" + Num(Y(y0) + 16) + "\" text-anchor=\"middle\">" +
              Label(gx) + "</text>\n";
  }
  for (double gy : ay.GridValues(stepY)) {
    s += "<line x1=\"" + Num(X(x0)) + "\" y1=\"" + Num(Y(gy)) + "\" x2=\"" + Num(X(x1)) + "\" y2=\"" +
         Num(Y(gy)) + "\"/>\n";
    labels += "<text x=\"" + Num(X(x0) - 6) + "\" y=\"" + Num(Y(gy) + 4) + "\" text-anchor=\"end\">" +
              Label(gy) + "</text>\n";
  }
  s += "</g>\n<g font-size=\"11\" fill=\"#777\">\n" + labels + "</g>\n";
  s += "<rect x=\"" + Num(X(x0)) + "\" y=\"" + Num(Y(y1)) + "\" width=\"" + Num(X(x1) - X(x0)) +
       "\" height=\"" + Num(Y(y0) - Y(y1)) + "\" fill=\"none\" stroke=\"#bbb\"/>\n";

  // Second pass: strata under the curves, the curves, then the other entities, each kind
  // collected in the entities' order.
  std::string bands, curves, others;
  int band = 0;
  // A path of map points thinned to the picture's pixels, as "x,y " pairs.
  auto pathText = [&](const auto& forEachPoint) {
    ScreenPath path;
    forEachPoint([&](double x, double y) {
      if (std::isfinite(x) && std::isfinite(y)) path.Add(X(x), Y(y));
    });
    std::string points;
    for (const ScreenPath::Point& p : path.Points()) points += Num(p.x) + "," + Num(p.y) + " ";
    return points;
  };
  entities([&](const MapEntity& e) {
    if (e.type == EntitySectionStratum) {
      const char* colour = kBandColours[band++ % (sizeof kBandColours / sizeof kBandColours[0])];
      Extent be;
      std::string points = pathText([&](const auto& add) {
        for (size_t i = 0; i < MapFile::StratumBandSize(e.samples); ++i) {
          const Point3D p = MapFile::StratumBandPoint(e.samples, i);
          be.Add(p.x, p.y);
          add(p.x, p.y);
        }
      });
      if (be.Empty()) return;
      bands += "<polygon points=\"" + points + "\" fill=\"" + colour + "\" fill-opacity=\"" +
               (e.deleted ? "0.25" : "0.7") + "\" stroke=\"#555\" stroke-width=\"1\"" +
               (e.deleted ? " stroke-dasharray=\"6 4\"" : "") + "/>\n";
      std::string code = e.code.empty() ? "#" + std::to_string(e.id) : e.code;
      bands += "<text x=\"" + Num(X(Middle(be.minX, be.maxX))) + "\" y=\"" +
               Num(Y(Middle(be.minY, be.maxY)) + 5) +
               "\" text-anchor=\"middle\" font-size=\"15\" font-weight=\"bold\" fill=\"#222\">" +
               EscapeXml(code) + "</text>\n";
    } else if (IsCurveType(e.type)) {
      const std::vector<Point3D>& line = e.linePoints.empty() ? e.nodes : e.linePoints;
      std::string points = pathText([&](const auto& add) {
        for (const Point3D& p : line) add(p.x, p.y);
      });
      if (points.empty()) return;
      curves += "<polyline points=\"" + points + "\" fill=\"none\" stroke=\"" +
                (e.deleted ? "#999" : CurveColour(e.type)) + "\" stroke-width=\"2\"" +
                (e.deleted ? " stroke-dasharray=\"8 5\"" : "") + "/>\n";
      const Point3D& last = line.back();
      if (std::isfinite(last.x) && std::isfinite(last.y)) {
        curves += "<text x=\"" + Num(X(last.x) + 4) + "\" y=\"" + Num(Y(last.y) - 4) +
                  "\" font-size=\"11\" fill=\"" + (e.deleted ? "#999" : CurveColour(e.type)) + "\">#" +
                  std::to_string(e.id) + (e.deleted ? " (deleted)" : "") + "</text>\n";
      }
    } else {
      double x, y;
      if (!AnchorOf(e, &x, &y)) return;
      others += "<circle cx=\"" + Num(X(x)) + "\" cy=\"" + Num(Y(y)) + "\" r=\"4\" fill=\"" +
                (e.deleted ? "#bbb" : "#333") + "\"/>\n";
      others += "<text x=\"" + Num(X(x) + 7) + "\" y=\"" + Num(Y(y) + 4) + "\" font-size=\"13\" fill=\"#333\">" +
                EscapeXml(LabelOf(e)) + "</text>\n";
    }
  });
  s += bands + curves + others;

  s += "<text x=\"" + Num(kMarginLeft) + "\" y=\"" + Num(height - 14) + "\" font-size=\"12\" fill=\"#555\">" +
       EscapeXml("extent x " + Label(ext.minX) + " .. " + Label(ext.maxX) + ", y " + Label(ext.minY) +
                 " .. " + Label(ext.maxY) + "; grid " + Label(stepX) + " x " + Label(stepY)) +
       "</text>\n";
  s += "</svg>\n";
  return s;
}

bool SvgWriter::Write(const std::string& path, const MapData& map, const std::string& title,
                      std::string* error) {
  return Write(path, EntitiesOf(map), title, error);
}

bool SvgWriter::Write(const std::string& path, const EachEntity& entities, const std::string& title,
                      std::string* error) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (out) out << Format(entities, title);
  if (!out) {
    if (error) *error = "cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace sectionhost
