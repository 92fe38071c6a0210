// The line points of a smooth curve (kernel kind 3): a centripetal Catmull-Rom spline through
// the curve's nodes, sampled at a fixed number of steps per span.
//
// Centripetal parametrisation (knot spacing sqrt of the chord length) never forms cusps or
// self-intersections inside a span, and the spline passes through every node: each node is
// emitted exactly as given, followed by kSmoothCurveSteps - 1 interior points of the span to
// the next node. The missing neighbour at either end is the reflection of the node's other
// neighbour (2 P0 - P1), and an equal neighbour counts as missing. A span between two equal
// nodes gets no interior points. z is interpolated like x and y.
#pragma once

#include <vector>

#include "host/zvrecords.h"

inline constexpr int kSmoothCurveSteps = 8;

std::vector<Point3D> DensifySmoothCurve(const std::vector<Point3D>& nodes);
