// The picture of a section map (--svg): curves as polylines through their line points (deleted
// curves dashed), each section stratum as a filled band from its lower points up by the
// thickness with its code as a label; curves and bands thinned to the picture's pixels
// (ScreenPath: the map file keeps every node, the picture of a million-node section stays a
// few hundred kilobytes), other entities as a marker with their label, a light grid
// with labelled lines, and the map's extent. Map y grows upwards; the picture is flipped so
// that it does too. Texts are UTF-8, escaped for XML; the picture names fonts with Chinese
// glyphs (Noto Sans CJK SC first) before the generic sans-serif, so viewers draw the codes and
// labels rather than empty boxes.
//
// Any map can be drawn: non-finite coordinates are skipped, finite ones up to +-1.8e308 are
// framed without overflow, and the grid has at most kMaxGridLines lines per axis even where its
// step falls below the spacing of doubles (coordinates of 1e300 a unit apart).
#pragma once
#include <string>

#include "MapData.h"

namespace sectionhost {

class SvgWriter {
 public:
  // At most this many grid lines per axis, whatever the coordinates.
  static constexpr int kMaxGridLines = 50;

  // The SVG document. `title` is shown above the drawing (e.g. the map file's name).
  static std::string Format(const MapData& map, const std::string& title);
  static bool Write(const std::string& path, const MapData& map, const std::string& title,
                    std::string* error);
  // The same of the entities `entities` hands over, one at a time (twice: for the extent, then
  // for the drawing).
  static std::string Format(const EachEntity& entities, const std::string& title);
  static bool Write(const std::string& path, const EachEntity& entities, const std::string& title,
                    std::string* error);

  // A grid step of 1, 2 or 5 times a power of ten that cuts `span` into about `lines` parts.
  static double GridStep(double span, int lines);
  static std::string EscapeXml(const std::string& text);
};

}  // namespace sectionhost
