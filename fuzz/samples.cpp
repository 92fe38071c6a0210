// The stratum construction on fuzzed curves: the fast construction (sort and vertical
// projection in O(n log n)) against the procedure written down literally, which scans every
// segment for every point and sorts by pairwise exchange. Same answer, same samples bit for bit
// and in the same order, same point arrays after the curves' possible exchange. Coordinates come
// from a small grid (ties, shared x values, vertical and zero-length segments), from near zero
// (signed zeros) or raw from the input; the literal procedure has no refusal of non-finite
// coordinates, so inputs with any are only checked to be refused by the fast one.
#include <cmath>
#include <cstring>
#include <vector>

#include "FuzzCheck.h"
#include "StratumLiteral.h"
#include "sect/kpStratumInteractive/stratum.h"

namespace {

using Points = std::vector<Point3D>;

double TakeCoordinate(fuzz::Bytes& in) {
  const uint8_t style = in.Take<uint8_t>();
  switch (style & 3) {
    case 0:
      return static_cast<double>(static_cast<int8_t>(in.Take<uint8_t>()) % 8);
    case 1:
      return static_cast<int8_t>(in.Take<uint8_t>()) * 0.125;
    case 2: {
      const uint8_t k = in.Take<uint8_t>();
      return k % 3 == 0 ? 0.0 : k % 3 == 1 ? -0.0 : std::ldexp(static_cast<double>(k), -60);
    }
    default:
      return in.Take<double>();
  }
}

Points TakePoints(fuzz::Bytes& in) {
  Points points(static_cast<size_t>(in.Range(0, 24)));
  for (Point3D& p : points) {
    p.x = TakeCoordinate(in);
    p.y = TakeCoordinate(in);
    p.z = static_cast<double>(in.Take<uint8_t>() % 4);
  }
  return points;
}

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Bytes in(data, size);
  Points n1 = TakePoints(in), n2 = TakePoints(in);
  // Line points: the nodes themselves or a list of their own.
  Points l1 = in.Take<uint8_t>() & 1 ? n1 : TakePoints(in);
  Points l2 = in.Take<uint8_t>() & 1 ? n2 : TakePoints(in);

  Points a1 = n1, a2 = n2, b1 = l1, b2 = l2;
  std::vector<StratumSample> fast(1);
  const int answer = BuildStratumSamples(a1, a2, b1, b2, fast);
  for (const StratumSample& s : fast) {
    if (answer) FUZZ_CHECK(std::isfinite(s.point.x) && std::isfinite(s.point.y) && std::isfinite(s.thickness));
  }
  if (!AllFinite(n1) || !AllFinite(n2) || !AllFinite(l1) || !AllFinite(l2)) {
    FUZZ_CHECK(answer == 0);
    return 0;
  }
  Points c1 = n1, c2 = n2, d1 = l1, d2 = l2;
  std::vector<StratumSample> literal(1);
  FUZZ_CHECK(literal::BuildStratumSamples(c1, c2, d1, d2, literal) == answer);
  FUZZ_CHECK(SameBytes(fast, literal));
  FUZZ_CHECK(SameBytes(a1, c1) && SameBytes(a2, c2) && SameBytes(b1, d1) && SameBytes(b2, d2));
  return 0;
}
