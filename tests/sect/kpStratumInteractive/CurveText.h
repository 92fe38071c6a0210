// Curve pairs as text, the form of the adversarial cases in fuzz/corpus/samples (see its
// README.txt): a line "nodes1", "line1", "nodes2" or "line2" starts that point list; every other
// line is a point "x y [z]" read with strtod (so nan, inf and hexadecimal floats are numbers);
// empty lines and lines starting with '#' are skipped; a curve without a line section uses its
// nodes as its line points. Read by the differential test and by the samples fuzz target.
#pragma once

#include <string>
#include <vector>

#include "host/zvrecords.h"

namespace literal {

struct CurvePair {
  std::vector<Point3D> nodes1, nodes2, line1, line2;
};

// False with a reason in *error for a point line before any section or without two numbers.
bool ReadCurvePair(const std::string& text, CurvePair* out, std::string* error);

}  // namespace literal
