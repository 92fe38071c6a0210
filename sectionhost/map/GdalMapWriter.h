// Writing a map through GDAL (the mapping is GdalMap.h's): each entity's GeoJSON properties as a
// feature's fields and its curve, band or geometry as the feature's geometry, in two passes over
// the entities (the fields first: a format such as Shapefile takes no field after the first
// feature, then the features); the map members in a side table or FILE.map.json; the files made
// in a folder beside the target and moved into place only when the whole map is written.
#pragma once
#include <string>

#include "MapData.h"

namespace sectionhost {

class GdalMapWriter {
 public:
  // Writes the map with the driver `format` (or the one for the extension of `path`). Throws
  // gdal::Failure with the whole reason; nothing is left behind then.
  static void Write(const std::string& path, const std::string& format, const MapData& head,
                    const EachEntity& entities);
};

}  // namespace sectionhost
