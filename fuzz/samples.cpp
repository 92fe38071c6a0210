// The stratum construction on fuzzed curves: the fast construction (sort and vertical
// projection in O(n log n)) against the procedure written down literally, which scans every
// segment for every point and sorts by pairwise exchange. Same answer, same samples bit for bit
// and in the same order, same point arrays after the curves' possible exchange, in both orders
// of the curves. Inputs are curve pairs as text (CurveText.h; the corpus holds ties, shared x
// grids, vertical and zero-length segments, extremes). The literal procedure has no refusal of
// non-finite coordinates, so with any such coordinate the fast construction must refuse; no
// answer of 1 ever carries a non-finite number.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "CurveText.h"
#include "FuzzCheck.h"
#include "StratumLiteral.h"
#include "sect/kpStratumInteractive/stratum.h"

namespace {

using Points = std::vector<Point3D>;

constexpr size_t kMaxPoints = 256;  // the literal procedure is quadratic

bool AllFinite(const Points& points) {
  for (const Point3D& p : points) {
    if (!std::isfinite(p.x) || !std::isfinite(p.y)) return false;
  }
  return true;
}

template <typename T>
bool SameBytes(const std::vector<T>& a, const std::vector<T>& b) {
  return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}

void CheckBothConstructions(const Points& n1, const Points& n2, const Points& l1, const Points& l2) {
  Points a1 = n1, a2 = n2, b1 = l1, b2 = l2;
  std::vector<StratumSample> fast(1);
  const int answer = BuildStratumSamples(a1, a2, b1, b2, fast);
  if (answer) {
    for (const StratumSample& s : fast) {
      FUZZ_CHECK(std::isfinite(s.point.x) && std::isfinite(s.point.y) && std::isfinite(s.point.z) &&
                 std::isfinite(s.thickness));
    }
  }
  if (!AllFinite(n1) || !AllFinite(n2) || !AllFinite(l1) || !AllFinite(l2)) {
    FUZZ_CHECK(answer == 0);
    return;
  }
  Points c1 = n1, c2 = n2, d1 = l1, d2 = l2;
  std::vector<StratumSample> literal(1);
  const int expected = literal::BuildStratumSamples(c1, c2, d1, d2, literal);
  // The fast construction also refuses a result with a non-finite number (a node's z, say),
  // which the literal one builds.
  FUZZ_CHECK(answer == expected || answer == 0);
  if (answer != expected) return;
  FUZZ_CHECK(SameBytes(fast, literal));
  FUZZ_CHECK(SameBytes(a1, c1) && SameBytes(a2, c2) && SameBytes(b1, d1) && SameBytes(b2, d2));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 16384) return 0;
  literal::CurvePair curves;
  std::string error;
  if (!literal::ReadCurvePair(std::string(reinterpret_cast<const char*>(data), size), &curves, &error)) return 0;
  for (const Points* list : {&curves.nodes1, &curves.nodes2, &curves.line1, &curves.line2}) {
    if (list->size() > kMaxPoints) return 0;
  }
  CheckBothConstructions(curves.nodes1, curves.nodes2, curves.line1, curves.line2);
  CheckBothConstructions(curves.nodes2, curves.nodes1, curves.line2, curves.line1);
  return 0;
}
