// The command line's picks and numbers; see PickLine.h.
#include "PickLine.h"

#include <cmath>
#include <cstdlib>
#include <iomanip>
#include <sstream>

#include "sectionhost/map/PointPicker.h"

namespace sectionhost {

namespace {

bool ParseDouble(const std::string& text, double* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  *value = std::strtod(text.c_str(), &end);
  return end && *end == '\0' && std::isfinite(*value);
}

bool ParseId(const std::string& text, int32_t* id) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 10)
    return false;
  long long value = std::stoll(text);
  if (value > INT32_MAX) return false;
  *id = static_cast<int32_t>(value);
  return true;
}

}  // namespace

std::string PickLine::Number(double value) {
  if (std::fabs(value) < kZero) value = 0.0;
  std::ostringstream s;
  s << std::setprecision(6) << value;
  return s.str();
}

std::string PickLine::Trim(const std::string& s) {
  size_t begin = s.find_first_not_of(" \t");
  if (begin == std::string::npos) return "";
  size_t end = s.find_last_not_of(" \t");
  return s.substr(begin, end - begin + 1);
}

bool PickLine::Parse(const std::string& line, std::vector<Item>* items, std::string* why) {
  items->clear();
  std::istringstream words(line);
  std::string word;
  while (words >> word) {
    Item item;
    size_t comma = word.find(',');
    if (comma == std::string::npos) {
      if (!ParseId(word, &item.id)) {
        if (why) *why = "'" + word + "' is neither an entity id nor a point x,y";
        return false;
      }
    } else {
      item.isPoint = true;
      if (!ParseDouble(word.substr(0, comma), &item.x) || !ParseDouble(word.substr(comma + 1), &item.y)) {
        if (why) *why = "'" + word + "' is not a point x,y";
        return false;
      }
    }
    items->push_back(item);
  }
  if (items->empty() && why) *why = "name at least one entity";
  return !items->empty();
}

bool PickLine::Resolve(const MapData& map, const std::vector<Item>& items, double distance,
                       const std::string& distanceText, std::vector<int32_t>* ids,
                       std::vector<std::string>* shown, std::string* why) {
  for (const Item& item : items) {
    if (!item.isPoint) {
      ids->push_back(item.id);
      continue;
    }
    std::string at = "(" + Number(item.x) + ", " + Number(item.y) + ")";
    int32_t id = PointPicker::Nearest(map, item.x, item.y, distance);
    if (!id) {
      if (why) *why = "no entity within " + distanceText + " of " + at + "; nothing is picked";
      return false;
    }
    shown->push_back(at + ": entity " + std::to_string(id));
    ids->push_back(id);
  }
  return true;
}

}  // namespace sectionhost
