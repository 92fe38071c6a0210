// The topology library's plane-geometry operations. Coordinates are doubles passed by value,
// x before y. Tolerances and degenerate cases are documented in docs/hostlibs.md.
#pragma once
#include "zvrecords.h"

#if defined(ZVTOPO_BUILD)
#define ZVTOPO_API extern "C" __attribute__((visibility("default")))
#else
#define ZVTOPO_API extern "C"
#endif

// Comparison tolerance at the magnitude of `value` (grows with |value|).
ZVTOPO_API double CoordTolerance(double value);
// Rotates (x, y) by `angle` radians about (cx, cy); writes the result to *outX, *outY.
ZVTOPO_API void RotatePoint(double x, double y, double angle, double* outX, double* outY, double cx, double cy);
// 1 when the line through (x1,y1)-(x2,y2) meets the line through (x3,y3)-(x4,y4), with the
// meeting point written out; 0 for lines parallel within `epsilon` (and degenerate lines).
ZVTOPO_API int LineIntersection(double x1, double y1, double x2, double y2, double x3, double y3, double x4,
                                double y4, double* outX, double* outY, double epsilon);
// 1 when (x, y) lies within `tolerance` of the segment (sx, sy)-(ex, ey).
ZVTOPO_API int PointOnSegment(double x, double y, double sx, double sy, double ex, double ey, double tolerance);
ZVTOPO_API double PointDistance(double x1, double y1, double x2, double y2);
// Nonzero when the two points lie within `tolerance` of each other.
ZVTOPO_API int PointsCoincide(double x1, double y1, double x2, double y2, double tolerance);
// Fills `box` with the extent of `count` points: least x first, greatest x third.
ZVTOPO_API void PointsExtent(const Point3D* points, int count, BoundBox* box);
