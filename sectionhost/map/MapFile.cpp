// Map files: reading the file into a buffer the parser may read ahead in, and writing through
// the streamed writer. The format is described in MapFile.h and docs/sectionhost.md; the
// reading itself is MapReader's, the writing MapWriter's.
//
// The size of a map is limited only by memory (maps of millions of nodes are read whole): a
// regular file is read into one buffer of its size (plus the parser's padding), a pipe as a
// stream.
#include "MapFile.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "MapReader.h"
#include "MapWriter.h"

namespace sectionhost {

size_t MapFile::StratumBandSize(const std::vector<StratumSample>& samples) {
  return samples.empty() ? 0 : 2 * samples.size() + 1;
}

Point3D MapFile::StratumBandPoint(const std::vector<StratumSample>& samples, size_t i) {
  const size_t n = samples.size();
  const bool upper = i >= n && i < 2 * n;
  const StratumSample& s = samples[i < n ? i : upper ? 2 * n - 1 - i : 0];
  return {s.point.x, upper ? s.point.y + s.thickness : s.point.y, 0.0};
}

std::vector<Point3D> MapFile::StratumBand(const std::vector<StratumSample>& samples) {
  std::vector<Point3D> ring(StratumBandSize(samples));
  for (size_t i = 0; i < ring.size(); ++i) ring[i] = StratumBandPoint(samples, i);
  return ring;
}

bool MapFile::Parse(const std::string& text, MapData* map, std::string* error) {
  std::string buffer(text.size() + MapReader::Padding(), '\0');
  std::memcpy(buffer.data(), text.data(), text.size());
  return MapReader::Parse(std::string_view(buffer.data(), text.size()), buffer.size(), map, error);
}

bool MapFile::Read(const std::string& path, MapData* map, std::string* error) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    if (error) *error = "cannot read " + path + ": it is a folder";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (error) *error = "cannot open " + path;
    return false;
  }
  std::string text;
  size_t length = 0;
  try {
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    in.seekg(0, std::ios::beg);
    if (size >= 0 && in) {
      length = static_cast<size_t>(size);
      text.resize(length + MapReader::Padding());
      in.read(text.data(), size);
      if (in.gcount() != size) in.setstate(std::ios::failbit);
    } else {
      in.clear();
      text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
      length = text.size();
      text.resize(length + MapReader::Padding());
    }
    if (in.bad() || (in.fail() && !in.eof())) {
      if (error) *error = "cannot read " + path;
      return false;
    }
  } catch (const std::exception&) {
    if (error) *error = path + ": not enough memory to read the file";
    return false;
  }
  std::string why;
  if (!MapReader::Parse(std::string_view(text.data(), length), text.size(), map, &why)) {
    if (error) *error = path + ": " + why;
    return false;
  }
  return true;
}

std::string MapFile::Format(const MapData& map) {
  MapWriter writer;
  writer.Begin(map);
  for (const MapEntity& e : map.entities) writer.Entity(e);
  writer.End();
  return writer.Text();
}

bool MapFile::Write(const std::string& path, const MapData& map, std::string* error) {
  return Write(path, map, EntitiesOf(map), error);
}

bool MapFile::Write(const std::string& path, const MapData& head, const EachEntity& entities, std::string* error) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  bool written = false;
  if (file) {
    MapWriter writer(file);
    writer.Begin(head);
    entities([&](const MapEntity& e) { writer.Entity(e); });
    written = writer.End();
    written = std::fclose(file) == 0 && written;
  }
  if (!written && error) *error = "cannot write " + path;
  return written;
}

}  // namespace sectionhost
