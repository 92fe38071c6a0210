// Writing a section map as GeoJSON text (the format is in MapFile.h), streamed: the collection's
// head, then one feature per line as each entity is handed over, to a file in blocks of about a
// megabyte or to a string. An entity's coordinates, line points, samples and band are written
// from its arrays, never built as JSON values; the members kept as given are written as they
// were read.
//
// Numbers are the shortest text that reads back as the same double (std::to_chars), with ".0"
// after a whole number so that it reads back as a floating number; non-finite ones are null.
// Long coordinate arrays are formatted in parallel blocks joined in order, so the bytes do not
// depend on the number of threads.
#pragma once
#include <cstdio>
#include <string>

#include "MapData.h"

namespace sectionhost {

class MapWriter {
 public:
  // Writes to `file` (not closed here), or, with none, keeps the text (Text()).
  explicit MapWriter(std::FILE* file = nullptr) : file_(file) {}

  // The collection's head: its type, "map" and the other members of `map` (not its entities).
  void Begin(const MapData& map);
  void Entity(const MapEntity& e);
  // The collection's end. False when the file could not be written.
  bool End();

  const std::string& Text() const { return text_; }

  // Appends the JSON text of a double as described above.
  static void AppendNumber(std::string& out, double v);

 private:
  void Flush();

  std::FILE* file_;
  std::string text_;
  size_t entities_ = 0;
  bool failed_ = false;
};

}  // namespace sectionhost
