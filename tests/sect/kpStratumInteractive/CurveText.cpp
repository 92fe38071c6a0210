// Curve pairs as text; see CurveText.h.
#include "CurveText.h"

#include <cstdlib>
#include <sstream>

namespace literal {

bool ReadCurvePair(const std::string& text, CurvePair* out, std::string* error) {
  std::istringstream in(text);
  std::vector<Point3D>* section = nullptr;
  bool hasLine1 = false, hasLine2 = false;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    if (line == "nodes1") {
      section = &out->nodes1;
    } else if (line == "nodes2") {
      section = &out->nodes2;
    } else if (line == "line1") {
      section = &out->line1;
      hasLine1 = true;
    } else if (line == "line2") {
      section = &out->line2;
      hasLine2 = true;
    } else {
      std::istringstream words(line);
      std::string x, y, z = "0";
      if (section == nullptr || !(words >> x >> y)) {
        *error = "bad line: " + line;
        return false;
      }
      words >> z;
      section->push_back({std::strtod(x.c_str(), nullptr), std::strtod(y.c_str(), nullptr),
                          std::strtod(z.c_str(), nullptr)});
    }
  }
  if (!hasLine1) out->line1 = out->nodes1;
  if (!hasLine2) out->line2 = out->nodes2;
  return true;
}

}  // namespace literal
