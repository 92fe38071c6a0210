// Reading a map file through GDAL; see GdalMapReader.h. Coordinates are converted by our own code
// (not OGR's JSON export, which rounds to 15 digits), so a map written and read back has the
// same doubles.
#include "GdalMapReader.h"

#include <ogr_spatialref.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <fstream>
#include <map>
#include <set>

#include "GdalSupport.h"
#include "MapData.h"

namespace sectionhost {

using namespace gdal;

namespace {

bool HasField(OGRFeatureDefn* defn, const char* name, OGRFieldType type) {
  int i = defn->GetFieldIndex(name);
  return i >= 0 && defn->GetFieldDefn(i)->GetType() == type;
}

// GDAL finds fields by their names in any case; this one is the exact name.
bool ExactField(const OGRFeatureDefn* defn, const char* name) {
  for (int i = 0; i < defn->GetFieldCount(); ++i) {
    if (std::strcmp(defn->GetFieldDefn(i)->GetNameRef(), name) == 0) return true;
  }
  return false;
}

bool IsMapTable(OGRLayer* layer) {
  OGRFeatureDefn* defn = layer->GetLayerDefn();
  return defn->GetGeomFieldCount() == 0 && HasField(defn, "map", OFTString);
}

bool IsSamplesTable(OGRLayer* layer) {
  OGRFeatureDefn* defn = layer->GetLayerDefn();
  return defn->GetGeomFieldCount() == 0 && defn->GetFieldIndex("id") >= 0 &&
         defn->GetFieldIndex("thickness") >= 0;
}

// ---- Geometry, both ways -------------------------------------------------------------------

Json Position(double x, double y, double z, bool hasZ) {
  Json p = Json::array({x, y});
  if (hasZ) p.push_back(z);
  return p;
}

// Positions [x, y] or [x, y, z]: a z of 0 is left out, as in layers whose every geometry is 3D.
Json Positions(const OGRSimpleCurve* c) {
  Json a = Json::array();
  for (int i = 0; i < c->getNumPoints(); ++i) {
    a.push_back(Position(c->getX(i), c->getY(i), c->getZ(i), c->Is3D() && c->getZ(i) != 0));
  }
  return a;
}

Json Rings(const OGRPolygon* p) {
  Json rings = Json::array();
  if (p->IsEmpty()) return rings;
  rings.push_back(Positions(p->getExteriorRing()));
  for (int i = 0; i < p->getNumInteriorRings(); ++i) rings.push_back(Positions(p->getInteriorRing(i)));
  return rings;
}

// The GeoJSON geometry of a linear geometry; null for a type GeoJSON has not.
Json GeometryJson(const OGRGeometry* g) {
  Json j = Json::object();
  switch (wkbFlatten(g->getGeometryType())) {
    case wkbPoint: {
      const OGRPoint* p = g->toPoint();
      j["type"] = "Point";
      j["coordinates"] = p->IsEmpty()
                             ? Json::array()
                             : Position(p->getX(), p->getY(), p->getZ(), p->Is3D() && p->getZ() != 0);
      return j;
    }
    case wkbLineString:
      j["type"] = "LineString";
      j["coordinates"] = Positions(g->toLineString());
      return j;
    case wkbPolygon:
      j["type"] = "Polygon";
      j["coordinates"] = Rings(g->toPolygon());
      return j;
    case wkbMultiPoint:
    case wkbMultiLineString:
    case wkbMultiPolygon: {
      const OGRGeometryCollection* c = g->toGeometryCollection();
      Json parts = Json::array();
      for (int i = 0; i < c->getNumGeometries(); ++i)
        parts.push_back(GeometryJson(c->getGeometryRef(i))["coordinates"]);
      const OGRwkbGeometryType type = wkbFlatten(g->getGeometryType());
      j["type"] = type == wkbMultiPoint        ? "MultiPoint"
                  : type == wkbMultiLineString ? "MultiLineString"
                                               : "MultiPolygon";
      j["coordinates"] = parts;
      return j;
    }
    case wkbGeometryCollection: {
      const OGRGeometryCollection* c = g->toGeometryCollection();
      Json parts = Json::array();
      for (int i = 0; i < c->getNumGeometries(); ++i) parts.push_back(GeometryJson(c->getGeometryRef(i)));
      j["type"] = "GeometryCollection";
      j["geometries"] = parts;
      return j;
    }
    default:
      return Json();
  }
}

// ---- Reading -------------------------------------------------------------------------------

// One feature read, before ids and default entity types are settled.
struct Pending {
  Json feature;
  int64_t id = 0;
  bool idField = false;  // the id came from an "id" field
  bool typeGiven = false;
  OGRwkbGeometryType geometry = wkbNone;
  size_t lineParts = 0;  // the parts of a multi-line
  std::string where;
};

class Reader {
 public:
  explicit Reader(std::string path) : path_(std::move(path)) {}

  void Layers(GDALDataset* ds) {
    for (OGRLayer* layer : ds->GetLayers()) {
      if (IsMapTable(layer)) {
        MapTable(layer);
      } else if (IsSamplesTable(layer)) {
        SamplesTable(layer);
      } else {
        Layer(layer);
      }
    }
  }

  // The map members from PATH.map.json when no side table had them.
  void SideFile(std::vector<std::string>* notes) {
    if (haveHead_) return;
    std::string side = path_ + ".map.json";
    std::error_code ec;
    if (!fs::is_regular_file(side, ec)) {
      // A drawing in map units: one item of scale 1, no map scale.
      head_["map"] = Json{{"scaleUnit", 1}, {"items", Json::array({Json{{"scale", 1}}})}, {"currentItem", 0}};
      if (notes) {
        notes->push_back(path_ + ": no map members (no side table with a \"map\" field, no " + side +
                         "): no map scale (-1), scale unit 1, one item of scale 1");
      }
      return;
    }
    std::ifstream in(side, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Json j = Json::parse(text, nullptr, false);
    if (!j.is_object()) throw Failure{side + ": not a JSON object"};
    for (auto it = j.begin(); it != j.end(); ++it) {
      if (it.key() != "type" && it.key() != "features") head_[it.key()] = *it;
    }
    haveHead_ = true;
  }

  // The map's GeoJSON text.
  std::string Text() {
    Settle();
    Json fc = Json::object();
    fc["type"] = "FeatureCollection";
    for (auto it = head_.begin(); it != head_.end(); ++it) fc[it.key()] = *it;
    // A section without a reference system is in local engineering coordinates, and says so
    // (a GeoJSON map without "crs" would be taken for WGS84).
    if (!fc.contains("crs"))
      fc["crs"] = Json{{"type", "name"}, {"properties", {{"name", crs_.empty() ? kLocalCrs : crs_}}}};
    Json features = Json::array();
    for (Pending& p : pending_) features.push_back(std::move(p.feature));
    fc["features"] = std::move(features);
    return Dump(fc);
  }

 private:
  void MapTable(OGRLayer* layer) {
    layer->ResetReading();
    std::unique_ptr<OGRFeature> f(layer->GetNextFeature());
    if (!f) return;
    std::string where = path_ + ", layer " + layer->GetName();
    int name = f->GetFieldIndex("name");
    if (name >= 0 && f->IsFieldSetAndNotNull(name)) head_["name"] = f->GetFieldAsString(name);
    int members = f->GetFieldIndex("members");
    if (members >= 0 && f->IsFieldSetAndNotNull(members)) {
      Json j = Json::parse(f->GetFieldAsString(members), nullptr, false);
      if (!j.is_object()) throw Failure{where + ": field members is not a JSON object"};
      for (auto it = j.begin(); it != j.end(); ++it) head_[it.key()] = *it;
    }
    int map = f->GetFieldIndex("map");
    if (f->IsFieldSetAndNotNull(map)) {
      Json j = Json::parse(f->GetFieldAsString(map), nullptr, false);
      if (j.is_discarded()) throw Failure{where + ": field map is not JSON text"};
      head_["map"] = j;
    }
    haveHead_ = true;
  }

  void SamplesTable(OGRLayer* layer) {
    std::string where = path_ + ", layer " + layer->GetName();
    OGRFeatureDefn* defn = layer->GetLayerDefn();
    for (const char* name : kSampleFields) {
      int i = defn->GetFieldIndex(name);
      OGRFieldType t = i >= 0 ? defn->GetFieldDefn(i)->GetType() : OFTReal;
      if (t != OFTReal && t != OFTInteger && t != OFTInteger64 && t != OFTString) {
        throw Failure{where + ": field " + name + " is " + OGRFieldDefn::GetFieldTypeName(t) +
                      ", not a number"};
      }
    }
    std::map<int64_t, std::vector<std::pair<int64_t, Json>>> rows;
    layer->ResetReading();
    for (auto& f : *layer) {
      Json s = Json::array();
      for (const char* name : kSampleFields) {
        int i = f->GetFieldIndex(name);
        if (i < 0 || !f->IsFieldSetAndNotNull(i)) {
          s.push_back(nullptr);
        } else if (f->GetFieldDefnRef(i)->GetType() == OFTString) {
          // Numbers kept as their shortest text (a DBF number holds 15 decimals only).
          const std::string text = f->GetFieldAsString(i);
          double v = 0;
          auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
          if (ec != std::errc() || end != text.data() + text.size()) {
            throw Failure{where + ", feature " + std::to_string(f->GetFID()) + ": field " + name +
                          " is not a number"};
          }
          s.push_back(v);
        } else {
          s.push_back(f->GetFieldAsDouble(i));
        }
      }
      int flag = f->GetFieldIndex("flag");
      s.push_back(flag >= 0 ? f->GetFieldAsInteger(flag) : 0);
      int n = f->GetFieldIndex("n");
      rows[f->GetFieldAsInteger64("id")].emplace_back(n >= 0 ? f->GetFieldAsInteger64(n) : 0, std::move(s));
    }
    for (auto& [id, list] : rows) {
      std::stable_sort(list.begin(), list.end(),
                       [](const auto& a, const auto& b) { return a.first < b.first; });
      Json samples = Json::array();
      for (auto& row : list) samples.push_back(std::move(row.second));
      samples_[id] = std::move(samples);
    }
  }

  Json FieldValue(OGRFeature& f, int i, const std::string& where) {
    OGRFieldDefn* d = f.GetFieldDefnRef(i);
    const std::string name = d->GetNameRef();
    const OGRFieldType type = d->GetType();
    const bool integer = type == OFTInteger || type == OFTInteger64;
    auto wrongType = [&](const char* wanted) {
      return Failure{where + ": field " + name + " is " + OGRFieldDefn::GetFieldTypeName(type) + ", not " +
                     wanted};
    };
    if ((name == "id" || name == "entityType") && (!integer || d->GetSubType() == OFSTBoolean))
      throw wrongType("an integer");
    if (name == "deleted") {
      if (!integer) throw wrongType("true or false");
      GIntBig v = f.GetFieldAsInteger64(i);
      if (v != 0 && v != 1)
        throw Failure{where + ": field deleted is " + std::to_string(v) + ", not true or false"};
      return Json(v == 1);
    }
    if (name == "scale" && !integer && type != OFTReal) throw wrongType("a number");
    if (name == "code" && type != OFTString) throw wrongType("a string");
    switch (type) {
      case OFTInteger:
        if (d->GetSubType() == OFSTBoolean) return Json(f.GetFieldAsInteger(i) != 0);
        return Json(f.GetFieldAsInteger(i));
      case OFTInteger64:
        return Json(static_cast<int64_t>(f.GetFieldAsInteger64(i)));
      case OFTReal:
        return Json(f.GetFieldAsDouble(i));
      case OFTString: {
        std::string text = f.GetFieldAsString(i);
        if (d->GetSubType() == OFSTJSON || name == "samples" || name == "linePoints") {
          Json j = Json::parse(text, nullptr, false);
          if (j.is_discarded()) throw Failure{where + ": field " + name + " is not JSON text"};
          return j;
        }
        if (jsonText_ && !text.empty() && (text.front() == '{' || text.front() == '[')) {
          // A format without the JSON subtype (Shapefile, FlatGeobuf): the arrays and objects we wrote.
          Json j = Json::parse(text, nullptr, false);
          if (j.is_structured()) return j;
        }
        return Json(text);
      }
      case OFTIntegerList: {
        int n = 0;
        const int* v = f.GetFieldAsIntegerList(i, &n);
        return Json(std::vector<int>(v, v + n));
      }
      case OFTInteger64List: {
        int n = 0;
        const GIntBig* v = f.GetFieldAsInteger64List(i, &n);
        return Json(std::vector<int64_t>(v, v + n));
      }
      case OFTRealList: {
        int n = 0;
        const double* v = f.GetFieldAsDoubleList(i, &n);
        return Json(std::vector<double>(v, v + n));
      }
      case OFTStringList: {
        Json a = Json::array();
        for (char** s = f.GetFieldAsStringList(i); s && *s; ++s) a.push_back(*s);
        return a;
      }
      default:
        return Json(f.GetFieldAsString(i));  // dates and times as their text
    }
  }

  void Layer(OGRLayer* layer) {
    layer->ResetReading();
    if (const OGRSpatialReference* srs = layer->GetSpatialRef(); srs && crs_.empty()) {
      const char* authority = srs->GetAuthorityName(nullptr);
      const char* code = srs->GetAuthorityCode(nullptr);
      if (authority && code) {
        crs_ = std::string(authority) + ":" + code;
      } else {
        char* wkt = nullptr;
        if (srs->exportToWkt(&wkt) == OGRERR_NONE && wkt) crs_ = wkt;
        CPLFree(wkt);
      }
    }
    const size_t first = pending_.size();
    bool zeroBased = false;
    for (auto& f : *layer) {
      Pending p;
      p.where = path_ + ", layer " + layer->GetName() + ", feature " + std::to_string(f->GetFID());
      Json properties = Json::object();
      for (int i = 0; i < f->GetFieldCount(); ++i) {
        if (!f->IsFieldSetAndNotNull(i)) continue;
        std::string name = f->GetFieldDefnRef(i)->GetNameRef();
        Json value = FieldValue(*f, i, p.where);
        if (name == "id") {
          p.id = value.get<int64_t>();
          p.idField = true;
          continue;
        }
        if (name == "Text" && !ExactField(f->GetDefnRef(), "text")) name = "text";  // DXF TEXT and MTEXT
        if (name == "entityType") p.typeGiven = true;
        properties[name] = std::move(value);
      }
      if (const char* style = f->GetStyleString(); style && *style && !properties.contains("ogrStyle")) {
        properties["ogrStyle"] = style;
      }
      Json geometry;
      if (const OGRGeometry* g = f->GetGeometryRef()) {
        std::unique_ptr<OGRGeometry> linear;
        if (g->hasCurveGeometry(TRUE)) {
          linear.reset(g->getLinearGeometry());
          if (!linear)
            throw Failure{p.where + ": a curved geometry that GDAL cannot make linear" + QuietErrors::Last()};
          g = linear.get();
        }
        OGRwkbGeometryType type = wkbFlatten(g->getGeometryType());
        if (type == wkbMultiLineString || type == wkbMultiPoint || type == wkbMultiPolygon) {
          const OGRGeometryCollection* c = g->toGeometryCollection();
          if (type == wkbMultiLineString) p.lineParts = static_cast<size_t>(c->getNumGeometries());
          if (c->getNumGeometries() == 1) {
            g = c->getGeometryRef(0);
            type = wkbFlatten(g->getGeometryType());
          }
        }
        p.geometry = type;
        geometry = GeometryJson(g);
        if (geometry.is_null()) {
          throw Failure{p.where + ": a geometry of type " + OGRToOGCGeomType(type) +
                        " that a map cannot hold"};
        }
      }
      if (!p.idField) {
        p.id = f->GetFID();
        zeroBased = zeroBased || p.id == 0;
      }
      p.feature = Json::object();
      p.feature["type"] = "Feature";
      p.feature["id"] = nullptr;
      p.feature["properties"] = std::move(properties);
      p.feature["geometry"] = std::move(geometry);
      pending_.push_back(std::move(p));
    }
    if (zeroBased) {
      for (size_t i = first; i < pending_.size(); ++i) {
        if (!pending_[i].idField) ++pending_[i].id;
      }
    }
    layerNames_.push_back(layer->GetName());
  }

  // Ids (a feature id taken already becomes the next free one), samples from the side table and
  // the entity types not given.
  void Settle() {
    // A map split over a Shapefile's files by geometry type comes back in the order of its ids.
    if (sortById_) {
      std::stable_sort(pending_.begin(), pending_.end(),
                       [](const Pending& a, const Pending& b) { return a.id < b.id; });
    }
    std::set<int64_t> taken;
    int64_t largest = 0;
    for (const Pending& p : pending_) {
      if (p.idField) taken.insert(p.id);
      largest = std::max(largest, p.id);
    }
    std::vector<Pending*> renumber;
    for (Pending& p : pending_) {
      if (p.idField) continue;
      if (p.id <= 0 || !taken.insert(p.id).second) renumber.push_back(&p);
    }
    for (Pending* p : renumber) {
      p->id = ++largest;
      taken.insert(p->id);
    }
    bool lines = false;
    for (Pending& p : pending_) {
      p.feature["id"] = p.id;
      Json& properties = p.feature["properties"];
      if (auto s = samples_.find(p.id); s != samples_.end() && !properties.contains("samples")) {
        properties["samples"] = s->second;
      }
      if (!p.typeGiven) {
        int type = kOtherType;
        if (p.geometry == wkbLineString) type = EntityPolyline;
        if (p.geometry == wkbPolygon && properties.contains("samples")) type = EntitySectionStratum;
        if (p.geometry == wkbPoint) type = kLabelType;
        if (p.geometry == wkbMultiLineString) {
          throw Failure{p.where + ": a line of " + std::to_string(p.lineParts) +
                        " parts; a curve is one line (give the feature an entityType to keep it as it is)"};
        }
        properties["entityType"] = type;
      }
      lines = lines || p.geometry == wkbLineString || properties.contains("samples");
    }
    if (!lines) {
      std::string names;
      for (const std::string& n : layerNames_) names += (names.empty() ? "" : ", ") + n;
      throw Failure{path_ + ", layer" + (layerNames_.size() == 1 ? " " : "s ") +
                    (names.empty() ? "(none)" : names) + ": no line features (a section needs its curves)"};
    }
  }

  std::string path_;
  Json head_ = Json::object();
  bool haveHead_ = false;
  std::string crs_;
  std::map<int64_t, Json> samples_;
  std::vector<Pending> pending_;
  std::vector<std::string> layerNames_;

 public:
  bool sortById_ = false;
  bool jsonText_ = false;
};

}  // namespace

std::string GdalMapReader::GeoJsonText(const std::string& path, const std::string& format,
                                       std::vector<std::string>* notes) {
  Dataset ds = OpenVector(path, format);
  if (!ds) {
    std::error_code ec;
    if (!fs::exists(path, ec)) throw Failure{"cannot open " + path};
    throw Failure{"cannot open " + path + " as a vector map" +
                  (format.empty() ? std::string() : " with the GDAL driver " + format) + QuietErrors::Last()};
  }
  Reader reader(path);
  const std::string driver = ds->GetDriver() ? ds->GetDriver()->GetDescription() : "";
  // Formats that do not keep the JSON subtype give our arrays and objects back as text.
  const char* subtypes =
      ds->GetDriver() ? ds->GetDriver()->GetMetadataItem(GDAL_DMD_CREATIONFIELDDATASUBTYPES) : nullptr;
  reader.jsonText_ = !subtypes || std::string(subtypes).find("JSON") == std::string::npos;
  reader.Layers(ds.get());
  // A Shapefile's companions: the files of the other geometry types and the side tables.
  if (driver == "ESRI Shapefile" && Lower(fs::path(path).extension().string()) == ".shp") {
    const std::string base = path.substr(0, path.size() - 4);
    for (const char* suffix :
         {"_strata.shp", "_points.shp", "_other.shp", "_other.dbf", "_map.dbf", "_samples.dbf"}) {
      std::error_code ec;
      if (!fs::exists(base + suffix, ec)) continue;
      Dataset more = OpenVector(base + suffix, driver);
      if (!more) throw Failure{"cannot open " + base + suffix + QuietErrors::Last()};
      reader.Layers(more.get());
      reader.sortById_ = true;
    }
  }
  reader.SideFile(notes);
  return reader.Text();
}

}  // namespace sectionhost
