// Section maps through GDAL/OGR; the mapping is described in GdalMap.h and docs/sectionhost.md.
// Reading builds the map's GeoJSON form from the file's layers and hands it to MapFile::Parse;
// writing makes each entity's properties as MapWriter writes them, and its geometry from its
// arrays (a curve's nodes, a stratum's band), in two passes over the entities: the fields first
// (a format such as Shapefile takes no field after the first feature), then the features.
// Coordinates go through our own conversion both ways (not OGR's JSON export, which rounds to
// 15 digits), so a map written and read back has the same doubles.
//
// GDAL reports its errors through CPLError; they are kept quiet while a map is read or written,
// and the last message is added to the reason of a failure.
#include "GdalMap.h"

#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <set>

#include "MapFile.h"
#include "MapWriter.h"

namespace sectionhost {

namespace {

using Json = nlohmann::ordered_json;
namespace fs = std::filesystem;

constexpr int kLabelType = 40;  // points and texts without an entity type
constexpr int kOtherType = 0;   // any other geometry without an entity type
const char kLocalCrs[] =
    "LOCAL_CS[\"section (local engineering "
    "coordinates)\",UNIT[\"metre\",1],AXIS[\"X\",EAST],AXIS[\"Y\",NORTH]]";
const char* const kSampleFields[] = {"x", "y", "z", "thickness", "second", "third"};

// A failure with the whole reason.
struct Failure {
  std::string why;
};

void Register() {
  static std::once_flag once;
  std::call_once(once, [] { GDALAllRegister(); });
}

// GDAL's error reports are kept from the terminal for the time of one read or write.
class QuietErrors {
 public:
  QuietErrors() {
    CPLPushErrorHandler(CPLQuietErrorHandler);
    CPLErrorReset();
  }
  ~QuietErrors() { CPLPopErrorHandler(); }
  QuietErrors(const QuietErrors&) = delete;
  QuietErrors& operator=(const QuietErrors&) = delete;
  // ": MESSAGE" of the last GDAL error, or "" for none.
  static std::string Last() {
    const char* m = CPLGetLastErrorMsg();
    return m && *m ? std::string(" (GDAL: ") + m + ")" : std::string();
  }
};

struct CloseDataset {
  void operator()(GDALDataset* d) const { GDALClose(d); }
};
using Dataset = std::unique_ptr<GDALDataset, CloseDataset>;

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string Dump(const Json& j) {
  return j.dump(-1, ' ', false, Json::error_handler_t::replace);
}

Dataset OpenVector(const std::string& path, const std::string& format) {
  const char* drivers[] = {format.c_str(), nullptr};
  return Dataset(
      GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, format.empty() ? nullptr : drivers));
}

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

// ---- Writing -------------------------------------------------------------------------------

enum class Kind { None, Bool, Int, Int64, Real, String, Json };

Kind KindOf(const Json& v) {
  if (v.is_null()) return Kind::None;
  if (v.is_boolean()) return Kind::Bool;
  if (v.is_number_integer()) {
    int64_t i = v.is_number_unsigned()
                    ? static_cast<int64_t>(std::min<uint64_t>(v.get<uint64_t>(), INT64_MAX))
                    : v.get<int64_t>();
    return i >= INT32_MIN && i <= INT32_MAX ? Kind::Int : Kind::Int64;
  }
  if (v.is_number()) return Kind::Real;
  if (v.is_string()) return Kind::String;
  return Kind::Json;
}

Kind Merge(Kind a, Kind b) {
  if (a == Kind::None) return b;
  if (b == Kind::None || a == b) return a;
  auto numeric = [](Kind k) {
    return k == Kind::Bool || k == Kind::Int || k == Kind::Int64 || k == Kind::Real;
  };
  if (numeric(a) && numeric(b)) return std::max(a, b);
  return Kind::Json;
}

struct Field {
  std::string name;
  Kind kind = Kind::None;
  int index = -1;  // in the layer definition
};

// The file's driver and how it stores a map.
struct Target {
  GDALDriver* driver = nullptr;
  std::string name;          // driver's short name
  bool perGeometry = false;  // one geometry type per layer (Shapefile)
  bool samplesTable = false;
  bool fixedFields = false;  // no fields of our own (DXF)
};

std::string LayerSuffix(OGRwkbGeometryType type) {
  switch (type) {
    case wkbLineString:
      return "";
    case wkbPolygon:
      return "_strata";
    case wkbPoint:
      return "_points";
    default:
      return "_other";
  }
}

// A number as our GeoJSON writes it: non-finite ones are null.
Json Number(double v) {
  return std::isfinite(v) ? Json(v) : Json();
}

// The properties of an entity's GeoJSON form (MapWriter's): those it was given, with the entity
// type, the deletion flag, a curve's explicit line points and a stratum's code, scale and
// samples in their places. Without `arrays` the line points and samples are empty arrays (their
// kind is all the first pass needs).
Json Properties(const MapEntity& e, bool arrays) {
  Json p = e.properties.is_object() ? e.properties : Json::object();
  p["entityType"] = e.type;
  p["deleted"] = e.deleted;
  if (IsCurveType(e.type) && e.explicitLinePoints) {
    Json points = Json::array();
    for (size_t i = 0; arrays && i < e.linePoints.size(); ++i) {
      const Point3D& q = e.linePoints[i];
      Json position = Json::array({Number(q.x), Number(q.y)});
      if ((i < e.lineHasZ.size() && e.lineHasZ[i]) || q.z != 0.0) position.push_back(Number(q.z));
      points.push_back(std::move(position));
    }
    p["linePoints"] = std::move(points);
  } else if (e.type == EntitySectionStratum) {
    p["code"] = e.code;
    p["scale"] = e.hasScale ? Number(e.scale) : Json();
    Json samples = Json::array();
    for (size_t i = 0; arrays && i < e.samples.size(); ++i) {
      const StratumSample& q = e.samples[i];
      samples.push_back(Json::array({Number(q.point.x), Number(q.point.y), Number(q.point.z),
                                     Number(q.thickness), Number(q.second), Number(q.third), q.flag}));
    }
    p["samples"] = std::move(samples);
  }
  return p;
}

// The entity's geometry: a curve's line through its nodes (3D when a node has z), a stratum's
// band, another entity's GeoJSON geometry; null for none.
std::unique_ptr<OGRGeometry> Geometry(const MapEntity& e) {
  if (IsCurveType(e.type)) {
    auto line = std::make_unique<OGRLineString>();
    bool z = false;
    for (size_t i = 0; i < e.nodes.size(); ++i)
      z = z || (i < e.nodeHasZ.size() && e.nodeHasZ[i]) || e.nodes[i].z != 0.0;
    line->setNumPoints(static_cast<int>(e.nodes.size()), FALSE);
    for (size_t i = 0; i < e.nodes.size(); ++i) {
      const Point3D& q = e.nodes[i];
      if (z) {
        line->setPoint(static_cast<int>(i), q.x, q.y, q.z);
      } else {
        line->setPoint(static_cast<int>(i), q.x, q.y);
      }
    }
    return line;
  }
  if (e.type == EntitySectionStratum) {
    auto polygon = std::make_unique<OGRPolygon>();
    std::vector<Point3D> band = MapFile::StratumBand(e.samples);
    if (band.empty()) return polygon;
    auto ring = std::make_unique<OGRLinearRing>();
    ring->setNumPoints(static_cast<int>(band.size()), FALSE);
    for (size_t i = 0; i < band.size(); ++i) ring->setPoint(static_cast<int>(i), band[i].x, band[i].y);
    polygon->addRingDirectly(ring.release());
    return polygon;
  }
  if (e.geometry.is_null()) return nullptr;
  std::unique_ptr<OGRGeometry> g(OGRGeometryFactory::createFromGeoJson(Dump(e.geometry).c_str()));
  if (!g) throw Failure{"entity " + std::to_string(e.id) + ": its geometry is not one GDAL can write"};
  return g;
}

class Writer {
 public:
  Writer(const Target& target, GDALDataset* ds, std::string stem, std::string path)
      : target_(target), ds_(ds), stem_(std::move(stem)), path_(std::move(path)) {}

  // First pass: the fields (their kinds) and which layers are 3D. A layer is 3D when one of its
  // geometries is (Shapefile and FlatGeobuf decide it for the whole layer; their 2D geometries
  // get z = 0).
  void Collect(const MapEntity& e) {
    Json properties = Properties(e, false);
    if (target_.samplesTable) properties.erase("samples");
    for (auto it = properties.begin(); it != properties.end(); ++it) {
      if (it.key() == "id") continue;
      auto field =
          std::find_if(fields_.begin(), fields_.end(), [&](const Field& x) { return x.name == it.key(); });
      if (field == fields_.end()) field = fields_.insert(fields_.end(), Field{it.key()});
      field->kind = Merge(field->kind, KindOf(*it));
      if (it.key() == "samples" || it.key() == "linePoints") field->kind = Kind::Json;
    }
    std::unique_ptr<OGRGeometry> g = Geometry(e);
    if (g && g->Is3D()) threeD_.insert(target_.perGeometry ? wkbFlatten(g->getGeometryType()) : wkbUnknown);
  }

  // Second pass: the entity as a feature.
  void Write(const MapEntity& e, const OGRSpatialReference* srs) {
    std::unique_ptr<OGRGeometry> g = Geometry(e);
    OGRwkbGeometryType type = g ? wkbFlatten(g->getGeometryType()) : wkbNone;
    OGRLayer* layer = LayerFor(target_.perGeometry ? type : wkbUnknown, srs);
    OGRFeature feature(layer->GetLayerDefn());
    const std::vector<Field>& fields = layerFields_[layer];
    if (target_.name == "GPKG") feature.SetFID(e.id);
    if (int i = feature.GetFieldIndex("id"); i >= 0 && !target_.fixedFields)
      feature.SetField(i, static_cast<GIntBig>(e.id));
    Json properties = Properties(e, true);
    if (target_.samplesTable && properties.contains("samples")) {
      samples_.emplace_back(e.id, std::move(properties["samples"]));
      properties.erase("samples");
    }
    for (const Field& field : fields) {
      if (!properties.contains(field.name)) continue;
      SetField(feature, field, properties[field.name]);
    }
    if (target_.fixedFields) FixedFields(feature, properties);
    if (properties.contains("ogrStyle") && properties["ogrStyle"].is_string()) {
      feature.SetStyleString(properties["ogrStyle"].get<std::string>().c_str());
    } else if (target_.fixedFields && type == wkbPoint && properties.contains("text") &&
               properties["text"].is_string()) {
      feature.SetStyleString(LabelStyle(properties["text"].get<std::string>()).c_str());  // a DXF TEXT
    }
    if (g) feature.SetGeometryDirectly(g.release());
    if (layer->CreateFeature(&feature) != OGRERR_NONE) {
      throw Failure{"cannot write entity " + std::to_string(e.id) + " to " + path_ + " (layer " +
                    layer->GetName() + ")" + QuietErrors::Last()};
    }
  }

  void Finish() {
    if (!samples_.empty()) SamplesTable();
  }

  // The map members as a side table; false when the file has room for one layer only.
  bool MapTable(const Json& head) {
    char** options =
        target_.name == "ESRI Shapefile" ? CSLSetNameValue(nullptr, "ENCODING", "UTF-8") : nullptr;
    OGRLayer* layer = ds_->TestCapability(ODsCCreateLayer)
                          ? ds_->CreateLayer((stem_ + "_map").c_str(), nullptr, wkbNone, options)
                          : nullptr;
    CSLDestroy(options);
    if (!layer) return false;
    CreateField(layer, "name", OFTString, OFSTNone);
    CreateField(layer, "map", OFTString, OFSTJSON);
    CreateField(layer, "members", OFTString, OFSTJSON);
    OGRFeature f(layer->GetLayerDefn());
    Json members = Json::object();
    for (auto it = head.begin(); it != head.end(); ++it) {
      if (it.key() == "type" || it.key() == "features" || it.key() == "crs") continue;
      if (it.key() == "name" && it->is_string()) {
        f.SetField("name", it->get<std::string>().c_str());
      } else if (it.key() == "map") {
        f.SetField("map", Dump(*it).c_str());
      } else {
        members[it.key()] = *it;
      }
    }
    if (!members.empty()) f.SetField("members", Dump(members).c_str());
    if (layer->CreateFeature(&f) != OGRERR_NONE) {
      throw Failure{"cannot write the map members to " + path_ + QuietErrors::Last()};
    }
    return true;
  }

 private:
  static void CreateField(OGRLayer* layer, const char* name, OGRFieldType type, OGRFieldSubType sub) {
    OGRFieldDefn d(name, type);
    d.SetSubType(sub);
    if (layer->CreateField(&d) != OGRERR_NONE) {
      throw Failure{std::string("cannot make the field ") + name + " in layer " + layer->GetName() +
                    QuietErrors::Last()};
    }
  }

  OGRLayer* LayerFor(OGRwkbGeometryType type, const OGRSpatialReference* srs) {
    if (auto it = layers_.find(type); it != layers_.end()) return it->second;
    std::string name = stem_ + (target_.perGeometry ? LayerSuffix(type) : "");
    OGRwkbGeometryType layerType = type;
    if (target_.perGeometry && LayerSuffix(type) == "_other")
      layerType = type == wkbNone ? wkbNone : wkbUnknown;
    if (threeD_.count(type)) layerType = OGR_GT_SetZ(layerType);
    char** options = nullptr;
    if (target_.name == "FlatGeobuf")
      options = CSLSetNameValue(options, "SPATIAL_INDEX", "NO");  // keeps the order
    if (target_.name == "ESRI Shapefile") options = CSLSetNameValue(options, "ENCODING", "UTF-8");
    OGRLayer* layer =
        ds_->CreateLayer(name.c_str(), const_cast<OGRSpatialReference*>(srs), layerType, options);
    CSLDestroy(options);
    if (!layer) throw Failure{"cannot make the layer " + name + " in " + path_ + QuietErrors::Last()};
    std::vector<Field>& fields = layerFields_[layer];
    if (!target_.fixedFields) {
      CreateField(layer, "id", OFTInteger64, OFSTNone);
      for (Field field : fields_) {
        OGRFieldType t = OFTString;
        OGRFieldSubType sub = OFSTNone;
        switch (field.kind) {
          case Kind::Bool:
            t = OFTInteger;
            sub = OFSTBoolean;
            break;
          case Kind::Int:
            t = OFTInteger;
            break;
          case Kind::Int64:
            t = OFTInteger64;
            break;
          case Kind::Real:
            t = OFTReal;
            break;
          case Kind::Json:
            sub = OFSTJSON;
            break;
          default:
            break;
        }
        field.kind = field.kind == Kind::None ? Kind::String : field.kind;
        field.index = layer->GetLayerDefn()->GetFieldCount();
        CreateField(layer, field.name.c_str(), t, sub);
        fields.push_back(field);
      }
    }
    layers_[type] = layer;
    return layer;
  }

  static void SetField(OGRFeature& f, const Field& field, const Json& v) {
    if (v.is_null()) {
      f.SetFieldNull(field.index);
    } else if (field.kind == Kind::Json || (field.kind == Kind::String && !v.is_string())) {
      f.SetField(field.index, Dump(v).c_str());
    } else if (field.kind == Kind::String) {
      f.SetField(field.index, v.get<std::string>().c_str());
    } else if (field.kind == Kind::Real) {
      f.SetField(field.index, v.is_boolean() ? (v.get<bool>() ? 1.0 : 0.0) : v.get<double>());
    } else {
      f.SetField(field.index,
                 static_cast<GIntBig>(v.is_boolean() ? (v.get<bool>() ? 1 : 0) : v.get<int64_t>()));
    }
  }

  // An OGR style string that makes a point a text: LABEL(t:"TEXT"), quotes escaped.
  static std::string LabelStyle(const std::string& text) {
    std::string quoted;
    for (char c : text) {
      if (c == '"' || c == '\\') quoted += '\\';
      quoted += c;
    }
    return "LABEL(f:\"Arial\",t:\"" + quoted + "\")";
  }

  // DXF: the layer and the text have fields of their own; nothing else has a place.
  static void FixedFields(OGRFeature& f, const Json& properties) {
    if (properties.contains("Layer") && properties["Layer"].is_string()) {
      f.SetField("Layer", properties["Layer"].get<std::string>().c_str());
    } else if (properties.contains("code") && properties["code"].is_string()) {
      f.SetField("Layer", properties["code"].get<std::string>().c_str());
    }
    if (properties.contains("text") && properties["text"].is_string() && f.GetFieldIndex("Text") >= 0) {
      f.SetField("Text", properties["text"].get<std::string>().c_str());
    }
  }

  void SamplesTable() {
    OGRLayer* layer = ds_->CreateLayer((stem_ + "_samples").c_str(), nullptr, wkbNone);
    if (!layer)
      throw Failure{"cannot make the layer " + stem_ + "_samples in " + path_ + QuietErrors::Last()};
    CreateField(layer, "id", OFTInteger64, OFSTNone);
    CreateField(layer, "n", OFTInteger, OFSTNone);
    // The numbers as their shortest text: a DBF number holds 15 decimals only.
    for (const char* name : kSampleFields) CreateField(layer, name, OFTString, OFSTNone);
    CreateField(layer, "flag", OFTInteger, OFSTNone);
    for (const auto& [id, samples] : samples_) {
      for (size_t n = 0; n < samples.size(); ++n) {
        OGRFeature f(layer->GetLayerDefn());
        f.SetField("id", static_cast<GIntBig>(id));
        f.SetField("n", static_cast<int>(n));
        for (size_t k = 0; k < 6; ++k) {
          if (!samples[n][k].is_number()) continue;
          std::string text;
          MapWriter::AppendNumber(text, samples[n][k].get<double>());
          f.SetField(kSampleFields[k], text.c_str());
        }
        f.SetField("flag", samples[n][6].get<int>());
        if (layer->CreateFeature(&f) != OGRERR_NONE) {
          throw Failure{"cannot write the samples of entity " + std::to_string(id) + " to " + path_ +
                        QuietErrors::Last()};
        }
      }
    }
  }

  const Target& target_;
  GDALDataset* ds_;
  std::string stem_, path_;
  std::vector<Field> fields_;
  std::vector<std::pair<int32_t, Json>> samples_;
  std::map<OGRwkbGeometryType, OGRLayer*> layers_;
  std::set<OGRwkbGeometryType> threeD_;
  std::map<OGRLayer*, std::vector<Field>> layerFields_;
};

// The collection's members other than its features, as our GeoJSON writes them.
Json HeadJson(const MapData& head) {
  MapWriter w;
  w.Begin(head);
  w.End();
  Json j = Json::parse(w.Text());
  j.erase("features");
  j.erase("type");
  return j;
}

// A folder beside `path` that the files are written into before they take their places.
fs::path WorkFolder(const fs::path& path) {
  fs::path parent = path.parent_path().empty() ? fs::path(".") : path.parent_path();
  return parent / ("." + path.filename().string() + ".writing-" + std::to_string(getpid()));
}

}  // namespace

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
    Dataset ds = OpenVector(path, format);
    if (!ds) {
      std::error_code ec;
      if (!fs::exists(path, ec)) throw Failure{"cannot open " + path};
      throw Failure{"cannot open " + path + " as a vector map" +
                    (format.empty() ? std::string() : " with the GDAL driver " + format) +
                    QuietErrors::Last()};
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
    std::string text = reader.Text();
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
  const fs::path target(path);
  const fs::path work = WorkFolder(target);
  std::error_code ec;
  try {
    Target t;
    t.name = format.empty() ? DriverForPath(path) : format;
    if (t.name.empty()) {
      throw Failure{path + ": no GDAL driver writes " +
                    (target.extension().empty() ? "files without an extension"
                                                : target.extension().string() + " files") +
                    "; name one with --out-format"};
    }
    t.driver = GetGDALDriverManager()->GetDriverByName(t.name.c_str());
    if (!t.driver || !t.driver->GetMetadataItem(GDAL_DCAP_VECTOR) ||
        !t.driver->GetMetadataItem(GDAL_DCAP_CREATE)) {
      throw Failure{path + ": this GDAL has no driver " + t.name + " that writes vector maps"};
    }
    t.perGeometry = t.name == "ESRI Shapefile";
    t.samplesTable = t.perGeometry;
    t.fixedFields = t.name == "DXF";

    Json headJson = HeadJson(head);
    std::unique_ptr<OGRSpatialReference> srs;
    if (headJson.contains("crs")) {
      const Json& crs = headJson["crs"];
      if (crs.is_object() && crs.contains("properties") && crs["properties"].is_object() &&
          crs["properties"].contains("name") && crs["properties"]["name"].is_string()) {
        srs = std::make_unique<OGRSpatialReference>();
        srs->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
        std::string name = crs["properties"]["name"].get<std::string>();
        if (srs->SetFromUserInput(name.c_str()) != OGRERR_NONE) {
          throw Failure{path + ": the map's crs " + name + " is not one GDAL knows"};
        }
      }
    }

    fs::remove_all(work, ec);
    const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    if (!fs::is_directory(folder, ec)) throw Failure{"cannot write " + path};
    fs::create_directory(work, ec);
    if (ec) throw Failure{"cannot write " + path + ": " + ec.message()};
    const fs::path staged = work / target.filename();
    {
      Dataset ds(t.driver->Create(staged.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
      if (!ds) throw Failure{"cannot write " + path + QuietErrors::Last()};
      Writer writer(t, ds.get(), target.stem().string(), path);
      entities([&](const MapEntity& e) { writer.Collect(e); });
      entities([&](const MapEntity& e) { writer.Write(e, srs.get()); });
      writer.Finish();
      if (!writer.MapTable(headJson)) {
        std::string side;
        if (!MapFile::Write((work / (target.filename().string() + ".map.json")).string(), head,
                            [](const EntityUse&) {}, &side)) {
          throw Failure{"cannot write " + path + ".map.json"};
        }
      }
      ds->FlushCache();
    }
    // The files take their places (a file of the same name is replaced). A Shapefile's files
    // from an earlier write go first, so that no companion of another map stays behind.
    if (t.perGeometry) {
      const std::string stem = target.stem().string();
      for (const char* part : {"", "_strata", "_points", "_other", "_map", "_samples"}) {
        for (const char* ext : {".shp", ".shx", ".dbf", ".prj", ".cpg", ".qix"})
          fs::remove(folder / (stem + part + ext), ec);
      }
    }
    for (const auto& entry : fs::directory_iterator(work)) {
      fs::path to = folder / entry.path().filename();
      if (fs::is_directory(to, ec)) fs::remove_all(to, ec);
      fs::rename(entry.path(), to);
    }
    fs::remove_all(work, ec);
    return true;
  } catch (const Failure& f) {
    if (error) *error = f.why;
  } catch (const std::exception& e) {
    if (error) *error = "cannot write " + path + ": " + e.what();
  }
  fs::remove_all(work, ec);
  return false;
}

}  // namespace sectionhost

extern "C" const sectionhost::GdalMapEntry* SectionhostGdalMapEntry() {
  static const sectionhost::GdalMapEntry entry{&sectionhost::GdalMap::Read, &sectionhost::GdalMap::Write,
                                                 &sectionhost::GdalMap::DriverForPath};
  return &entry;
}
