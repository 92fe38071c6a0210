// The command line's picks and numbers, shared by the front ends that take typed lines (the
// terminal, the desktop's command line): a pick line of entity ids and points "x,y", the ids
// its points name (the nearest entity that is not deleted within a pick distance,
// PointPicker::Nearest), and the one form numbers are shown in (six significant digits; values
// within kZero of 0, rounding noise of derived points, as 0).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "sectionhost/map/MapData.h"

namespace sectionhost {

class PickLine {
 public:
  static constexpr double kZero = 1e-9;

  // One item of a pick line.
  struct Item {
    bool isPoint = false;
    int32_t id = 0;
    double x = 0, y = 0;
  };

  // Splits a line into ids and "x,y" points; false (with *why) when it is not a pick line (an
  // empty line is not one).
  static bool Parse(const std::string& line, std::vector<Item>* items, std::string* why);
  // The ids the items name, in order; each point is shown in *shown as "(x, y): entity ID".
  // False at the first point that names nothing, with *why
  // "no entity within D of (x, y); nothing is picked" (`distanceText` is D as the front end
  // states it: "2", "8 pixels").
  static bool Resolve(const MapData& map, const std::vector<Item>& items, double distance,
                      const std::string& distanceText, std::vector<int32_t>* ids,
                      std::vector<std::string>* shown, std::string* why);

  static std::string Number(double value);
  // `s` without the blanks and tabs around it.
  static std::string Trim(const std::string& s);
};

}  // namespace sectionhost
