// Choosing a map file's reader and writer; see MapFormat.h. GdalMap is built where GDAL is found
// (KP_WITH_GDAL), as libsectionhost_gdal.so beside the program, loaded the first time it is
// needed (never unloaded: GDAL keeps its drivers for the process); without it, the GDAL path
// answers with the reason.
#include "MapFormat.h"

#include <algorithm>
#include <cctype>
#include <fstream>

#include "MapFile.h"
#ifdef KP_WITH_GDAL
#include <dlfcn.h>
#include <unistd.h>

#include <mutex>

#include "GdalMap.h"
#endif

namespace sectionhost {

namespace {

std::string Extension(const std::string& path) {
  size_t slash = path.rfind('/');
  size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  std::string ext = path.substr(dot);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext;
}

#ifdef KP_WITH_GDAL
// GdalMap's entry in libsectionhost_gdal.so (beside the program, else on its library path); null
// with the loader's reason in *why when the library cannot be loaded.
const GdalMapEntry* Gdal(const std::string& path, std::string* why) {
  static const GdalMapEntry* entry = nullptr;
  static std::string failure;
  static std::once_flag once;
  std::call_once(once, [] {
    const char kLibrary[] = "libsectionhost_gdal.so";
    char exe[4096] = {};
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    std::string besides = n > 0 ? std::string(exe, static_cast<size_t>(n)) : std::string();
    besides = besides.substr(0, besides.rfind('/') + 1) + kLibrary;
    void* library = dlopen(besides.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) library = dlopen(kLibrary, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
      const char* e = dlerror();
      failure = e ? e : kLibrary;
      return;
    }
    auto find = reinterpret_cast<const GdalMapEntry* (*)()>(dlsym(library, "SectionhostGdalMapEntry"));
    if (!find) {
      failure = std::string(kLibrary) + " has no entry SectionhostGdalMapEntry";
      return;
    }
    entry = find();
  });
  if (!entry && why) *why = path + ": GDAL's formats cannot be loaded: " + failure;
  return entry;
}
#else
std::string NoGdal(const std::string& path) {
  return path + ": this host is built without GDAL; it reads and writes GeoJSON maps (.geojson, .json) only";
}
#endif

// The file's first byte after white space (and a UTF-8 byte-order mark) is '{'.
bool StartsLikeJson(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  char c = 0;
  while (in.get(c)) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\xEF' || c == '\xBB' || c == '\xBF') continue;
    return c == '{';
  }
  return false;
}

}  // namespace

bool MapFormat::IsOwnGeoJson(const std::string& path, const std::string& format) {
  if (!format.empty()) return false;
  std::string ext = Extension(path);
  return ext.empty() || ext == ".geojson" || ext == ".json";
}

bool MapFormat::HaveGdal() {
#ifdef KP_WITH_GDAL
  return true;
#else
  return false;
#endif
}

bool MapFormat::Read(const std::string& path, const std::string& format, MapData* map,
                     std::vector<std::string>* notes, std::string* error) {
  if (IsOwnGeoJson(path, format) || (format.empty() && (!HaveGdal() || StartsLikeJson(path)))) {
    return MapFile::Read(path, map, error);
  }
#ifdef KP_WITH_GDAL
  const GdalMapEntry* gdal = Gdal(path, error);
  return gdal && gdal->read(path, format, map, notes, error);
#else
  (void)notes;
  if (error) *error = NoGdal(path);
  return false;
#endif
}

bool MapFormat::Write(const std::string& path, const std::string& format, const MapData& head,
                      const EachEntity& entities, std::string* error) {
  if (IsOwnGeoJson(path, format) || (format.empty() && !HaveGdal())) {
    return MapFile::Write(path, head, entities, error);
  }
#ifdef KP_WITH_GDAL
  const GdalMapEntry* gdal = Gdal(path, error);
  if (!gdal) return false;
  if (format.empty() && gdal->driverForPath(path).empty()) return MapFile::Write(path, head, entities, error);
  return gdal->write(path, format, head, entities, error);
#else
  if (error) *error = NoGdal(path);
  return false;
#endif
}

bool MapFormat::Write(const std::string& path, const std::string& format, const MapData& map,
                      std::string* error) {
  return Write(path, format, map, EntitiesOf(map), error);
}

}  // namespace sectionhost
