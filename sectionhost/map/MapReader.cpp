// Reading a section map with simdjson's on-demand parser; see MapReader.h.
//
// On-demand parsing reads each value once, in text order, and can rewind an object to its
// start. A feature is read in three passes over its members, because what a member means
// depends on members that may come after it: first its type, id and the entity type inside
// its properties; then the properties (a curve's "linePoints" and a stratum's "samples" go
// straight into arrays) and the extra members; then the geometry. A pass skips the values it
// does not read by their brackets, without parsing them. The collection is read in two passes:
// its type, map and other members first, then the features.
//
// The order of the checks is that of the contract, feature by feature: a feature that is not an
// object, of another type, without an id or properties, or without an entity type is named
// before anything inside its geometry or arrays is looked at.
#include "MapReader.h"

#include <locale.h>
#include <simdjson.h>
#include <stdlib.h>

#include <cmath>
#include <new>
#include <unordered_set>
#include <utility>

#include "MapFile.h"

namespace sectionhost {

namespace {

using Json = nlohmann::ordered_json;
namespace od = simdjson::ondemand;

struct ParseError {
  std::string why;
};

// The text is not JSON, or not the JSON it seemed: the parser stopped. The whole text is then
// diagnosed by a full JSON parser (Diagnosis), which names the first fault and its place.
struct NotJson {};

[[noreturn]] void Throw(const std::string& why) {
  throw ParseError{why};
}

template <typename T>
T Get(simdjson::simdjson_result<T> result) {
  T value;
  if (std::move(result).get(value) != simdjson::SUCCESS) throw NotJson{};
  return value;
}

// "line L, column C" of byte `offset` of `text`, counted from 1 as the JSON parser counts
// (columns in bytes).
std::string Place(std::string_view text, size_t offset) {
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
// with `numbers`, at the first number beyond the range of doubles. Answers whether anything but
// white space follows the first array or object that closes at the outermost level (the
// document); other faults are the parser's to find.
bool CheckLimits(std::string_view text, bool numbers) {
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
      if (depth > 0 && --depth == 0 && !numbers) {
        return text.find_first_not_of(" \t\n\r", i + 1) != std::string_view::npos;
      }
    } else if (numbers && (c == '-' || (c >= '0' && c <= '9'))) {
      size_t end = i;
      while (end < n && std::string_view("0123456789+-.eE").find(text[end]) != std::string_view::npos) ++end;
      std::string token(text.substr(i, end - i));
      char* stop = nullptr;
      if (std::isinf(CNumber(token.c_str(), &stop))) {
        if (token.size() > 40) token = token.substr(0, 40) + "...";
        Throw(Place(text, i) + ": the number " + token + " is beyond the range of doubles");
      }
      i = end - 1;
    }
  }
  return false;
}

// Accepts every event of a full JSON parse and keeps its first error.
class ErrorSink : public nlohmann::json_sax<Json> {
 public:
  bool null() override { return true; }
  bool boolean(bool) override { return true; }
  bool number_integer(number_integer_t) override { return true; }
  bool number_unsigned(number_unsigned_t) override { return true; }
  bool number_float(number_float_t, const string_t&) override { return true; }
  bool string(string_t&) override { return true; }
  bool binary(binary_t&) override { return true; }
  bool start_object(std::size_t) override { return true; }
  bool key(string_t&) override { return true; }
  bool end_object() override { return true; }
  bool start_array(std::size_t) override { return true; }
  bool end_array() override { return true; }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& e) override {
    why = e.what();
    id = e.id;
    return false;
  }

  std::string why;
  int id = 0;
};

// Why `text`, which the on-demand parser stopped in, is not a map: the first fault a full JSON
// parser finds (a number beyond doubles named at its place), else the on-demand parser's reason.
std::string Diagnosis(std::string_view text, const char* fallback) {
  ErrorSink sink;
  if (!Json::sax_parse(text.begin(), text.end(), &sink)) {
    constexpr int kNumberOverflow = 406;
    if (sink.id == kNumberOverflow) CheckLimits(text, true);  // throws with the place
    return sink.why;
  }
  return std::string("the map is not valid JSON: ") + fallback;
}

// The text of a value as it stands in the map (for the members kept as given).
std::string_view RawJson(od::value& v) {
  switch (Get(v.type())) {
    case od::json_type::array:
      return Get(Get(v.get_array()).raw_json());
    case od::json_type::object:
      return Get(Get(v.get_object()).raw_json());
    default:
      return v.raw_json_token();
  }
}

// Reads a value through, so that text that is not JSON inside it is found, and keeps nothing.
// Nesting is bounded by CheckLimits before parsing starts.
void Validate(od::value& v) {
  switch (Get(v.type())) {
    case od::json_type::array:
      for (auto element : Get(v.get_array())) {
        od::value e = Get(std::move(element));
        Validate(e);
      }
      break;
    case od::json_type::object:
      for (auto member : Get(v.get_object())) {
        od::field field = Get(std::move(member));
        Get(field.unescaped_key());
        Validate(field.value());
      }
      break;
    case od::json_type::number:
      Get(v.get_double());
      break;
    case od::json_type::string:
      Get(v.get_string());
      break;
    case od::json_type::boolean:
      Get(v.get_bool());
      break;
    case od::json_type::null:
      if (!Get(v.is_null())) throw NotJson{};
      break;
  }
}

Json Kept(od::value& v) {
  std::string_view raw = RawJson(v);
  return Json::parse(raw.begin(), raw.end());
}

// An integer member read before it is checked: the checks then run in the contract's order.
struct IntValue {
  enum State { kMissing, kValue, kNotInteger, kOutOfRange } state = kMissing;
  int32_t value = 0;
};

IntValue ReadInt(od::value& v) {
  IntValue n;
  if (Get(v.type()) != od::json_type::number) {
    n.state = IntValue::kNotInteger;
    return n;
  }
  std::string_view token = v.raw_json_token();
  size_t end = token.find_first_not_of("0123456789+-.eE");
  if (token.substr(0, end).find_first_of(".eE") != std::string_view::npos) {
    n.state = IntValue::kNotInteger;
    return n;
  }
  int64_t wide = 0;
  simdjson::error_code error = v.get_int64().get(wide);
  if (error == simdjson::NUMBER_ERROR) throw NotJson{};  // not a JSON number
  if (error != simdjson::SUCCESS || wide < INT32_MIN || wide > INT32_MAX) {
    n.state = IntValue::kOutOfRange;  // beyond 64 bits too
  } else {
    n.state = IntValue::kValue;
    n.value = static_cast<int32_t>(wide);
  }
  return n;
}

int32_t Require(const IntValue& n, const std::string& what) {
  if (n.state == IntValue::kNotInteger) Throw(what + " is not an integer");
  if (n.state == IntValue::kOutOfRange) Throw(what + " is out of the 32-bit range");
  return n.value;
}

// A number, or NaN for null; false for anything else.
bool ReadNumber(od::value& v, double* out) {
  switch (Get(v.type())) {
    case od::json_type::number:
      *out = Get(v.get_double());
      return true;
    case od::json_type::null:
      if (!Get(v.is_null())) throw NotJson{};
      *out = std::nan("");
      return true;
    default:
      return false;
  }
}

// Numbers of kept JSON values (the map member, a stratum's scale): null is NaN.
double Number(const Json& v, const std::string& what) {
  if (v.is_null()) return std::nan("");
  if (!v.is_number()) Throw(what + " is not a number");
  return v.get<double>();
}

int32_t Int32(const Json& v, const std::string& what) {
  if (!v.is_number_integer()) Throw(what + " is not an integer");
  auto n = v.get<int64_t>();
  if (n < INT32_MIN || n > INT32_MAX) Throw(what + " is out of the 32-bit range");
  return static_cast<int32_t>(n);
}

// [x, y] or [x, y, z]; `name` builds the position's name, for errors only.
template <typename Name>
Point3D Position(od::value& v, const Name& name, bool* withZ) {
  if (Get(v.type()) != od::json_type::array) Throw(name() + " is not a position [x, y] or [x, y, z]");
  double c[3] = {0.0, 0.0, 0.0};
  int count = 0, firstBad = -1;
  for (auto element : Get(v.get_array())) {
    od::value e = Get(std::move(element));
    if (count == 3) Throw(name() + " is not a position [x, y] or [x, y, z]");
    if (!ReadNumber(e, &c[count]) && firstBad < 0) firstBad = count;
    ++count;
  }
  if (count < 2) Throw(name() + " is not a position [x, y] or [x, y, z]");
  if (firstBad >= 0) Throw(name() + " " + "xyz"[firstBad] + " is not a number");
  *withZ = count == 3;
  return {c[0], c[1], c[2]};
}

void Positions(od::value& v, const std::string& what, std::vector<Point3D>* points, std::vector<bool>* hasZ) {
  if (Get(v.type()) != od::json_type::array) Throw(what + " is not an array of positions");
  od::array a = Get(v.get_array());
  size_t count = Get(a.count_elements());
  points->clear();
  hasZ->clear();
  points->reserve(count);
  hasZ->reserve(count);
  for (auto element : a) {
    od::value e = Get(std::move(element));
    bool z = false;
    size_t i = points->size();
    points->push_back(Position(e, [&] { return what + "[" + std::to_string(i) + "]"; }, &z));
    hasZ->push_back(z);
  }
}

StratumSample Sample(od::value& v, const std::string& what) {
  const std::string shape = what + " is not [x, y, z, thickness, second, third, flag]";
  if (Get(v.type()) != od::json_type::array) Throw(shape);
  double values[6] = {};
  IntValue flag;
  int count = 0;
  bool numbers = true;
  for (auto element : Get(v.get_array())) {
    od::value e = Get(std::move(element));
    if (count == 7) Throw(shape);
    if (count < 6) {
      numbers = ReadNumber(e, &values[count]) && numbers;
    } else {
      flag = ReadInt(e);
    }
    ++count;
  }
  if (count != 7) Throw(shape);
  if (!numbers) Throw(what + " is not a number");
  StratumSample s;
  s.point.x = values[0];
  s.point.y = values[1];
  s.point.z = values[2];
  s.thickness = values[3];
  s.second = values[4];
  s.third = values[5];
  s.flag = Require(flag, what + " flag");
  return s;
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

// The first error of a part that is checked later than it is read.
template <typename Fn>
void Deferred(std::string* error, const Fn& fn) {
  try {
    fn();
  } catch (const ParseError& e) {
    if (error->empty()) *error = e.why;
  }
}

// A feature's properties (the second pass): every member is kept as given, except a curve's
// "linePoints" and a stratum's "samples", which are read into arrays and keep their place as
// null. Errors inside those arrays go to *deferred.
void ReadProperties(od::value& v, MapEntity& e, const std::string& what, std::string* deferred) {
  e.properties = Json::object();
  e.linePoints.clear();
  e.lineHasZ.clear();
  e.explicitLinePoints = false;
  e.samples.clear();
  for (auto member : Get(v.get_object())) {
    od::field field = Get(std::move(member));
    std::string key(Get(field.unescaped_key()));
    od::value value = field.value();
    if (key == "linePoints" && IsCurveType(e.type)) {
      Deferred(deferred, [&] { Positions(value, what + " linePoints", &e.linePoints, &e.lineHasZ); });
      e.explicitLinePoints = true;
      e.properties[key] = nullptr;
    } else if (key == "samples" && e.type == EntitySectionStratum) {
      e.samples.clear();
      Deferred(deferred, [&] {
        if (Get(value.type()) != od::json_type::array) Throw(what + " samples is not an array");
        od::array samples = Get(value.get_array());
        e.samples.reserve(Get(samples.count_elements()));
        for (auto element : samples) {
          od::value s = Get(std::move(element));
          e.samples.push_back(Sample(s, what + " sample " + std::to_string(e.samples.size())));
        }
      });
      e.properties[key] = nullptr;
    } else {
      e.properties[key] = Kept(value);
    }
  }
}

// A curve's geometry: a LineString whose coordinates are read into the nodes; its other members
// are kept, with the coordinates as null in their place.
void ReadCurveGeometry(od::value& v, MapEntity& e, const std::string& what) {
  const std::string noLine = what + " (a curve) has no LineString geometry";
  if (Get(v.type()) != od::json_type::object) Throw(noLine);
  bool lineString = false, coordinates = false;
  std::string coordinatesError;
  e.geometry = Json::object();
  for (auto member : Get(v.get_object())) {
    od::field field = Get(std::move(member));
    std::string key(Get(field.unescaped_key()));
    od::value value = field.value();
    if (key == "coordinates") {
      coordinates = true;
      coordinatesError.clear();
      Deferred(&coordinatesError, [&] { Positions(value, what + " coordinates", &e.nodes, &e.nodeHasZ); });
      e.geometry[key] = nullptr;
    } else {
      if (key == "type") {
        std::string_view type;
        lineString = Get(value.type()) == od::json_type::string &&
                     value.get_string().get(type) == simdjson::SUCCESS && type == "LineString";
        e.geometry[key] = lineString ? Json("LineString") : Json();  // anything else is refused below
        continue;
      }
      e.geometry[key] = Kept(value);
    }
  }
  if (!lineString || !coordinates) Throw(noLine);
  if (!coordinatesError.empty()) Throw(coordinatesError);
}

MapEntity ReadFeature(od::value& v, size_t index) {
  std::string what = "feature " + std::to_string(index);
  if (Get(v.type()) != od::json_type::object) Throw(what + " is not an object");
  od::object f = Get(v.get_object());

  // First pass: the feature's type, its id and its entity type.
  bool otherType = false, hasProperties = false, propertiesObject = false;
  IntValue id, entityType;
  for (auto member : f) {
    od::field field = Get(std::move(member));
    std::string_view key = Get(field.unescaped_key());
    od::value value = field.value();
    if (key == "type") {
      std::string_view type;
      otherType = !(Get(value.type()) == od::json_type::string && value.get_string().get(type) == simdjson::SUCCESS &&
                    type == "Feature");
    } else if (key == "id") {
      id = ReadInt(value);
    } else if (key == "properties") {
      hasProperties = true;
      propertiesObject = Get(value.type()) == od::json_type::object;
      entityType = IntValue();
      if (!propertiesObject) continue;
      for (auto property : Get(value.get_object())) {
        od::field p = Get(std::move(property));
        if (Get(p.unescaped_key()) != "entityType") continue;
        od::value type = p.value();
        entityType = ReadInt(type);
      }
    }
  }
  if (otherType) Throw(what + " is not of type \"Feature\"");
  if (id.state == IntValue::kMissing) Throw(what + " has no \"id\"");
  MapEntity e;
  e.fromInput = true;
  e.id = Require(id, what + " id");
  what = "feature " + std::to_string(e.id);
  if (!hasProperties || !propertiesObject) Throw(what + " has no \"properties\" object");
  if (entityType.state == IntValue::kMissing) Throw(what + " has no entityType");
  e.type = Require(entityType, what + " entityType");

  // Second pass: the properties and the members other than the four.
  std::string deferred;
  Get(f.reset());
  for (auto member : f) {
    od::field field = Get(std::move(member));
    std::string key(Get(field.unescaped_key()));
    od::value value = field.value();
    if (key == "properties") {
      deferred.clear();
      ReadProperties(value, e, what, &deferred);
    } else if (key != "type" && key != "id" && key != "geometry") {
      e.extraMembers[key] = Kept(value);
    }
  }
  if (e.properties.contains("deleted")) {
    if (!e.properties["deleted"].is_boolean()) Throw(what + " deleted is not true or false");
    e.deleted = e.properties["deleted"].get<bool>();
  }

  // Third pass: the geometry.
  bool hasGeometry = false;
  Get(f.reset());
  for (auto member : f) {
    od::field field = Get(std::move(member));
    if (Get(field.unescaped_key()) != "geometry") continue;
    od::value value = field.value();
    hasGeometry = true;
    if (IsCurveType(e.type)) {
      ReadCurveGeometry(value, e, what);
    } else if (e.type == EntitySectionStratum) {
      // A stratum's polygon is its band, drawn from its samples whenever it is written: it is
      // checked as JSON and not kept (a million-sample band would be a tree of millions of
      // values).
      Validate(value);
    } else {
      e.geometry = Kept(value);
    }
  }
  if (IsCurveType(e.type) && !hasGeometry) Throw(what + " (a curve) has no LineString geometry");

  if (!deferred.empty() && IsCurveType(e.type)) Throw(deferred);
  if (e.type == EntitySectionStratum) {
    if (e.properties.contains("code")) {
      if (!e.properties["code"].is_string()) Throw(what + " code is not a string");
      e.code = e.properties["code"].get<std::string>();
    }
    if (e.properties.contains("scale")) {
      e.scale = Number(e.properties["scale"], what + " scale");
      e.hasScale = true;
    }
    if (!deferred.empty()) Throw(deferred);
  }
  return e;
}

void ReadDocument(od::document& doc, MapData* map) {
  if (Get(doc.type()) != od::json_type::object) Throw("not a GeoJSON FeatureCollection");
  od::object top = Get(doc.get_object());

  // First pass: the collection's type, the map member and the other members.
  bool collection = false, featuresArray = false;
  size_t featureMembers = 0;
  for (auto member : top) {
    od::field field = Get(std::move(member));
    std::string key(Get(field.unescaped_key()));
    od::value value = field.value();
    if (key == "type") {
      std::string_view type;
      collection = Get(value.type()) == od::json_type::string && value.get_string().get(type) == simdjson::SUCCESS &&
                   type == "FeatureCollection";
    } else if (key == "features") {
      ++featureMembers;
      featuresArray = Get(value.type()) == od::json_type::array;
    } else if (key == "map") {
      map->mapExtra = Json::object();
      map->itemScales.clear();
      map->itemExtra = Json::array();
      ParseMapMember(Kept(value), map);
    } else {
      map->collectionExtra[key] = Kept(value);
    }
  }
  if (!collection) Throw("not a GeoJSON FeatureCollection");
  if (featureMembers == 0 || !featuresArray) Throw("no \"features\" array");

  // Second pass: the features (of the last "features" member, as a JSON object keeps it).
  std::unordered_set<int32_t> ids;
  size_t seen = 0;
  Get(top.reset());
  for (auto member : top) {
    od::field field = Get(std::move(member));
    if (Get(field.unescaped_key()) != "features" || ++seen != featureMembers) continue;
    od::array features = Get(field.value().get_array());
    map->entities.reserve(Get(features.count_elements()));
    size_t index = 0;
    for (auto element : features) {
      od::value feature = Get(std::move(element));
      MapEntity e = ReadFeature(feature, index++);
      if (!ids.insert(e.id).second) Throw("entity id " + std::to_string(e.id) + " appears twice");
      map->entities.push_back(std::move(e));
    }
  }
}

}  // namespace

size_t MapReader::Padding() {
  return simdjson::SIMDJSON_PADDING;
}

bool MapReader::Parse(std::string_view text, size_t capacity, MapData* map, std::string* error) {
  *map = MapData();
  const char* fallback = "";
  try {
    // Nesting is limited here, below the parser's own limit; text after the document is the
    // full parser's to name (the on-demand parser stops at the document's end).
    bool trailing = CheckLimits(text, false);
    od::parser parser;
    od::document doc;
    simdjson::error_code code = parser.iterate(text.data(), text.size(), capacity).get(doc);
    try {
      if (code != simdjson::SUCCESS || trailing) throw NotJson{};
      ReadDocument(doc, map);
      return true;
    } catch (const NotJson&) {
      fallback = simdjson::error_message(code != simdjson::SUCCESS ? code : simdjson::TAPE_ERROR);
      if (error) *error = Diagnosis(text, fallback);
    } catch (const Json::exception&) {
      if (error) *error = Diagnosis(text, "a kept member");
    }
  } catch (const ParseError& e) {
    if (error) *error = e.why;
  } catch (const std::bad_alloc&) {
    if (error) *error = "not enough memory for the map";
  }
  *map = MapData();
  return false;
}

}  // namespace sectionhost
