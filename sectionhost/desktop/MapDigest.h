// A 64-bit digest of a map's content, so the window can tell after every engine call whether
// the map differs from the one last saved or opened without formatting it as text (the
// terminal compares MapFile::Format texts; on a section of a million points that costs the
// window a large part of a second per refresh). The digest covers what a command can change
// and what a map file keeps: the map member, each entity's id, type, deleted flag, nodes, line
// points, stratum code, scale, samples and values, and its kept JSON members. Two maps with the
// same digest are taken to be equal (FNV-1a over 64 bits, numbers a word at a time: a collision
// is not a practical risk).
#pragma once
#include <cstdint>

#include "sectionhost/map/MapData.h"

namespace sectionhost {

class MapDigest {
 public:
  static uint64_t Of(const MapData& map);
};

}  // namespace sectionhost
