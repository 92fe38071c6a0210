// Data-link (.udl) files: whatever bytes a file holds, reading it answers an init string or a
// clear failure; an init string that was read, written back as a .udl and read again, is the
// same string.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "FuzzCheck.h"
#include "DataLinkFile.h"

using kp::ado::DataLinkFile;

namespace {

std::string TempPath(const char* name) {
  const char* shm = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  return std::string(shm) + "/kp-fuzz-udl-" + std::to_string(getpid()) + "-" + name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string input = TempPath("in.udl");
  static const std::string output = TempPath("out.udl");
  if (FILE* f = std::fopen(input.c_str(), "wb")) {
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
  } else {
    return 0;
  }
  std::u16string initString, description;
  const HRESULT hr = DataLinkFile::Read(input, initString, &description);
  if (FAILED(hr)) {
    FUZZ_CHECK(initString.empty());
    FUZZ_CHECK(!description.empty());
  } else {
    FUZZ_CHECK(SUCCEEDED(DataLinkFile::Write(output, initString)));
    std::u16string again;
    FUZZ_CHECK(SUCCEEDED(DataLinkFile::Read(output, again, nullptr)));
    FUZZ_CHECK(again == initString);
  }
  std::remove(input.c_str());
  std::remove(output.c_str());
  return 0;
}
