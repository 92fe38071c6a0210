// Choosing a map file's reader and writer; see MapFormat.h. GdalMap is built where GDAL is found
// (KP_WITH_GDAL); without it, the GDAL path answers with the reason.
#include "MapFormat.h"

#include <algorithm>
#include <cctype>

#include "MapFile.h"
#ifdef KP_WITH_GDAL
#include "GdalMap.h"
#endif

namespace sectionhost {

namespace {

std::string Extension(const std::string& path) {
  size_t slash = path.rfind('/');
  size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  std::string ext = path.substr(dot);
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext;
}

#ifndef KP_WITH_GDAL
std::string NoGdal(const std::string& path) {
  return path + ": this host is built without GDAL; it reads and writes GeoJSON maps (.geojson, .json) only";
}
#endif

}  // namespace

bool MapFormat::IsOwnGeoJson(const std::string& path, const std::string& format) {
  if (!format.empty()) return false;
  std::string ext = Extension(path);
  return ext.empty() || ext == ".geojson" || ext == ".json";
}

bool MapFormat::HaveGdal() {
#ifdef KP_WITH_GDAL
  return true;
#else
  return false;
#endif
}

bool MapFormat::Read(const std::string& path, const std::string& format, MapData* map,
                     std::vector<std::string>* notes, std::string* error) {
  if (IsOwnGeoJson(path, format)) return MapFile::Read(path, map, error);
#ifdef KP_WITH_GDAL
  return GdalMap::Read(path, format, map, notes, error);
#else
  (void)notes;
  if (error) *error = NoGdal(path);
  return false;
#endif
}

bool MapFormat::Write(const std::string& path, const std::string& format, const MapData& head,
                      const EachEntity& entities, std::string* error) {
  if (IsOwnGeoJson(path, format)) return MapFile::Write(path, head, entities, error);
#ifdef KP_WITH_GDAL
  return GdalMap::Write(path, format, head, entities, error);
#else
  if (error) *error = NoGdal(path);
  return false;
#endif
}

bool MapFormat::Write(const std::string& path, const std::string& format, const MapData& map, std::string* error) {
  return Write(path, format, map, EntitiesOf(map), error);
}

}  // namespace sectionhost
