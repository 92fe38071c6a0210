// The picture of a section map (--svg): curves as polylines through their line points (deleted
// curves dashed), each section stratum as a filled band from its lower points up by the
// thickness with its code as a label, other entities as a marker with their label, a light grid
// with labelled lines, and the map's extent. Map y grows upwards; the picture is flipped so
// that it does too. Texts are UTF-8, escaped for XML.
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

  // A grid step of 1, 2 or 5 times a power of ten that cuts `span` into about `lines` parts.
  static double GridStep(double span, int lines);
  static std::string EscapeXml(const std::string& text);
};

}  // namespace sectionhost
