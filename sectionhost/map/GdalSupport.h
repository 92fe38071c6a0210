// What GdalMap's reader and writer share: GDAL's registration, its errors kept quiet while a map
// is read or written (the last message goes into the reason of a failure), datasets closed by
// their owner, and the failure that carries a whole reason up to GdalMap. Built only into
// libsectionhost_gdal.so.
#pragma once
#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <cctype>
#include <filesystem>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>

namespace sectionhost::gdal {

using Json = nlohmann::ordered_json;
namespace fs = std::filesystem;

inline constexpr int kLabelType = 40;  // points and texts without an entity type
inline constexpr int kOtherType = 0;   // any other geometry without an entity type
inline constexpr char kLocalCrs[] =
    "LOCAL_CS[\"section (local engineering "
    "coordinates)\",UNIT[\"metre\",1],AXIS[\"X\",EAST],AXIS[\"Y\",NORTH]]";
inline constexpr const char* kSampleFields[] = {"x", "y", "z", "thickness", "second", "third"};

// A failure with the whole reason.
struct Failure {
  std::string why;
};

inline void Register() {
  static std::once_flag once;
  std::call_once(once, [] { GDALAllRegister(); });
}

// GDAL's error reports are kept from the terminal for the time of one read or write.
class QuietErrors {
 public:
  QuietErrors() {
    CPLPushErrorHandler(CPLQuietErrorHandler);
    CPLErrorReset();
  }
  ~QuietErrors() { CPLPopErrorHandler(); }
  QuietErrors(const QuietErrors&) = delete;
  QuietErrors& operator=(const QuietErrors&) = delete;
  // ": MESSAGE" of the last GDAL error, or "" for none.
  static std::string Last() {
    const char* m = CPLGetLastErrorMsg();
    return m && *m ? std::string(" (GDAL: ") + m + ")" : std::string();
  }
};

struct CloseDataset {
  void operator()(GDALDataset* d) const { GDALClose(d); }
};
using Dataset = std::unique_ptr<GDALDataset, CloseDataset>;

inline std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

inline std::string Dump(const Json& j) {
  return j.dump(-1, ' ', false, Json::error_handler_t::replace);
}

inline Dataset OpenVector(const std::string& path, const std::string& format) {
  const char* drivers[] = {format.c_str(), nullptr};
  return Dataset(
      GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, format.empty() ? nullptr : drivers));
}

}  // namespace sectionhost::gdal
