// Reading a section map's GeoJSON text into MapData (the format is in MapFile.h) with simdjson's
// on-demand parser: curve nodes, explicit line points and stratum samples go from the text
// straight into their arrays, with no document tree of the file (a map of two million-node
// curves is 45 MB of text; a tree of it took over 2 GB). The members the host keeps as given
// (other properties, a non-curve geometry, extra members, the map member) are small; each is
// kept as a JSON value parsed from its own text.
//
// Errors. What the map contract asks of a member ("feature 3 has no \"id\"") is named as such.
// For text that is not JSON, the message is the one a full JSON parser gives, with its line and
// column (one more pass over the text, on that path only); a number beyond the range of doubles
// and nesting deeper than MapFile::kMaxNesting are named with their line and column. A refused
// map leaves *map empty.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

#include "MapData.h"

namespace sectionhost {

class MapReader {
 public:
  // The bytes that must be readable after the end of the text given to Parse (simdjson reads
  // ahead in blocks).
  static size_t Padding();

  // Parses `text`, whose buffer holds at least `capacity` >= text.size() + Padding() bytes.
  static bool Parse(std::string_view text, size_t capacity, MapData* map, std::string* error);
};

}  // namespace sectionhost
