// Section maps from DXF through GDAL (GdalMap): any bytes, as a DXF a drafting office might send,
// either load as a map or fail with a reason naming the file, never a crash; a map that loads
// is a map by our own rules (its GeoJSON form, written and read again, writes the same text).
// The bytes are handed to GDAL as an in-memory file (/vsimem/), so no file is written.
#include <cpl_vsi.h>

#include <string>

#include "FuzzCheck.h"
#include "sectionhost/map/GdalMap.h"
#include "sectionhost/map/MapFile.h"

using sectionhost::GdalMap;
using sectionhost::MapData;
using sectionhost::MapFile;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = "/vsimem/fuzz.dxf";
  VSILFILE* file = VSIFileFromMemBuffer(path.c_str(), const_cast<GByte*>(data), size, FALSE);
  if (!file) return 0;
  VSIFCloseL(file);
  MapData map;
  std::string error;
  bool read = GdalMap::Read(path, "DXF", &map, nullptr, &error);
  VSIUnlink(path.c_str());
  if (!read) {
    FUZZ_CHECK(error.find("fuzz.dxf") != std::string::npos);
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
