// Tests of the kernel library: object kinds and their coded properties, attribute defaults,
// flags, invalid handles, entity stores (insertion ids, lookup, order) and saved states.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "host/zvkernel.h"

namespace {

using Points = std::vector<Point3D>;

ZvHandle Curve(int kind, const Points& nodes) {
  const ZvHandle h = CreateObject(kind);
  EXPECT_NE(h, 0u);
  EXPECT_EQ(ObjectProperty(h, ZvPropSetNodePoints, const_cast<Point3D*>(nodes.data()),
                           static_cast<int>(nodes.size())),
            1);
  return h;
}

// Reads a list the way the module does: the count, then the points.
Points Read(ZvHandle h, int countCode, int pointsCode, bool passCount) {
  int32_t count = -7;
  EXPECT_EQ(ObjectProperty(h, countCode, &count, 0), 1);
  Points out(static_cast<size_t>(count));
  EXPECT_EQ(ObjectProperty(h, pointsCode, out.data(), passCount ? count : 0), 1);
  return out;
}

Points LinePoints(ZvHandle h) {
  return Read(h, ZvPropLinePointCount, ZvPropLinePoints, false);
}
Points NodePoints(ZvHandle h) {
  return Read(h, ZvPropNodePointCount, ZvPropNodePoints, true);
}

const Points kNodes{{0, 0, 1}, {1, 2, 1}, {3, 1, 1}, {4, 4, 1}};

TEST(ZvKernel, UnknownKindsAreNotCreated) {
  EXPECT_EQ(CreateObject(0), 0u);
  EXPECT_EQ(CreateObject(5), 0u);
  EXPECT_NE(CreateObject(ZvKindSectionStratum), 0u);
}

TEST(ZvKernel, PolylineLinePointsAreItsNodes) {
  const ZvHandle h = Curve(ZvKindPolyline, kNodes);
  EXPECT_EQ(NodePoints(h).size(), kNodes.size());
  const Points line = LinePoints(h);
  ASSERT_EQ(line.size(), kNodes.size());
  EXPECT_EQ(std::memcmp(line.data(), kNodes.data(), line.size() * sizeof(Point3D)), 0);
}

TEST(ZvKernel, SmoothCurvePassesThroughEveryNode) {
  const ZvHandle h = Curve(ZvKindSmoothCurve, kNodes);
  const Points line = LinePoints(h);
  ASSERT_EQ(line.size(), (kNodes.size() - 1) * 8 + 1);  // 8 steps per span
  for (size_t i = 0; i < kNodes.size(); ++i) {
    EXPECT_EQ(line[i * 8].x, kNodes[i].x);
    EXPECT_EQ(line[i * 8].y, kNodes[i].y);
  }
  // Interior points lie between the span's nodes in x for this x-monotone curve.
  EXPECT_GT(line[4].x, 0.0);
  EXPECT_LT(line[4].x, 1.0);
}

// Repeated and nearly repeated nodes. A span whose nodes are 1e-300 apart next to one of length
// 1 has a knot interval (1e-150) that vanishes beside the neighbour's (1): the line points must
// stay finite, the nodes exact, and the interior points of the short span between its nodes.
struct RepeatedNodes {
  const char* name;
  Points nodes;
};
void PrintTo(const RepeatedNodes& r, std::ostream* os) {
  *os << r.name;
}

class SmoothCurveRepeatedNodes : public testing::TestWithParam<RepeatedNodes> {};

TEST_P(SmoothCurveRepeatedNodes, GiveFiniteLinePoints) {
  const Points& nodes = GetParam().nodes;
  const Points line = LinePoints(Curve(ZvKindSmoothCurve, nodes));
  ASSERT_GE(line.size(), nodes.size());
  for (size_t i = 0; i < line.size(); ++i) {
    EXPECT_TRUE(std::isfinite(line[i].x) && std::isfinite(line[i].y) && std::isfinite(line[i].z))
        << "line point " << i << ": (" << line[i].x << ", " << line[i].y << ", " << line[i].z << ")";
  }
  // Each node is emitted as given, in order, and what lies between two nodes stays within the
  // box of the curve's nodes widened by the longest span (a spline overshoots, but not by more).
  size_t next = 0;
  double lo = nodes[0].y, hi = nodes[0].y, reach = 0;
  for (size_t i = 0; i < nodes.size(); ++i) {
    lo = std::min(lo, nodes[i].y), hi = std::max(hi, nodes[i].y);
    if (i) reach = std::max(reach, std::hypot(nodes[i].x - nodes[i - 1].x, nodes[i].y - nodes[i - 1].y));
  }
  for (const Point3D& p : line) {
    if (next < nodes.size() && p.x == nodes[next].x && p.y == nodes[next].y && p.z == nodes[next].z) ++next;
    EXPECT_GE(p.y, lo - reach);
    EXPECT_LE(p.y, hi + reach);
  }
  EXPECT_EQ(next, nodes.size());
}

INSTANTIATE_TEST_SUITE_P(
    Nodes, SmoothCurveRepeatedNodes,
    testing::Values(RepeatedNodes{"Equal", {{0, 0, 0}, {1, 1, 0}, {1, 1, 0}, {2, 0, 0}}},
                    RepeatedNodes{"EqualAtTheStart", {{0, 0, 0}, {0, 0, 0}, {1, 1, 0}}},
                    RepeatedNodes{"TinyBesideUnit", {{0, 0, 0}, {1, 0, 0}, {1, 1e-300, 0}, {2, 0, 0}}},
                    RepeatedNodes{"TinyAtTheEnd", {{0, 0, 0}, {1, 0, 0}, {1, 1e-300, 0}}},
                    RepeatedNodes{"TinyInZ", {{0, 0, 0}, {1, 0, 0}, {1, 0, 1e-300}, {2, 0, 0}}},
                    RepeatedNodes{"TinyBesideLong", {{0, 0, 0}, {1e6, 0, 0}, {1e6, 1e-30, 0}, {2e6, 5, 0}}},
                    RepeatedNodes{"FarApart", {{-1e308, 0, 0}, {1e308, 0, 0}, {1e308, 1, 0}}}),
    [](const testing::TestParamInfo<RepeatedNodes>& info) { return std::string(info.param.name); });

TEST(ZvKernel, ExplicitLinePointsReplaceTheDerivedOnes) {
  const ZvHandle h = Curve(ZvKindCurve14, kNodes);
  EXPECT_EQ(LinePoints(h).size(), kNodes.size());  // its nodes until set
  Points line{{0, 0, 0}, {4, 4, 0}};
  ASSERT_EQ(ObjectProperty(h, ZvPropSetLinePoints, line.data(), 2), 1);
  EXPECT_EQ(LinePoints(h).size(), 2u);
  EXPECT_EQ(NodePoints(h).size(), kNodes.size());
  ASSERT_EQ(ObjectProperty(h, ZvPropSetLinePoints, nullptr, 0), 1);  // back to derived
  EXPECT_EQ(LinePoints(h).size(), kNodes.size());
}

TEST(ZvKernel, ArrayReadsCopyAtMostTheCount) {
  const ZvHandle h = Curve(ZvKindPolyline, kNodes);
  Point3D two[3] = {};
  two[2].x = 99;
  ASSERT_EQ(ObjectProperty(h, ZvPropNodePoints, two, 2), 1);
  EXPECT_EQ(two[1].y, 2);
  EXPECT_EQ(two[2].x, 99);  // not written
  EXPECT_EQ(ObjectProperty(h, ZvPropNodePoints, two, -1), 0);
}

TEST(ZvKernel, StratumPropertiesReadBack) {
  const ZvHandle h = CreateObject(ZvKindSectionStratum);
  std::vector<StratumSample> samples(3);
  samples[1].thickness = 2.5;
  ASSERT_EQ(ObjectProperty(h, ZvPropSamples, samples.data(), 3), 1);
  double scale = 0.25;
  int32_t zero = 0;
  ASSERT_EQ(ObjectProperty(h, ZvPropScale, &scale, 0), 1);
  ASSERT_EQ(ObjectProperty(h, ZvPropStratum145, &zero, 0), 1);

  int32_t count = -1;
  ASSERT_EQ(ObjectProperty(h, ZvPropSampleCount, &count, 0), 1);
  EXPECT_EQ(count, 3);
  std::vector<StratumSample> back(3);
  ASSERT_EQ(ObjectProperty(h, ZvPropSamplesOut, back.data(), 0), 1);
  EXPECT_EQ(std::memcmp(back.data(), samples.data(), sizeof(StratumSample) * 3), 0);
  double readScale = 0;
  int32_t value = -1;
  ASSERT_EQ(ObjectProperty(h, ZvPropScaleOut, &readScale, 0), 1);
  ASSERT_EQ(ObjectProperty(h, ZvPropStratum147Out, &value, 0), 1);
  EXPECT_EQ(readScale, 0.25);
  EXPECT_EQ(value, 0);
  // Curve properties do not apply to a stratum, nor stratum ones to a curve.
  EXPECT_EQ(ObjectProperty(h, ZvPropLinePointCount, &count, 0), 0);
  EXPECT_EQ(ObjectProperty(Curve(ZvKindPolyline, kNodes), ZvPropSamples, samples.data(), 3), 0);
}

TEST(ZvKernel, NewAttributeRecordHasTheDefaults) {
  EntityAttributes a;
  std::memset(static_cast<void*>(&a), 0xAB, sizeof a);  // every byte a sentinel
  ASSERT_EQ(GetAttributes(CreateObject(ZvKindSectionStratum), &a), 1);
  EXPECT_EQ(a.field0, -1);
  EXPECT_EQ(a.field4, 0);
  EXPECT_EQ(a.field12, 0);
  EXPECT_EQ(a.field16, -1);
  EXPECT_EQ(a.field20, 0);
  EXPECT_EQ(a.code[0], '\0');
  EXPECT_EQ(a.field56, 0);
  EXPECT_EQ(a.field60, 0);
  for (uint8_t b : a.reserved64) EXPECT_EQ(b, 0);
  EXPECT_EQ(a.field132, 0);
  EXPECT_EQ(a.field136, 0);
}

TEST(ZvKernel, AttributesAreCopiedWhole) {
  const ZvHandle h = CreateObject(ZvKindPolyline);
  EntityAttributes a;
  std::memset(static_cast<void*>(&a), 0x5C, sizeof a);
  std::strcpy(a.code, "Q4al");
  ASSERT_EQ(SetAttributes(h, &a), 1);
  EntityAttributes b;
  ASSERT_EQ(GetAttributes(h, &b), 1);
  EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0);
}

TEST(ZvKernel, FlagsAreAnIntWordWithBitZeroForDeleted) {
  const ZvHandle h = CreateObject(ZvKindPolyline);
  EXPECT_EQ(GetObjectFlags(h), 0);
  ASSERT_EQ(SetObjectFlags(h, GetObjectFlags(h) | 1), 1);
  EXPECT_EQ(GetObjectFlags(h), 1);
  ASSERT_EQ(SetObjectFlags(h, 0x40 | 1), 1);
  EXPECT_EQ(GetObjectFlags(h), 0x41);
}

TEST(ZvKernel, InvalidHandlesAnswerZero) {
  EntityAttributes a;
  int32_t count = 5;
  const ZvHandle store = ZvCreateStore();
  for (ZvHandle bad : {0u, 0x7FFFFFF0u, 0xFFFFFFFFu, store}) {  // a store is not an object
    EXPECT_EQ(ObjectProperty(bad, ZvPropLinePointCount, &count, 0), 0);
    EXPECT_EQ(GetAttributes(bad, &a), 0);
    EXPECT_EQ(SetAttributes(bad, &a), 0);
    EXPECT_EQ(GetObjectFlags(bad), 0);
    EXPECT_EQ(SetObjectFlags(bad, 1), 0);
    EXPECT_EQ(ZvObjectKind(bad), 0);
  }
  EXPECT_EQ(count, 5);
  ZvHandle object = CreateObject(ZvKindPolyline);
  EXPECT_EQ(StoreRequest(object, ZvStoreInsert, &object, 0), 0);  // an object is not a store
  EXPECT_EQ(GetAttributes(object, nullptr), 0);
  ASSERT_EQ(ZvReleaseObject(object), 1);
  EXPECT_EQ(ZvObjectKind(object), 0);  // released handles stay invalid
}

TEST(ZvStore, InsertionIdsGrowFromTheLargestId) {
  const ZvHandle store = ZvCreateStore();
  ZvHandle a = CreateObject(ZvKindPolyline);
  EXPECT_EQ(StoreRequest(store, ZvStoreInsert, &a, 0), 1);
  ASSERT_EQ(ZvStoreInsertWithId(store, CreateObject(ZvKindSmoothCurve), 40), 1);
  ASSERT_EQ(ZvStoreInsertWithId(store, CreateObject(ZvKindPolyline), 7), 1);
  ZvHandle b = CreateObject(ZvKindSectionStratum);
  EXPECT_EQ(StoreRequest(store, ZvStoreInsert, &b, 0), 41);
  EXPECT_EQ(StoreRequest(store, ZvStoreInsert, &b, 0), 0);                    // already in a store
  EXPECT_EQ(StoreRequest(store, 45, &b, 0), 0);                               // unknown request
  EXPECT_EQ(ZvStoreInsertWithId(store, CreateObject(ZvKindPolyline), 7), 0);  // id taken
  EXPECT_EQ(ZvStoreInsertWithId(store, CreateObject(ZvKindPolyline), 0), 0);  // not positive

  EXPECT_EQ(ZvStoreLookup(store, 41), b);
  EXPECT_EQ(ZvStoreLookup(store, 2), 0u);
  EXPECT_EQ(ZvStoreEntityKind(store, 40), ZvKindSmoothCurve);
  EXPECT_EQ(ZvStoreEntityKind(store, 41), ZvKindSectionStratum);
  ASSERT_EQ(ZvStoreEntityCount(store), 4);
  int32_t ids[8] = {};
  ASSERT_EQ(ZvStoreEntityIds(store, ids, 8), 4);
  EXPECT_EQ(std::vector<int32_t>(ids, ids + 4), (std::vector<int32_t>{1, 40, 7, 41}));  // insertion order
  EXPECT_EQ(ZvStoreEntityIds(store, ids, 2), 2);
  EXPECT_EQ(ZvReleaseObject(b), 0);  // belongs to the store
  ASSERT_EQ(ZvDestroyStore(store), 1);
  EXPECT_EQ(ZvObjectKind(b), 0);
}

TEST(ZvStore, RestoringASavedStateUndoesInsertionsAndChanges) {
  const ZvHandle store = ZvCreateStore();
  const ZvHandle curve = Curve(ZvKindPolyline, kNodes);
  ASSERT_EQ(ZvStoreInsertWithId(store, curve, 3), 1);
  const ZvHandle state = ZvSaveStoreState(store);
  ASSERT_NE(state, 0u);

  ZvHandle stratum = CreateObject(ZvKindSectionStratum);
  ASSERT_EQ(StoreRequest(store, ZvStoreInsert, &stratum, 0), 4);
  ASSERT_EQ(SetObjectFlags(curve, 1), 1);

  ASSERT_EQ(ZvRestoreStoreState(store, state), 1);
  EXPECT_EQ(ZvStoreEntityCount(store), 1);
  EXPECT_EQ(ZvStoreLookup(store, 3), curve);  // same handle
  EXPECT_EQ(GetObjectFlags(curve), 0);
  EXPECT_EQ(NodePoints(curve).size(), kNodes.size());
  EXPECT_EQ(ZvObjectKind(stratum), 0);  // released with its entity
  ZvHandle again = CreateObject(ZvKindSectionStratum);
  EXPECT_EQ(StoreRequest(store, ZvStoreInsert, &again, 0), 4);  // ids follow the restored store

  EXPECT_EQ(ZvRestoreStoreState(ZvCreateStore(), state), 0);  // another store's state
  EXPECT_EQ(ZvReleaseStoreState(state), 1);
  EXPECT_EQ(ZvReleaseStoreState(state), 0);
}

}  // namespace
