// Section maps in the vector formats GDAL/OGR reads and writes (GeoPackage, ESRI Shapefile, DXF,
// FlatGeobuf and whatever else the installed GDAL has), for maps that come from a GIS project or
// a drafting office. Our own GeoJSON stays with MapFile (the fast path); this class goes through
// the GeoJSON form of a map instead: a file's features are turned into GeoJSON features and read
// by MapFile::Parse (so a map read here obeys every rule of a GeoJSON map), and each entity's
// GeoJSON properties become a feature's fields, its curve or band the feature's geometry. The
// map is held whole (as JSON) while it is read; it is written one entity at a time.
//
// The mapping (docs/sectionhost.md, "Maps in other formats"):
//  - every layer is read, except the side tables: a layer without geometry that has a string
//    field "map" (the map members: the GeoJSON "map" object as JSON text, and the collection's
//    "name") or the fields "id" and "thickness" (a stratum's samples, one row each, in order of
//    the field "n"). Formats with one layer per file read the map members from PATH.map.json (a
//    FeatureCollection without features) beside the file; with neither, the defaults (no map
//    scale, scale unit 1, no items) are stated in *notes;
//  - id: the integer field "id", else the feature id (plus one in a layer whose feature ids start
//    at 0, as Shapefile, DXF and FlatGeobuf count); a feature id that an earlier feature has
//    taken gets the next free id after the largest;
//  - entity type: the integer field "entityType"; else lines are curves (2), polygons with samples
//    are section strata (27), points are labels (40), anything else 0;
//  - fields become properties: a boolean field or a "deleted" field of 0/1 is true/false, JSON
//    strings ("samples", "linePoints", and fields of the JSON subtype) are their JSON value, DXF's
//    "Text" is "text", a feature's style string (DXF colours) is "ogrStyle"; unset and null fields
//    are left out;
//  - curved geometries are made linear; a feature of one line in a multi-line is that line.
// Written maps: one layer named after the file (Shapefile: one file per geometry type, NAME,
// NAME_strata, NAME_points, NAME_other), fields for every property of the GeoJSON form (arrays
// and objects as JSON text), the map members in a side table NAME_map (or PATH.map.json where the
// format has one layer only), the samples in NAME_samples for Shapefile (whose strings end at 254
// bytes). A map's "crs" member ({"type": "name", "properties": {"name": ...}}) is the layers'
// spatial reference, and a layer's spatial reference becomes that member when read.
#pragma once
#include <string>
#include <vector>

#include "MapData.h"

namespace sectionhost {

class __attribute__((visibility("default"))) GdalMap {
 public:
  // Reads the map at `path` with the GDAL driver `format` (a driver's short name, e.g. "GPKG"),
  // or with the one GDAL finds for the file when `format` is empty. *notes gets a line for each
  // default taken. False with a reason naming the file, layer and feature; *map is then unchanged.
  static bool Read(const std::string& path, const std::string& format, MapData* map,
                   std::vector<std::string>* notes, std::string* error);
  // Writes the map whose head is `head` and whose entities `entities` hands over (called twice:
  // once for the fields, once for the features). The driver is `format`, else the one whose
  // file extension `path` has. The files appear only when the whole map is written.
  static bool Write(const std::string& path, const std::string& format, const MapData& head,
                    const EachEntity& entities, std::string* error);
  // The short name of the driver that writes files with the extension of `path` ("" for none).
  static std::string DriverForPath(const std::string& path);
};

// GdalMap is built as its own library, libsectionhost_gdal.so, which MapFormat loads (dlopen)
// the first time a map in one of GDAL's formats is read or written: GDAL and its hundred
// libraries cost a process about 30 ms to load, which runs on our own GeoJSON do not pay.
struct GdalMapEntry {
  decltype(&GdalMap::Read) read;
  decltype(&GdalMap::Write) write;
  decltype(&GdalMap::DriverForPath) driverForPath;
};

}  // namespace sectionhost

// The library's one entry, found with dlsym.
extern "C" __attribute__((visibility("default"))) const sectionhost::GdalMapEntry* SectionhostGdalMapEntry();

namespace sectionhost {}  // namespace sectionhost
