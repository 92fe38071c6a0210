// Which reader and writer a map file gets. With no format named: our own GeoJSON (MapFile, the
// fast path) for a name ending in .geojson or .json or without an extension (a pipe such as
// /dev/stdin), for a map file whose text starts with '{' whatever its name, and for a name GDAL
// has no driver for (as every name was before GDAL); GDAL (GdalMap) for the other extensions.
// A named GDAL driver ("GPKG", "ESRI Shapefile", "DXF", "FlatGeobuf", "GeoJSON", ...) always
// goes to GDAL. A host built without GDAL reads and writes every name as our GeoJSON and
// refuses a named format with a reason that says so.
#pragma once
#include <string>
#include <vector>

#include "MapData.h"

namespace sectionhost {

class MapFormat {
 public:
  // True when `path` and `format` go to MapFile by the name alone.
  static bool IsOwnGeoJson(const std::string& path, const std::string& format);
  static bool HaveGdal();

  // As MapFile::Read and MapFile::Write, or GdalMap's. *notes (may be null) gets a line for each
  // default a GDAL read took; our own GeoJSON takes none.
  static bool Read(const std::string& path, const std::string& format, MapData* map,
                   std::vector<std::string>* notes, std::string* error);
  static bool Write(const std::string& path, const std::string& format, const MapData& head,
                    const EachEntity& entities, std::string* error);
  static bool Write(const std::string& path, const std::string& format, const MapData& map,
                    std::string* error);
};

}  // namespace sectionhost
