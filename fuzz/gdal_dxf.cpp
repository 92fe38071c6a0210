// Section maps from DXF through GDAL (GdalMap): any bytes, as a DXF a drafting office might send,
// either load as a map or fail with a reason naming the file, never a crash; a map that loads
// has positive, distinct ids and curves, and the same bytes read again give the same map.
// The bytes are handed to GDAL as an in-memory file (/vsimem/), so no file is written.
#include <cpl_vsi.h>

#include <set>
#include <string>

#include "FuzzCheck.h"
#include "sectionhost/map/GdalMap.h"
#include "sectionhost/map/MapFile.h"

using sectionhost::GdalMap;
using sectionhost::MapData;
using sectionhost::MapFile;

// The bytes as /vsimem/fuzz.dxf, read by GdalMap; true when a map was read.
static bool ReadDxf(const uint8_t* data, size_t size, MapData* map, std::string* error) {
  const std::string path = "/vsimem/fuzz.dxf";
  VSILFILE* file = VSIFileFromMemBuffer(path.c_str(), const_cast<GByte*>(data), size, FALSE);
  if (!file) return false;
  VSIFCloseL(file);
  bool read = GdalMap::Read(path, "DXF", map, nullptr, error);
  VSIUnlink(path.c_str());
  return read;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MapData map;
  std::string error;
  if (!ReadDxf(data, size, &map, &error)) {
    FUZZ_CHECK(error.empty() || error.find("fuzz.dxf") != std::string::npos);
    return 0;
  }
  // Ids are positive and each names one entity; the map is a curve map; reading is repeatable.
  std::set<int32_t> ids;
  bool curves = false;
  for (const auto& e : map.entities) {
    FUZZ_CHECK(e.id > 0 && ids.insert(e.id).second);
    curves = curves || sectionhost::IsCurveType(e.type) || e.type == sectionhost::EntitySectionStratum;
  }
  FUZZ_CHECK(curves);
  MapData again;
  FUZZ_CHECK(ReadDxf(data, size, &again, &error));
  FUZZ_CHECK(MapFile::Format(again) == MapFile::Format(map));
  return 0;
}
