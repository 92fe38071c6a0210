// The picture writer over fuzzed maps: maps read from the input (GeoJSON, so coordinates of any
// size, infinities written as huge numbers, and strata with any samples), each drawn once. The
// writer must end (libFuzzer's -timeout catches a loop) with a picture whose size is bounded by
// the map's content, not by its coordinates.
#include <string>

#include "FuzzCheck.h"
#include "sectionhost/map/MapFile.h"
#include "sectionhost/map/SvgWriter.h"

using sectionhost::MapData;
using sectionhost::MapFile;
using sectionhost::SvgWriter;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  MapData map;
  std::string error;
  if (!MapFile::Parse(text, &map, &error)) return 0;
  size_t points = 0;
  for (const auto& entity : map.entities) {
    points += entity.nodes.size() + entity.linePoints.size() + entity.samples.size() * 2 + 1;
  }
  const std::string picture = SvgWriter::Format(map, "fuzz");
  FUZZ_CHECK(picture.size() < 200000 + 400 * points + 2 * size);
  FUZZ_CHECK(picture.rfind("</svg>") != std::string::npos);
  return 0;
}
