// Section map files (GeoJSON): any text either loads as a map or fails with a reason, never a
// crash; a map that loads, written and loaded again, writes the same text (nothing it was given
// is lost or changed by a second trip).
#include <string>

#include "FuzzCheck.h"
#include "sectionhost/map/MapFile.h"

using sectionhost::MapData;
using sectionhost::MapFile;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  MapData map;
  std::string error;
  if (!MapFile::Parse(text, &map, &error)) {
    FUZZ_CHECK(!error.empty());
    return 0;
  }
  const std::string written = MapFile::Format(map);
  MapData again;
  std::string againError;
  if (!MapFile::Parse(written, &again, &againError)) {
    std::fprintf(stderr, "written map does not load: %s\n%s\n", againError.c_str(), written.c_str());
    FUZZ_CHECK(false);
  }
  FUZZ_CHECK(MapFile::Format(again) == written);
  return 0;
}
