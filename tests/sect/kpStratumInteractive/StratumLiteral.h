// The stratum construction written down literally, step by step, as the reference that the
// fast construction must match bit for bit: a scan of every segment per projected point and the
// pairwise exchange sort. Quadratic, so only for tests and for the benchmark's baseline.
#pragma once

#include <vector>

#include "host/zvrecords.h"

namespace literal {

int ProjectVertically(Point3D p, const std::vector<Point3D>& line, double& distance, Point3D& meet);

// Same contract as ::BuildStratumSamples, without the refusal of non-finite coordinates.
int BuildStratumSamples(std::vector<Point3D>& nodes1, std::vector<Point3D>& nodes2,
                        std::vector<Point3D>& line1, std::vector<Point3D>& line2,
                        std::vector<StratumSample>& result);

// The pairwise exchange sort by x alone (step 6), for tests of the ordering.
void ExchangeSort(std::vector<StratumSample>& samples);

}  // namespace literal
