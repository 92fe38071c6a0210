// Raw records exchanged with the kernel library as plain memory: little-endian, no gaps between
// fields, so their sizes and offsets are fixed and asserted here. A StratumSample is 52 bytes
// (its doubles sit at 4-byte alignment inside arrays), an EntityAttributes record 140.
#pragma once
#include <cstddef>
#include <cstdint>

// Kernel object and entity-store handles: 32-bit table indices, 0 = none.
typedef uint32_t ZvHandle;

#pragma pack(push, 4)

struct Point3D {
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;
};

struct StratumSample {
  Point3D point;             // point on the lower curve
  double thickness = 0.0;    // vertical distance to the upper curve; -1.0 while unknown
  double second = 0.0;
  double third = 0.0;
  int32_t flag = 1;
};

struct EntityAttributes {
  int32_t field0 = -1;
  int32_t field4 = 0;
  int32_t field8 = 0;
  int32_t field12 = 0;
  int32_t field16 = -1;
  int32_t field20 = 0;
  char code[32] = {};        // stratum code, NUL-terminated GBK
  int32_t field56 = 0;
  int32_t field60 = 0;
  uint8_t reserved64[68] = {};  // zero, so that no record is written with undefined bytes
  int32_t field132 = 0;
  int32_t field136 = 0;
};

struct BoundBox {
  double minX = 0.0;
  double minY = 0.0;
  double maxX = 0.0;
  double maxY = 0.0;
};

#pragma pack(pop)

static_assert(sizeof(Point3D) == 24);
static_assert(offsetof(Point3D, y) == 8 && offsetof(Point3D, z) == 16);
static_assert(sizeof(StratumSample) == 52);
static_assert(offsetof(StratumSample, thickness) == 24 && offsetof(StratumSample, second) == 32 &&
              offsetof(StratumSample, third) == 40 && offsetof(StratumSample, flag) == 48);
static_assert(sizeof(EntityAttributes) == 140);
static_assert(offsetof(EntityAttributes, code) == 24 && offsetof(EntityAttributes, field56) == 56 &&
              offsetof(EntityAttributes, reserved64) == 64 && offsetof(EntityAttributes, field132) == 132);
static_assert(sizeof(BoundBox) == 32);
