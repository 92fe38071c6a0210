// Reading and writing section maps as GeoJSON; the format is described in MapFile.h and
// docs/sectionhost.md. Parsing is strict about what the host interprets (ids, entity types,
// curve geometry, samples) and keeps everything else as it was given.
//
// Limits. The JSON parser itself does not recurse, but copying, comparing and writing a
// document do, once per level: before the parser builds anything, one pass over the text refuses
// arrays and objects nested deeper than kMaxNesting, naming the line and column. Numbers beyond
// the range of doubles are refused by the parser; the same pass then finds their place. The
// size of a map is limited only by memory (maps of millions of nodes are read whole): the file
// is read into one buffer of its size, and the parsed document's members are moved, not copied,
// into the map. A map that is refused leaves *map empty.
#include "MapFile.h"

#include <locale.h>
#include <stdlib.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>
#include <set>
#include <string_view>
#include <utility>

namespace sectionhost {

using Json = nlohmann::ordered_json;

namespace {

struct ParseError {
  std::string why;
};

// Compact JSON; text that is not UTF-8 is replaced rather than refused.
std::string Dump(const Json& j) {
  return j.dump(-1, ' ', false, Json::error_handler_t::replace);
}

[[noreturn]] void Throw(const std::string& why) {
  throw ParseError{why};
}

// "line L, column C" of byte `offset` of `text`, counted from 1 as the JSON parser counts
// (columns in bytes).
std::string Place(const std::string& text, size_t offset) {
  size_t line = 1, lineStart = 0;
  for (size_t i = 0; i < offset; ++i) {
    if (text[i] == '\n') ++line, lineStart = i + 1;
  }
  return "line " + std::to_string(line) + ", column " + std::to_string(offset - lineStart + 1);
}

// A double from a JSON number token, read in the C locale whatever the process's locale is.
double CNumber(const char* token, char** end) {
  static locale_t c = newlocale(LC_ALL_MASK, "C", nullptr);
  return strtod_l(token, end, c);
}

// One pass over JSON text outside its strings (brackets and digits in strings do not count).
// Throws ParseError at the first bracket that opens a level beyond MapFile::kMaxNesting and,
// with `numbers`, at the first number beyond the range of doubles. Other faults are the
// parser's to find.
void CheckLimits(const std::string& text, bool numbers) {
  const size_t n = text.size();
  size_t depth = 0;
  for (size_t i = 0; i < n; ++i) {
    const char c = text[i];
    if (c == '"') {
      for (++i; i < n && text[i] != '"'; ++i) {
        if (text[i] == '\\') ++i;
      }
    } else if (c == '[' || c == '{') {
      if (++depth > MapFile::kMaxNesting) {
        Throw(Place(text, i) + ": arrays and objects nest deeper than " + std::to_string(MapFile::kMaxNesting) +
              " levels");
      }
    } else if (c == ']' || c == '}') {
      if (depth > 0) --depth;
    } else if (numbers && (c == '-' || (c >= '0' && c <= '9'))) {
      size_t end = i;
      while (end < n && std::string_view("0123456789+-.eE").find(text[end]) != std::string_view::npos) ++end;
      std::string token = text.substr(i, end - i);
      char* stop = nullptr;
      if (std::isinf(CNumber(token.c_str(), &stop))) {
        if (token.size() > 40) token = token.substr(0, 40) + "...";
        Throw(Place(text, i) + ": the number " + token + " is beyond the range of doubles");
      }
      i = end - 1;
    }
  }
}

double Number(const Json& v, const std::string& what) {
  if (v.is_null()) return std::nan("");
  if (!v.is_number()) Throw(what + " is not a number");
  return v.get<double>();
}

Point3D Position(const Json& v, const std::string& what, std::vector<bool>* hasZ) {
  if (!v.is_array() || v.size() < 2 || v.size() > 3) Throw(what + " is not a position [x, y] or [x, y, z]");
  Point3D p;
  p.x = Number(v[0], what + " x");
  p.y = Number(v[1], what + " y");
  if (v.size() == 3) {
    p.z = Number(v[2], what + " z");
  }
  if (hasZ) hasZ->push_back(v.size() == 3);
  return p;
}

std::vector<Point3D> Positions(const Json& v, const std::string& what, std::vector<bool>* hasZ) {
  if (!v.is_array()) Throw(what + " is not an array of positions");
  std::vector<Point3D> points;
  for (size_t i = 0; i < v.size(); ++i)
    points.push_back(Position(v[i], what + "[" + std::to_string(i) + "]", hasZ));
  return points;
}

int32_t Int32(const Json& v, const std::string& what) {
  if (!v.is_number_integer()) Throw(what + " is not an integer");
  auto n = v.get<int64_t>();
  if (n < INT32_MIN || n > INT32_MAX) Throw(what + " is out of the 32-bit range");
  return static_cast<int32_t>(n);
}

void ParseMapMember(const Json& m, MapData* map) {
  if (!m.is_object()) Throw("\"map\" is not an object");
  for (auto it = m.begin(); it != m.end(); ++it) {
    const std::string& key = it.key();
    if (key == "scale") {
      if (!it->is_null()) {
        map->scale = Number(*it, "map scale");
        map->hasScale = true;
      }
    } else if (key == "scaleUnit") {
      map->scaleUnit = it->is_null() ? 1.0 : Number(*it, "map scaleUnit");
    } else if (key == "items") {
      if (!it->is_array()) Throw("map items is not an array");
      for (size_t i = 0; i < it->size(); ++i) {
        const Json& item = (*it)[i];
        std::string what = "map items[" + std::to_string(i) + "]";
        if (!item.is_object()) Throw(what + " is not an object");
        map->itemScales.push_back(item.contains("scale") ? Number(item["scale"], what + " scale")
                                                         : std::nan(""));
        map->itemExtra.push_back(item);
      }
    } else if (key == "currentItem") {
      map->currentItem = Int32(*it, "map currentItem");
    } else {
      map->mapExtra[key] = *it;
    }
  }
}

StratumSample Sample(const Json& v, const std::string& what) {
  if (!v.is_array() || v.size() != 7) Throw(what + " is not [x, y, z, thickness, second, third, flag]");
  StratumSample s;
  s.point.x = Number(v[0], what);
  s.point.y = Number(v[1], what);
  s.point.z = Number(v[2], what);
  s.thickness = Number(v[3], what);
  s.second = Number(v[4], what);
  s.third = Number(v[5], what);
  s.flag = Int32(v[6], what + " flag");
  return s;
}

// Members are moved out of `f`, so the document is not copied (it can hold millions of
// positions). A curve's LineString coordinates and "linePoints" are read into the entity and
// left as null in the kept JSON: the writer builds both again from the entity.
MapEntity ParseFeature(Json& f, size_t index) {
  std::string what = "feature " + std::to_string(index);
  if (!f.is_object()) Throw(what + " is not an object");
  if (f.contains("type") && f["type"] != "Feature") Throw(what + " is not of type \"Feature\"");
  MapEntity e;
  e.fromInput = true;
  if (!f.contains("id")) Throw(what + " has no \"id\"");
  e.id = Int32(f["id"], what + " id");
  what = "feature " + std::to_string(e.id);
  if (!f.contains("properties") || !f["properties"].is_object())
    Throw(what + " has no \"properties\" object");
  e.properties = std::move(f["properties"]);
  if (!e.properties.contains("entityType")) Throw(what + " has no entityType");
  e.type = Int32(e.properties["entityType"], what + " entityType");
  if (e.properties.contains("deleted")) {
    if (!e.properties["deleted"].is_boolean()) Throw(what + " deleted is not true or false");
    e.deleted = e.properties["deleted"].get<bool>();
  }
  e.geometry = f.contains("geometry") ? std::move(f["geometry"]) : Json();
  for (auto it = f.begin(); it != f.end(); ++it) {
    if (it.key() != "type" && it.key() != "id" && it.key() != "properties" && it.key() != "geometry") {
      e.extraMembers[it.key()] = std::move(*it);
    }
  }
  if (IsCurveType(e.type)) {
    Json& g = e.geometry;
    if (!g.is_object() || !g.contains("type") || g["type"] != "LineString" || !g.contains("coordinates")) {
      Throw(what + " (a curve) has no LineString geometry");
    }
    e.nodes = Positions(g["coordinates"], what + " coordinates", &e.nodeHasZ);
    g["coordinates"] = nullptr;
    if (e.properties.contains("linePoints")) {
      e.linePoints = Positions(e.properties["linePoints"], what + " linePoints", &e.lineHasZ);
      e.explicitLinePoints = true;
      e.properties["linePoints"] = nullptr;  // keeps its place among the properties
    }
  } else if (e.type == EntitySectionStratum) {
    if (e.properties.contains("code")) {
      if (!e.properties["code"].is_string()) Throw(what + " code is not a string");
      e.code = e.properties["code"].get<std::string>();
    }
    if (e.properties.contains("scale")) {
      e.scale = Number(e.properties["scale"], what + " scale");
      e.hasScale = true;
    }
    if (e.properties.contains("samples")) {
      const Json& s = e.properties["samples"];
      if (!s.is_array()) Throw(what + " samples is not an array");
      for (size_t i = 0; i < s.size(); ++i)
        e.samples.push_back(Sample(s[i], what + " sample " + std::to_string(i)));
    }
  }
  return e;
}

Json Coordinate(double v) {
  return std::isfinite(v) ? Json(v) : Json();
}

Json PositionJson(const Point3D& p, bool withZ) {
  Json a = Json::array({Coordinate(p.x), Coordinate(p.y)});
  if (withZ) a.push_back(Coordinate(p.z));
  return a;
}

// Positions with z where the input had it (hasZ, by index) or where z is not 0.
Json PositionsJson(const std::vector<Point3D>& points, const std::vector<bool>& hasZ) {
  Json a = Json::array();
  for (size_t i = 0; i < points.size(); ++i) {
    a.push_back(PositionJson(points[i], (i < hasZ.size() && hasZ[i]) || points[i].z != 0.0));
  }
  return a;
}

Json FeatureJson(const MapEntity& e) {
  Json f;
  f["type"] = "Feature";
  f["id"] = e.id;
  Json props = e.properties.is_object() ? e.properties : Json::object();
  props["entityType"] = e.type;
  props["deleted"] = e.deleted;
  Json geometry = e.geometry;
  if (IsCurveType(e.type)) {
    geometry = Json{{"type", "LineString"}, {"coordinates", PositionsJson(e.nodes, e.nodeHasZ)}};
    if (e.explicitLinePoints) props["linePoints"] = PositionsJson(e.linePoints, e.lineHasZ);
  } else if (e.type == EntitySectionStratum) {
    props["code"] = e.code;
    props["scale"] = e.hasScale ? Coordinate(e.scale) : Json();
    Json samples = Json::array();
    for (const StratumSample& s : e.samples) {
      samples.push_back(
          Json::array({Coordinate(s.point.x), Coordinate(s.point.y), Coordinate(s.point.z),
                       Coordinate(s.thickness), Coordinate(s.second), Coordinate(s.third), s.flag}));
    }
    props["samples"] = samples;
    Json ring = PositionsJson(MapFile::StratumBand(e.samples), {});
    geometry = Json{{"type", "Polygon"}, {"coordinates", ring.empty() ? Json::array() : Json::array({ring})}};
  }
  f["properties"] = props;
  f["geometry"] = geometry;
  for (auto it = e.extraMembers.begin(); it != e.extraMembers.end(); ++it) f[it.key()] = *it;
  return f;
}

Json MapMemberJson(const MapData& map) {
  Json m = Json::object();
  if (map.hasScale) m["scale"] = Coordinate(map.scale);
  m["scaleUnit"] = Coordinate(map.scaleUnit);
  Json items = Json::array();
  for (size_t i = 0; i < map.itemScales.size(); ++i) {
    Json item = i < map.itemExtra.size() ? map.itemExtra[i] : Json::object();
    item["scale"] = Coordinate(map.itemScales[i]);
    items.push_back(item);
  }
  m["items"] = items;
  m["currentItem"] = map.currentItem;
  for (auto it = map.mapExtra.begin(); it != map.mapExtra.end(); ++it) m[it.key()] = *it;
  return m;
}

}  // namespace

std::vector<Point3D> MapFile::StratumBand(const std::vector<StratumSample>& samples) {
  std::vector<Point3D> ring;
  if (samples.empty()) return ring;
  for (const StratumSample& s : samples) ring.push_back({s.point.x, s.point.y, 0.0});
  for (auto it = samples.rbegin(); it != samples.rend(); ++it) {
    ring.push_back({it->point.x, it->point.y + it->thickness, 0.0});
  }
  ring.push_back(ring.front());
  return ring;
}

bool MapFile::Parse(const std::string& text, MapData* map, std::string* error) {
  *map = MapData();
  try {
    CheckLimits(text, false);
    Json doc;
    try {
      doc = Json::parse(text);
    } catch (const Json::out_of_range&) {
      CheckLimits(text, true);  // names the number's place
      throw;
    }
    if (!doc.is_object() || !doc.contains("type") || doc["type"] != "FeatureCollection")
      Throw("not a GeoJSON FeatureCollection");
    if (!doc.contains("features") || !doc["features"].is_array()) Throw("no \"features\" array");
    for (auto it = doc.begin(); it != doc.end(); ++it) {
      if (it.key() == "map") {
        ParseMapMember(*it, map);
      } else if (it.key() != "type" && it.key() != "features") {
        map->collectionExtra[it.key()] = std::move(*it);
      }
    }
    std::set<int32_t> ids;
    Json& features = doc["features"];
    map->entities.reserve(features.size());
    for (size_t i = 0; i < features.size(); ++i) {
      MapEntity e = ParseFeature(features[i], i);
      if (!ids.insert(e.id).second) Throw("entity id " + std::to_string(e.id) + " appears twice");
      map->entities.push_back(std::move(e));
    }
    return true;
  } catch (const ParseError& e) {
    if (error) *error = e.why;
  } catch (const Json::exception& e) {
    if (error) *error = e.what();
  } catch (const std::bad_alloc&) {
    if (error) *error = "not enough memory for the map";
  }
  *map = MapData();
  return false;
}

bool MapFile::Read(const std::string& path, MapData* map, std::string* error) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    if (error) *error = "cannot read " + path + ": it is a folder";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (error) *error = "cannot open " + path;
    return false;
  }
  std::string text;
  try {
    // A regular file is read into one buffer of its size; anything else (a pipe) as a stream.
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    in.seekg(0, std::ios::beg);
    if (size >= 0 && in) {
      text.resize(static_cast<size_t>(size));
      in.read(text.data(), size);
      if (in.gcount() != size) in.setstate(std::ios::failbit);
    } else {
      in.clear();
      text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    if (in.bad() || (in.fail() && !in.eof())) {
      if (error) *error = "cannot read " + path;
      return false;
    }
  } catch (const std::exception&) {
    if (error) *error = path + ": not enough memory to read the file";
    return false;
  }
  std::string why;
  if (!Parse(text, map, &why)) {
    if (error) *error = path + ": " + why;
    return false;
  }
  return true;
}

std::string MapFile::Format(const MapData& map) {
  std::string out = "{\n  \"type\": \"FeatureCollection\",\n  \"map\": " + Dump(MapMemberJson(map)) + ",\n";
  for (auto it = map.collectionExtra.begin(); it != map.collectionExtra.end(); ++it) {
    out += "  " + Dump(Json(it.key())) + ": " + Dump(*it) + ",\n";
  }
  out += "  \"features\": [";
  for (size_t i = 0; i < map.entities.size(); ++i) {
    out += (i ? ",\n    " : "\n    ") + Dump(FeatureJson(map.entities[i]));
  }
  out += map.entities.empty() ? "]\n}\n" : "\n  ]\n}\n";
  return out;
}

bool MapFile::Write(const std::string& path, const MapData& map, std::string* error) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (out) out << Format(map);
  if (!out) {
    if (error) *error = "cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace sectionhost
