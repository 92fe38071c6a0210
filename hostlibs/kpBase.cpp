// The base library's configuration service: the directory that holds the data-link file
// ("isoDB.udl") and other per-installation files.
//
// The host sets the directory with KpBaseSetConfigDirectory; it is kept as given (not made
// absolute, not checked for existence) with a '/' appended when it does not end in one.
// Until the host sets one (or after it passes null or an empty text), the directory is the
// value of the environment variable KP_CONFIG_DIR when that is set and not empty, else the
// current directory "./". The variable is read at each call, so a test or a script may change
// it between calls. Text is taken and answered as bytes (GBK in the module), not converted.
#include "host/kpBase.h"

#include <cstdlib>
#include <mutex>
#include <string>

namespace {

std::mutex g_lock;
std::string g_directory;  // empty: not set by the host

std::string WithSeparator(std::string directory) {
  if (directory.empty() || directory.back() != '/') {
    directory += '/';
  }
  return directory;
}

std::string CurrentDirectory() {
  {
    std::lock_guard<std::mutex> lock(g_lock);
    if (!g_directory.empty()) {
      return g_directory;
    }
  }
  const char* fromEnvironment = std::getenv("KP_CONFIG_DIR");
  if (fromEnvironment != nullptr && *fromEnvironment != '\0') {
    return WithSeparator(fromEnvironment);
  }
  return "./";
}

}  // namespace

void GetConfigDirectory(CString& directory) {
  directory = CurrentDirectory().c_str();
}

void KpBaseSetConfigDirectory(const char* directory) {
  std::lock_guard<std::mutex> lock(g_lock);
  g_directory = (directory == nullptr || *directory == '\0') ? std::string() : WithSeparator(directory);
}
