// The section-stratum construction: from the two boundary curves of a rock layer, the sample
// list of the stratum (points along the lower curve, sorted by x, each with the vertical
// thickness of the layer up to the upper curve), and the vertical projection it is built on.
//
// The functions here are pure: they read point lists and call the topology library (zvtopo)
// for every geometric predicate, and they touch no host object. Their results are those of the
// straightforward quadratic procedure (pairwise exchange sort, a scan of every segment per
// point), sample for sample and bit for bit, computed in O(n log n) for curves of ordinary
// shape. The entity creation that calls them lives in this unit too.
#pragma once

#include <span>
#include <vector>

#include "host/zvrecords.h"

// The module passes MFC growable arrays; the vector forms serve the tests and the fuzzer.
#include <afxtempl.h>

// Builds the stratum's sample list from two curves given in either order: node points and
// line points of the first curve, then of the second. Answers 1 with the list in `result`, or
// 0 when no stratum can be built: a curve without line points, curves whose x-ranges do not
// meet, no sample with a thickness of its own, an x or y coordinate that is not finite, or a
// sample that would carry a non-finite number (a thickness beyond the largest double, a lower
// node's z). The point arrays may have their contents exchanged (the lower curve, by mean y,
// ends up first). `result` is left untouched by the early refusals; after the de-duplication
// step it holds the samples even when the answer is 0.
int BuildStratumSamples(std::vector<Point3D>& nodes1, std::vector<Point3D>& nodes2,
                        std::vector<Point3D>& line1, std::vector<Point3D>& line2,
                        std::vector<StratumSample>& result);

// Meets the vertical through `p` with the polyline `line`: answers 1 with the meeting point
// (z = 0) on the first segment, in polyline order, that the vertical crosses within the
// tolerance at p, and its distance from p; answers 0 and leaves the outputs alone otherwise
// (a polyline of fewer than two points never meets). It searches the polyline as the
// construction does (see stratum.cpp), with the result of a scan of every segment.
int ProjectVertically(Point3D p, std::span<const Point3D> line, double& distance, Point3D& meet);

// Sorts samples by x ascending into exactly the order of the pairwise exchange scheme: for i
// ascending, for j > i ascending, exchange samples i and j when x(i) > x(j). Distinct x values
// come out ascending; the scheme's order of equal x values (compared with <, so -0.0 ties 0.0)
// is reproduced, in O(n log n).
void SortSamplesByX(std::vector<StratumSample>& samples);

// The module's form: MFC growable arrays, contents exchanged in place as above.
int BuildStratumSamples(CArray<Point3D, Point3D&>& nodes1, CArray<Point3D, Point3D&>& nodes2,
                        CArray<Point3D, Point3D&>& line1, CArray<Point3D, Point3D&>& line2,
                        CArray<StratumSample, StratumSample&>& result);
int ProjectVertically(Point3D p, const CArray<Point3D, Point3D&>& line, double& distance, Point3D& meet);

#if defined(KP_STRATUM_ENTITY)
// Entity creation (stratumEntity.cpp, part of the module only).
#include <afxwin.h>

class CVantorObjects;

// The ids of the entities inserted since the command last emptied the list (the command
// empties it at every start).
extern CArray<LONG, LONG> CreatedEntityIds;

// Turns the two picked curves into a new section-stratum entity of the map carrying the sample
// list, a scale value and `code`. Answers 1 when the entity was created, 0 (nothing inserted,
// no host state changed) when no sample list can be built, the scale is not a positive finite
// number, the kernel cannot create the object, the list holds fewer than 2 samples or a host
// call fails before the insertion. Never throws: host automation errors are contained.
int CreateSectionStratum(CVantorObjects* map, LONG firstId, LONG secondId, CString code);

// Inserts `object` into the entity store `store`, appends the new id to CreatedEntityIds and
// answers it.
int InsertEntity(ZvHandle object, ZvHandle store);

// Copies a stratum code into the 32-byte text field of the attribute record: at most 31 bytes,
// cut before a GBK double-byte character that would not fit whole, then a NUL.
void CopyStratumCode(char (&field)[32], const char* code);
#endif
