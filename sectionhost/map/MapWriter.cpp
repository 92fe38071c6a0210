// Writing a section map as streamed GeoJSON; see MapWriter.h. The members and their order are
// those of the map as a JSON document: a feature is {"type", "id", "properties", "geometry",
// then its other members}; in the properties, the members the entity decides (entity type,
// deletion, a curve's explicit line points, a stratum's code, scale and samples) take the place
// they had in the input, and those it did not have follow the others in that order.
#include "MapWriter.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "MapFile.h"

namespace sectionhost {

namespace {

using Json = nlohmann::ordered_json;

// The head and each feature go to the file once the text holds this much.
constexpr size_t kFlushBytes = size_t{1} << 20;
// Arrays of this many positions or samples are formatted in blocks of kBlock on every core.
constexpr size_t kParallelItems = size_t{1} << 16;
constexpr size_t kBlock = size_t{1} << 14;

// Compact JSON; text that is not UTF-8 is replaced rather than refused.
std::string Dump(const Json& j) {
  return j.dump(-1, ' ', false, Json::error_handler_t::replace);
}

// Appends [first, last): given a pointer pair, append() would go through replace().
void AppendChars(std::string& out, const char* first, const char* last) {
  out.append(first, static_cast<size_t>(last - first));
}

void AppendInt(std::string& out, int64_t v) {
  char buf[24];
  auto end = std::to_chars(buf, buf + sizeof buf, v).ptr;
  AppendChars(out, buf, end);
}

Json Coordinate(double v) {
  return std::isfinite(v) ? Json(v) : Json();
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

// Where the text goes: the writer's buffer, and what drains it to the file when it is long
// (between blocks of long arrays).
struct Sink {
  std::string& text;
  std::function<void()> drain;
};

// Items [0, count) of an array, separated by commas: item(text, i) appends item i to `text`,
// and `out` takes the text as it grows (MapWriter's buffer, written to the file a megabyte at a
// time). Long arrays are cut into blocks of kBlock items that one worker per core formats into
// a ring of slots while this thread hands the finished ones to `out` in order, so formatting and
// writing overlap; the text is the same for any number of threads, and the buffers stay the
// size of the ring (a worker takes a block only once its slot has been handed over).
template <typename Item>
void AppendItems(Sink& out, size_t count, const Item& item) {
  auto range = [&](std::string& text, size_t from, size_t to) {
    for (size_t i = from; i < to; ++i) {
      if (i) text += ',';
      item(text, i);
    }
  };
  auto sequential = [&] {
    for (size_t from = 0; from < count; from += kBlock) {
      range(out.text, from, std::min(count, from + kBlock));
      out.drain();
    }
  };
  const unsigned cores = std::thread::hardware_concurrency();
  if (count < kParallelItems || cores < 2) {
    sequential();
    return;
  }
  const size_t blocks = (count + kBlock - 1) / kBlock, ring = size_t{cores} * 2;
  std::vector<std::string> slots(ring);
  std::vector<size_t> done(ring, SIZE_MAX);  // the block each slot holds, once it is formatted
  std::mutex lock;
  std::condition_variable changed;
  size_t next = 0, handed = 0;  // the next block to take; the blocks handed over
  bool stop = false;
  auto work = [&] {
    for (;;) {
      size_t b;
      {
        std::unique_lock<std::mutex> hold(lock);
        changed.wait(hold, [&] { return stop || next >= blocks || next < handed + ring; });
        if (stop || next >= blocks) return;
        b = next++;
      }
      std::string& text = slots[b % ring];
      text.clear();
      range(text, b * kBlock, std::min(count, (b + 1) * kBlock));
      {
        std::lock_guard<std::mutex> hold(lock);
        done[b % ring] = b;
      }
      changed.notify_all();
    }
  };
  std::vector<std::thread> workers;
  try {
    for (unsigned t = 0; t < cores; ++t) workers.emplace_back(work);
  } catch (const std::system_error&) {
    // Fewer workers: the blocks come out the same.
  }
  if (workers.empty()) {
    sequential();
    return;
  }
  for (size_t b = 0; b < blocks; ++b) {
    {
      std::unique_lock<std::mutex> hold(lock);
      changed.wait(hold, [&] { return done[b % ring] == b; });
    }
    out.text += slots[b % ring];
    out.drain();
    {
      std::lock_guard<std::mutex> hold(lock);
      ++handed;
    }
    changed.notify_all();
  }
  {
    std::lock_guard<std::mutex> hold(lock);
    stop = true;
  }
  changed.notify_all();
  for (std::thread& t : workers) t.join();
}

void AppendPosition(std::string& out, double x, double y, double z, bool withZ) {
  out += '[';
  MapWriter::AppendNumber(out, x);
  out += ',';
  MapWriter::AppendNumber(out, y);
  if (withZ) {
    out += ',';
    MapWriter::AppendNumber(out, z);
  }
  out += ']';
}

// Positions with z where the input had it (hasZ, by index) or where z is not 0.
void AppendPositions(Sink& out, const std::vector<Point3D>& points, const std::vector<bool>& hasZ) {
  out.text += '[';
  AppendItems(out, points.size(), [&](std::string& text, size_t i) {
    const Point3D& p = points[i];
    AppendPosition(text, p.x, p.y, p.z, (i < hasZ.size() && hasZ[i]) || p.z != 0.0);
  });
  out.text += ']';
}

void AppendSamples(Sink& out, const std::vector<StratumSample>& samples) {
  out.text += '[';
  AppendItems(out, samples.size(), [&](std::string& text, size_t i) {
    const StratumSample& s = samples[i];
    text += '[';
    MapWriter::AppendNumber(text, s.point.x);
    for (double v : {double{s.point.y}, double{s.point.z}, double{s.thickness}, double{s.second}, double{s.third}}) {
      text += ',';
      MapWriter::AppendNumber(text, v);
    }
    text += ',';
    AppendInt(text, s.flag);
    text += ']';
  });
  out.text += ']';
}

// The stratum's band (MapFile::StratumBand) written point by point from the samples.
void AppendBand(Sink& out, const std::vector<StratumSample>& samples) {
  out.text += "[[";
  AppendItems(out, MapFile::StratumBandSize(samples), [&](std::string& text, size_t i) {
    const Point3D p = MapFile::StratumBandPoint(samples, i);
    AppendPosition(text, p.x, p.y, 0.0, false);
  });
  out.text += "]]";
}

// The properties: the kept members in their order, each decided member in its kept place or
// after them.
void AppendProperties(Sink& out, const MapEntity& e) {
  struct Decided {
    const char* key;
    void (*write)(Sink&, const MapEntity&);
  };
  std::vector<Decided> decided = {
      {"entityType", [](Sink& o, const MapEntity& m) { AppendInt(o.text, m.type); }},
      {"deleted", [](Sink& o, const MapEntity& m) { o.text += m.deleted ? "true" : "false"; }},
  };
  if (IsCurveType(e.type) && e.explicitLinePoints) {
    decided.push_back({"linePoints", [](Sink& o, const MapEntity& m) {
                         AppendPositions(o, m.linePoints, m.lineHasZ);
                       }});
  } else if (e.type == EntitySectionStratum) {
    decided.push_back({"code", [](Sink& o, const MapEntity& m) { o.text += Dump(Json(m.code)); }});
    decided.push_back({"scale", [](Sink& o, const MapEntity& m) {
                         if (m.hasScale) {
                           MapWriter::AppendNumber(o.text, m.scale);
                         } else {
                           o.text += "null";
                         }
                       }});
    decided.push_back({"samples", [](Sink& o, const MapEntity& m) { AppendSamples(o, m.samples); }});
  }
  std::vector<bool> written(decided.size(), false);
  bool first = true;
  auto key = [&](const std::string& name) {
    out.text += first ? "" : ",";
    first = false;
    out.text += Dump(Json(name));
    out.text += ':';
  };
  out.text += '{';
  if (e.properties.is_object()) {
    for (auto it = e.properties.begin(); it != e.properties.end(); ++it) {
      key(it.key());
      auto d = std::find_if(decided.begin(), decided.end(), [&](const Decided& x) { return it.key() == x.key; });
      if (d == decided.end()) {
        out.text += Dump(*it);
      } else {
        d->write(out, e);
        written[d - decided.begin()] = true;
      }
    }
  }
  for (size_t i = 0; i < decided.size(); ++i) {
    if (written[i]) continue;
    key(decided[i].key);
    decided[i].write(out, e);
  }
  out.text += '}';
}

void AppendGeometry(Sink& out, const MapEntity& e) {
  if (IsCurveType(e.type)) {
    out.text += R"({"type":"LineString","coordinates":)";
    AppendPositions(out, e.nodes, e.nodeHasZ);
    out.text += '}';
  } else if (e.type == EntitySectionStratum) {
    out.text += R"({"type":"Polygon","coordinates":)";
    if (e.samples.empty()) {
      out.text += "[]";
    } else {
      AppendBand(out, e.samples);
    }
    out.text += '}';
  } else {
    out.text += Dump(e.geometry);
  }
}

// A number of one to six decimal places in [0.001, 1e9), as coordinates mostly are: the nearest
// decimal of the fewest places that reads back as v, written in the fixed form. Fewer places
// cannot read back (each was tried), so these are the shortest digits, and in this range the
// fixed form is never longer than the exponent form: the text std::to_chars writes, found
// without its general search. False for any other number.
bool AppendShortDecimal(std::string& out, double v) {
  static constexpr double kScale[] = {1, 10, 100, 1e3, 1e4, 1e5, 1e6};
  static constexpr uint64_t kPower[] = {1, 10, 100, 1000, 10000, 100000, 1000000};
  const double a = std::fabs(v);
  if (!(a >= 0.001 && a < 1e9) || a == std::trunc(a)) return false;
  for (int k = 1; k <= 6; ++k) {
    const double n = std::nearbyint(a * kScale[k]);
    if (n / kScale[k] != a) continue;
    // The whole part is a's own (below 1e9, exact); the fraction the rest of the digits (no
    // division by a variable power of ten: that costs more than the rest together).
    const uint64_t whole = static_cast<uint64_t>(std::trunc(a));
    uint64_t fraction = static_cast<uint64_t>(n) - whole * kPower[k];
    if (fraction >= kPower[k]) return false;  // n rounded up to the next whole number
    char buf[40];
    char* end = buf;
    if (v < 0) *end++ = '-';
    end = std::to_chars(end, buf + sizeof buf, whole).ptr;
    *end++ = '.';
    for (int place = k - 1; place >= 0; --place) {
      end[place] = static_cast<char>('0' + fraction % 10);
      fraction /= 10;
    }
    end += k;
    while (end[-1] == '0') --end;
    AppendChars(out, buf, end);
    return true;
  }
  return false;
}

}  // namespace

void MapWriter::AppendNumber(std::string& out, double v) {
  if (!std::isfinite(v)) {
    out += "null";
    return;
  }
  char buf[40];
  char* end;
  // Whole numbers of up to five digits (zeros above all: a sample's z and its two spare
  // values) are written as integers, which is quicker than the shortest-digits search and gives
  // the same text (from 100000 on, the exponent form can be the shorter); "-0.0" keeps its sign.
  if (std::fabs(v) < 100000.0 && v == std::trunc(v)) {
    char* digits = buf;
    if (std::signbit(v)) *digits++ = '-';
    end = std::to_chars(digits, buf + sizeof buf, static_cast<unsigned>(std::fabs(v))).ptr;
    *end++ = '.';
    *end++ = '0';
    AppendChars(out, buf, end);
    return;
  }
  if (AppendShortDecimal(out, v)) return;
  end = std::to_chars(buf, buf + sizeof buf, v).ptr;
  AppendChars(out, buf, end);
  if (std::find_if(buf, end, [](char c) { return c == '.' || c == 'e'; }) == end) out += ".0";
}

void MapWriter::Begin(const MapData& map) {
  text_ += "{\n  \"type\": \"FeatureCollection\",\n  \"map\": " + Dump(MapMemberJson(map)) + ",\n";
  for (auto it = map.collectionExtra.begin(); it != map.collectionExtra.end(); ++it) {
    text_ += "  " + Dump(Json(it.key())) + ": " + Dump(*it) + ",\n";
  }
  text_ += "  \"features\": [";
}

void MapWriter::Entity(const MapEntity& e) {
  text_ += entities_++ ? ",\n    " : "\n    ";
  text_ += R"({"type":"Feature","id":)";
  AppendInt(text_, e.id);
  Sink sink{text_, [this] {
              if (text_.size() >= kFlushBytes) Flush();
            }};
  text_ += R"(,"properties":)";
  AppendProperties(sink, e);
  text_ += R"(,"geometry":)";
  AppendGeometry(sink, e);
  for (auto it = e.extraMembers.begin(); it != e.extraMembers.end(); ++it) {
    text_ += ',' + Dump(Json(it.key())) + ':' + Dump(*it);
  }
  text_ += '}';
  if (text_.size() >= kFlushBytes) Flush();
}

bool MapWriter::End() {
  text_ += entities_ ? "\n  ]\n}\n" : "]\n}\n";
  Flush();
  return !failed_;
}

void MapWriter::Flush() {
  if (!file_ || text_.empty()) return;
  if (std::fwrite(text_.data(), 1, text_.size(), file_) != text_.size()) failed_ = true;
  text_.clear();
}

}  // namespace sectionhost
