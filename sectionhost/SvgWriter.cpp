// Drawing a section map as SVG; see SvgWriter.h. The drawing area is 960 pixels wide (height by
// the map's aspect ratio, between 240 and 1600 pixels), with margins for the grid labels and a
// legend line. Degenerate extents (no points, a single point, a flat line) are widened to a
// unit square around their centre so the scale stays finite. Non-finite coordinates are skipped.
#include "SvgWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>

#include "MapFile.h"

namespace sectionhost {

namespace {

constexpr double kDrawWidth = 960.0;
constexpr double kMinDrawHeight = 240.0;
constexpr double kMaxDrawHeight = 1600.0;
constexpr double kMarginLeft = 70.0, kMarginRight = 90.0, kMarginTop = 50.0, kMarginBottom = 60.0;
constexpr int kGridLines = 10;

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

std::string Num(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2f", v);
  return buf;
}

std::string Label(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", std::fabs(v) < 1e-12 ? 0.0 : v);
  return buf;
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

}  // namespace

double SvgWriter::GridStep(double span, int lines) {
  if (!(span > 0) || !std::isfinite(span) || lines <= 0) return 1.0;
  double raw = span / lines;
  double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 5.0}) {
    if (m * power >= raw) return m * power;
  }
  return 10.0 * power;
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
  Extent ext;
  for (const MapEntity& e : map.entities) {
    if (IsCurveType(e.type)) {
      for (const Point3D& p : e.linePoints) ext.Add(p.x, p.y);
      for (const Point3D& p : e.nodes) ext.Add(p.x, p.y);
    } else if (e.type == EntitySectionStratum) {
      for (const Point3D& p : MapFile::StratumBand(e.samples)) ext.Add(p.x, p.y);
    } else {
      double x, y;
      if (AnchorOf(e, &x, &y)) ext.Add(x, y);
    }
  }
  if (ext.Empty()) ext.Add(0, 0);
  double cx = (ext.minX + ext.maxX) / 2, cy = (ext.minY + ext.maxY) / 2;
  double spanX = ext.maxX - ext.minX, spanY = ext.maxY - ext.minY;
  if (!(spanX > 0) && !(spanY > 0)) spanX = spanY = 1.0;
  if (!(spanX > 0)) spanX = spanY;
  if (!(spanY > 0)) spanY = spanX;
  // Room around the drawing: 5% of each span.
  double x0 = cx - spanX * 0.55, x1 = cx + spanX * 0.55, y0 = cy - spanY * 0.55, y1 = cy + spanY * 0.55;
  double scale = kDrawWidth / (x1 - x0);
  double drawHeight = std::clamp((y1 - y0) * scale, kMinDrawHeight, kMaxDrawHeight);
  double scaleY = drawHeight / (y1 - y0);
  auto X = [&](double x) { return kMarginLeft + (x - x0) * scale; };
  auto Y = [&](double y) { return kMarginTop + (y1 - y) * scaleY; };
  double width = kMarginLeft + kDrawWidth + kMarginRight;
  double height = kMarginTop + drawHeight + kMarginBottom;

  std::string s;
  s += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  s += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Num(width) + "\" height=\"" + Num(height) +
       "\" viewBox=\"0 0 " + Num(width) + " " + Num(height) + "\" font-family=\"sans-serif\">\n";
  s += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
  s += "<text x=\"" + Num(kMarginLeft) + "\" y=\"28\" font-size=\"18\">" + EscapeXml(title) + "</text>\n";

  // Grid and its labels.
  s += "<g stroke=\"#e3e3e3\" stroke-width=\"1\">\n";
  std::string labels;
  double stepX = GridStep(x1 - x0, kGridLines), stepY = GridStep(y1 - y0, kGridLines);
  for (double gx = std::ceil(x0 / stepX) * stepX; gx <= x1; gx += stepX) {
    s += "<line x1=\"" + Num(X(gx)) + "\" y1=\"" + Num(Y(y1)) + "\" x2=\"" + Num(X(gx)) + "\" y2=\"" +
         Num(Y(y0)) + "\"/>\n";
    labels += "<text x=\"" + Num(X(gx)) + "\" y=\"" + Num(Y(y0) + 16) + "\" text-anchor=\"middle\">" +
              Label(gx) + "</text>\n";
  }
  for (double gy = std::ceil(y0 / stepY) * stepY; gy <= y1; gy += stepY) {
    s += "<line x1=\"" + Num(X(x0)) + "\" y1=\"" + Num(Y(gy)) + "\" x2=\"" + Num(X(x1)) + "\" y2=\"" +
         Num(Y(gy)) + "\"/>\n";
    labels += "<text x=\"" + Num(X(x0) - 6) + "\" y=\"" + Num(Y(gy) + 4) + "\" text-anchor=\"end\">" +
              Label(gy) + "</text>\n";
  }
  s += "</g>\n<g font-size=\"11\" fill=\"#777\">\n" + labels + "</g>\n";
  s += "<rect x=\"" + Num(X(x0)) + "\" y=\"" + Num(Y(y1)) + "\" width=\"" + Num(X(x1) - X(x0)) +
       "\" height=\"" + Num(Y(y0) - Y(y1)) + "\" fill=\"none\" stroke=\"#bbb\"/>\n";

  // Strata under the curves.
  int band = 0;
  for (const MapEntity& e : map.entities) {
    if (e.type != EntitySectionStratum) continue;
    const char* colour = kBandColours[band++ % (sizeof kBandColours / sizeof kBandColours[0])];
    std::string points;
    Extent be;
    for (const Point3D& p : MapFile::StratumBand(e.samples)) {
      if (!std::isfinite(p.x) || !std::isfinite(p.y)) continue;
      points += Num(X(p.x)) + "," + Num(Y(p.y)) + " ";
      be.Add(p.x, p.y);
    }
    if (be.Empty()) continue;
    s += "<polygon points=\"" + points + "\" fill=\"" + colour + "\" fill-opacity=\"" +
         (e.deleted ? "0.25" : "0.7") + "\" stroke=\"#555\" stroke-width=\"1\"" +
         (e.deleted ? " stroke-dasharray=\"6 4\"" : "") + "/>\n";
    std::string code = e.code.empty() ? "#" + std::to_string(e.id) : e.code;
    s += "<text x=\"" + Num(X((be.minX + be.maxX) / 2)) + "\" y=\"" + Num(Y((be.minY + be.maxY) / 2) + 5) +
         "\" text-anchor=\"middle\" font-size=\"15\" font-weight=\"bold\" fill=\"#222\">" + EscapeXml(code) +
         "</text>\n";
  }

  // Curves.
  for (const MapEntity& e : map.entities) {
    if (!IsCurveType(e.type)) continue;
    const std::vector<Point3D>& line = e.linePoints.empty() ? e.nodes : e.linePoints;
    std::string points;
    for (const Point3D& p : line) {
      if (std::isfinite(p.x) && std::isfinite(p.y)) points += Num(X(p.x)) + "," + Num(Y(p.y)) + " ";
    }
    if (points.empty()) continue;
    s += "<polyline points=\"" + points + "\" fill=\"none\" stroke=\"" +
         (e.deleted ? "#999" : CurveColour(e.type)) + "\" stroke-width=\"2\"" +
         (e.deleted ? " stroke-dasharray=\"8 5\"" : "") + "/>\n";
    const Point3D& last = line.back();
    if (std::isfinite(last.x) && std::isfinite(last.y)) {
      s += "<text x=\"" + Num(X(last.x) + 4) + "\" y=\"" + Num(Y(last.y) - 4) +
           "\" font-size=\"11\" fill=\"" + (e.deleted ? "#999" : CurveColour(e.type)) + "\">#" +
           std::to_string(e.id) + (e.deleted ? " (deleted)" : "") + "</text>\n";
    }
  }

  // Other entities: a marker and a label.
  for (const MapEntity& e : map.entities) {
    if (IsCurveType(e.type) || e.type == EntitySectionStratum) continue;
    double x, y;
    if (!AnchorOf(e, &x, &y)) continue;
    s += "<circle cx=\"" + Num(X(x)) + "\" cy=\"" + Num(Y(y)) + "\" r=\"4\" fill=\"" +
         (e.deleted ? "#bbb" : "#333") + "\"/>\n";
    s += "<text x=\"" + Num(X(x) + 7) + "\" y=\"" + Num(Y(y) + 4) + "\" font-size=\"13\" fill=\"#333\">" +
         EscapeXml(LabelOf(e)) + "</text>\n";
  }

  s += "<text x=\"" + Num(kMarginLeft) + "\" y=\"" + Num(height - 14) + "\" font-size=\"12\" fill=\"#555\">" +
       EscapeXml("extent x " + Label(ext.minX) + " .. " + Label(ext.maxX) + ", y " + Label(ext.minY) +
                 " .. " + Label(ext.maxY) + "; grid " + Label(stepX) + " x " + Label(stepY)) +
       "</text>\n";
  s += "</svg>\n";
  return s;
}

bool SvgWriter::Write(const std::string& path, const MapData& map, const std::string& title,
                      std::string* error) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (out) out << Format(map, title);
  if (!out) {
    if (error) *error = "cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace sectionhost
