// Writing a map through GDAL; see GdalMapWriter.h.
#include "GdalMapWriter.h"

#include <ogr_spatialref.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include "GdalMap.h"
#include "GdalSupport.h"
#include "MapFile.h"
#include "MapWriter.h"

namespace sectionhost {

using namespace gdal;

namespace {

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

constexpr size_t kShapefileText = 254;  // bytes in a DBF text field

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
      SetField(feature, field, properties[field.name], e.id);
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

  // A text longer than the format holds (a Shapefile's 254 bytes) is refused, not cut.
  void SetText(OGRFeature& f, const Field& field, const std::string& text, int32_t id) const {
    if (target_.perGeometry && text.size() > kShapefileText) {
      throw Failure{path_ + ": entity " + std::to_string(id) + ": its " + field.name + " is " +
                    std::to_string(text.size()) + " bytes of text; a Shapefile's text holds " +
                    std::to_string(kShapefileText) + " (write a GeoPackage or FlatGeobuf)"};
    }
    f.SetField(field.index, text.c_str());
  }

  void SetField(OGRFeature& f, const Field& field, const Json& v, int32_t id) const {
    if (v.is_null()) {
      f.SetFieldNull(field.index);
    } else if (field.kind == Kind::Json || (field.kind == Kind::String && !v.is_string())) {
      SetText(f, field, Dump(v), id);
    } else if (field.kind == Kind::String) {
      SetText(f, field, v.get<std::string>(), id);
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

void GdalMapWriter::Write(const std::string& path, const std::string& format, const MapData& head,
                          const EachEntity& entities) {
  const fs::path target(path);
  const fs::path work = WorkFolder(target);
  std::error_code ec;
  try {
    Target t;
    t.name = format.empty() ? GdalMap::DriverForPath(path) : format;
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
  } catch (...) {
    fs::remove_all(work, ec);
    throw;
  }
}

}  // namespace sectionhost
