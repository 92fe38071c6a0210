// Reading a map file through GDAL into the map's GeoJSON form (the mapping is GdalMap.h's): every
// layer, the side tables of map members and samples, a Shapefile's companion files, the map
// members from FILE.map.json or the defaults. The text is then read by MapFile::Parse, so a map
// from GDAL obeys every rule of our own GeoJSON maps.
#pragma once
#include <string>
#include <vector>

namespace sectionhost {

class GdalMapReader {
 public:
  // The GeoJSON text of the map at `path` (driver `format`, or GDAL's guess when empty); *notes
  // gets a line for each default taken. Throws gdal::Failure with the whole reason.
  static std::string GeoJsonText(const std::string& path, const std::string& format,
                                 std::vector<std::string>* notes);
};

}  // namespace sectionhost
