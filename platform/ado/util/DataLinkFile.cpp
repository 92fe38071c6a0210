// Reading and writing data-link (.udl) files; see DataLinkFile.h for the layout. The error codes
// are those IDataInitialize documents for LoadStringFromStorage (STG_E_FILENOTFOUND,
// STG_E_INVALIDHEADER) plus the storage codes Windows uses for the other failures of opening
// and reading a file.
#include "DataLinkFile.h"

#include <errno.h>
#include <sys/stat.h>

#include <cstdio>
#include <string_view>

#include "TextUtil.h"
#include "UtilErrors.h"
#include "winnls.h"

namespace kp::ado {

namespace {

constexpr char16_t kHeader[] = u"[oledb]";
constexpr char16_t kComment[] = u"; Everything after this line is an OLE DB initstring";

bool IsValidUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = (unsigned char)s[i];
    size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (len == 0 || i + len > s.size()) return false;
    if (len == 2 && c < 0xC2) return false;  // overlong
    for (size_t k = 1; k < len; ++k)
      if (((unsigned char)s[i + k] >> 6) != 2) return false;
    i += len;
  }
  return true;
}

std::u16string Utf16(const std::string& bytes, size_t start, bool bigEndian) {
  std::u16string out;
  out.reserve((bytes.size() - start) / 2);
  for (size_t i = start; i + 1 < bytes.size(); i += 2) {
    unsigned char a = (unsigned char)bytes[i], b = (unsigned char)bytes[i + 1];
    out += bigEndian ? (char16_t)((a << 8) | b) : (char16_t)((b << 8) | a);
  }
  return out;
}

std::u16string Describe(const char16_t* before, const std::string& path, const char16_t* after) {
  return before + Widen(path, CP_UTF8) + after;
}

}  // namespace

std::u16string DataLinkFile::Decode(const std::string& bytes) {
  auto starts = [&](std::string_view bom) { return bytes.compare(0, bom.size(), bom) == 0; };
  if (starts("\xFF\xFE")) return Utf16(bytes, 2, false);
  if (starts("\xFE\xFF")) return Utf16(bytes, 2, true);
  if (starts("\xEF\xBB\xBF")) return Widen(bytes.substr(3), CP_UTF8);
  if (IsValidUtf8(bytes)) return Widen(bytes, CP_UTF8);
  return Widen(bytes, CP_GBK);
}

HRESULT DataLinkFile::Read(const std::string& utf8Path, std::u16string& initString,
                           std::u16string* description) {
  initString.clear();
  auto fail = [&](HRESULT hr, const char16_t* before, const char16_t* after) {
    if (description) *description = Describe(before, utf8Path, after);
    return hr;
  };

  struct stat st;
  if (stat(utf8Path.c_str(), &st) != 0) {
    if (errno == EACCES)
      return fail(kStgAccessDenied, u"The data link file '", u"' cannot be opened: access denied.");
    return fail(kStgFileNotFound, u"The data link file '", u"' was not found.");
  }
  if (S_ISDIR(st.st_mode)) return fail(kStgReadFault, u"The data link file '", u"' is a folder, not a file.");
  FILE* f = std::fopen(utf8Path.c_str(), "rb");
  if (!f) {
    if (errno == EACCES)
      return fail(kStgAccessDenied, u"The data link file '", u"' cannot be opened: access denied.");
    return fail(kStgReadFault, u"The data link file '", u"' cannot be opened.");
  }
  std::string bytes;
  char buf[4096];
  size_t got;
  while ((got = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.append(buf, got);
  bool readError = std::ferror(f) != 0;
  std::fclose(f);
  if (readError) return fail(kStgReadFault, u"The data link file '", u"' could not be read.");

  std::u16string text = Decode(bytes);
  bool headerSeen = false;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find_first_of(u"\r\n", pos);
    if (end == std::u16string::npos) end = text.size();
    std::u16string_view line = Trim(std::u16string_view(text).substr(pos, end - pos));
    pos = end + 1;
    if (line.empty()) continue;
    if (!headerSeen) {
      if (!EqualsNoCase(line, kHeader)) break;
      headerSeen = true;
      continue;
    }
    if (line[0] == u';') continue;
    initString = std::u16string(line);
    return S_OK;
  }
  if (!headerSeen)
    return fail(kStgInvalidHeader, u"The data link file '", u"' does not start with the [oledb] header.");
  return fail(kStgInvalidHeader, u"The data link file '", u"' holds no initialization string.");
}

HRESULT DataLinkFile::Write(const std::string& utf8Path, std::u16string_view initString) {
  std::u16string text = kHeader;
  text += u"\r\n";
  text += kComment;
  text += u"\r\n";
  text += initString;
  text += u"\r\n";
  std::string bytes = "\xFF\xFE";
  for (char16_t c : text) {
    bytes += (char)(c & 0xFF);
    bytes += (char)(c >> 8);
  }
  FILE* f = std::fopen(utf8Path.c_str(), "wb");
  if (!f) return kStgAccessDenied;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = std::fclose(f) == 0 && ok;
  return ok ? S_OK : kStgWriteFault;
}

std::string DataLinkFile::Folder(const std::string& utf8Path) {
  size_t slash = utf8Path.find_last_of("/\\");
  if (slash == std::string::npos) return ".";
  if (slash == 0) return utf8Path.substr(0, 1);
  return utf8Path.substr(0, slash);
}

}  // namespace kp::ado
