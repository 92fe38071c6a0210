// Section maps through GDAL/OGR; the mapping is described in GdalMap.h and docs/sectionhost.md.
// Reading goes through the map's GeoJSON form (GdalMapReader) and MapFile::Parse; writing is
// GdalMapWriter's. GDAL's errors are kept quiet while a map is read or written, and the last
// message is added to the reason of a failure.
#include "GdalMap.h"

#include "GdalMapReader.h"
#include "GdalMapWriter.h"
#include "GdalSupport.h"
#include "MapFile.h"

namespace sectionhost {

using namespace gdal;

std::string GdalMap::DriverForPath(const std::string& path) {
  Register();
  const std::string ext = Lower(fs::path(path).extension().string());
  if (ext.size() < 2) return "";
  static const std::pair<const char*, const char*> kKnown[] = {
      {".gpkg", "GPKG"}, {".shp", "ESRI Shapefile"}, {".dxf", "DXF"}, {".fgb", "FlatGeobuf"}};
  for (const auto& [e, name] : kKnown) {
    if (ext == e) return name;
  }
  GDALDriverManager* manager = GetGDALDriverManager();
  for (int i = 0; i < manager->GetDriverCount(); ++i) {
    GDALDriver* d = manager->GetDriver(i);
    if (!d->GetMetadataItem(GDAL_DCAP_VECTOR) || !d->GetMetadataItem(GDAL_DCAP_CREATE)) continue;
    const char* list = d->GetMetadataItem(GDAL_DMD_EXTENSIONS);
    if (!list) list = d->GetMetadataItem(GDAL_DMD_EXTENSION);
    if (!list) continue;
    std::string extensions = " " + Lower(list) + " ";
    if (extensions.find(" " + ext.substr(1) + " ") != std::string::npos) return d->GetDescription();
  }
  return "";
}

bool GdalMap::Read(const std::string& path, const std::string& format, MapData* map,
                   std::vector<std::string>* notes, std::string* error) {
  Register();
  QuietErrors quiet;
  try {
    std::string text = GdalMapReader::GeoJsonText(path, format, notes);
    MapData data;
    std::string why;
    if (!MapFile::Parse(text, &data, &why)) throw Failure{path + ": " + why};
    *map = std::move(data);
    return true;
  } catch (const Failure& f) {
    if (error) *error = f.why;
  } catch (const std::exception& e) {
    if (error) *error = path + ": " + e.what();
  }
  return false;
}

bool GdalMap::Write(const std::string& path, const std::string& format, const MapData& head,
                    const EachEntity& entities, std::string* error) {
  Register();
  QuietErrors quiet;
  try {
    GdalMapWriter::Write(path, format, head, entities);
    return true;
  } catch (const Failure& f) {
    if (error) *error = f.why;
  } catch (const std::exception& e) {
    if (error) *error = "cannot write " + path + ": " + e.what();
  }
  return false;
}

}  // namespace sectionhost

extern "C" const sectionhost::GdalMapEntry* SectionhostGdalMapEntry() {
  static const sectionhost::GdalMapEntry entry{&sectionhost::GdalMap::Read, &sectionhost::GdalMap::Write,
                                               &sectionhost::GdalMap::DriverForPath};
  return &entry;
}
