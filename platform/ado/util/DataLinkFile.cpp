// Reading and writing data-link (.udl) files; see DataLinkFile.h for the layout. The error codes
// are those IDataInitialize documents for LoadStringFromStorage (STG_E_FILENOTFOUND,
// STG_E_INVALIDHEADER) plus the storage codes Windows uses for the other failures of opening
// and reading a file.
//
// A data-link file is outside input: it is opened only when it is a regular file (a device
// such as /dev/zero never ends, a FIFO blocks its reader), read up to kMaxFileBytes, and its
// text is decoded strictly: a stray byte, a lone surrogate, a broken UTF-8 sequence or a NUL
// fails with a description of the fault instead of being dropped or replaced.
#include "DataLinkFile.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string_view>

#include "TextUtil.h"
#include "UtilErrors.h"
#include "winnls.h"

namespace kp::ado {

namespace {

constexpr char16_t kHeader[] = u"[oledb]";
constexpr char16_t kComment[] = u"; Everything after this line is an OLE DB initstring";
// Far above any real file (a few hundred bytes: a header, a comment and one init string).
constexpr size_t kMaxFileBytes = size_t(1) << 20;

// Whether s is UTF-8 as the standard defines it: shortest forms only, no encoded surrogates,
// nothing above U+10FFFF.
bool IsValidUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = (unsigned char)s[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t len = (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (len == 0 || i + len > s.size()) return false;
    uint32_t cp = c & (0x7F >> len);
    for (size_t k = 1; k < len; ++k) {
      unsigned char t = (unsigned char)s[i + k];
      if ((t >> 6) != 2) return false;
      cp = (cp << 6) | (t & 0x3F);
    }
    static const uint32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += len;
  }
  return true;
}

// Strict narrow decoding (no replacement characters); false when the bytes do not decode.
bool DecodeNarrow(std::string_view bytes, UINT codePage, std::u16string& out) {
  out.clear();
  if (bytes.empty()) return true;
  int n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), (int)bytes.size(), nullptr, 0);
  if (n <= 0) return false;
  out.resize((size_t)n);
  return MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), (int)bytes.size(),
                             reinterpret_cast<LPWSTR>(out.data()), n) == n;
}

// UTF-16 after a byte-order mark; false (with problem) for an odd byte or a lone surrogate.
bool DecodeUtf16(std::string_view bytes, bool bigEndian, std::u16string& out, std::u16string& problem) {
  out.clear();
  if (bytes.size() % 2 != 0) {
    problem = u"UTF-16 text with an odd number of bytes.";
    return false;
  }
  out.reserve(bytes.size() / 2);
  for (size_t i = 0; i < bytes.size(); i += 2) {
    unsigned char a = (unsigned char)bytes[i], b = (unsigned char)bytes[i + 1];
    out += bigEndian ? (char16_t)((a << 8) | b) : (char16_t)((b << 8) | a);
  }
  for (size_t i = 0; i < out.size(); ++i) {
    char16_t c = out[i];
    bool high = c >= 0xD800 && c <= 0xDBFF, low = c >= 0xDC00 && c <= 0xDFFF;
    if (high && i + 1 < out.size() && out[i + 1] >= 0xDC00 && out[i + 1] <= 0xDFFF) {
      ++i;
      continue;
    }
    if (high || low) {
      // The offset counts the two bytes of the byte-order mark, as a hex viewer shows the file.
      problem = u"a lone UTF-16 surrogate at byte " + Widen(std::to_string(2 + 2 * i), CP_UTF8) + u".";
      return false;
    }
  }
  return true;
}

std::u16string Describe(const char16_t* before, const std::string& path, const std::u16string& after) {
  return before + Widen(path, CP_UTF8) + after;
}

}  // namespace

bool DataLinkFile::Decode(const std::string& bytes, std::u16string& text, std::u16string* problem) {
  std::u16string why;
  auto starts = [&](std::string_view bom) { return bytes.compare(0, bom.size(), bom) == 0; };
  std::string_view all(bytes);
  bool ok;
  if (starts("\xFF\xFE") || starts("\xFE\xFF")) {
    ok = DecodeUtf16(all.substr(2), starts("\xFE\xFF"), text, why);
  } else if (starts("\xEF\xBB\xBF")) {
    ok = IsValidUtf8(all.substr(3)) && DecodeNarrow(all.substr(3), CP_UTF8, text);
    if (!ok) why = u"invalid UTF-8 after the UTF-8 byte-order mark.";
  } else if (IsValidUtf8(all)) {
    ok = DecodeNarrow(all, CP_UTF8, text);
    if (!ok) why = u"invalid UTF-8.";
  } else {
    ok = DecodeNarrow(all, CP_GBK, text);
    if (!ok) why = u"neither UTF-8 nor GBK.";
  }
  if (ok && text.find(u'\0') != std::u16string::npos) {
    ok = false;
    why = u"a NUL character.";
  }
  if (!ok) {
    text.clear();
    if (problem) *problem = why;
  }
  return ok;
}

std::u16string DataLinkFile::Decode(const std::string& bytes) {
  std::u16string text;
  Decode(bytes, text, nullptr);
  return text;
}

HRESULT DataLinkFile::Read(const std::string& utf8Path, std::u16string& initString,
                           std::u16string* description) {
  initString.clear();
  auto fail = [&](HRESULT hr, const char16_t* before, const std::u16string& after) {
    if (description) *description = Describe(before, utf8Path, after);
    return hr;
  };
  const char16_t* file = u"The data link file '";

  struct stat st;
  if (stat(utf8Path.c_str(), &st) != 0) {
    if (errno == EACCES) return fail(STG_E_ACCESSDENIED, file, u"' cannot be opened: access denied.");
    return fail(STG_E_FILENOTFOUND, file, u"' was not found.");
  }
  if (S_ISDIR(st.st_mode)) return fail(STG_E_READFAULT, file, u"' is a folder, not a file.");
  if (!S_ISREG(st.st_mode)) return fail(STG_E_READFAULT, file, u"' is not a regular file.");
  // O_NONBLOCK: should the name have become a FIFO since stat, opening it does not wait for a
  // writer; the check below then refuses it.
  int fd = open(utf8Path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    if (errno == EACCES) return fail(STG_E_ACCESSDENIED, file, u"' cannot be opened: access denied.");
    return fail(STG_E_READFAULT, file, u"' cannot be opened.");
  }
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return fail(STG_E_READFAULT, file, u"' is not a regular file.");
  }
  // Read one byte past the limit to tell a file at the limit from a longer one; the size stat
  // gave is not trusted (the file may grow while it is read).
  std::string bytes;
  bool readError = false;
  char buf[4096];
  while (bytes.size() <= kMaxFileBytes) {
    size_t want = std::min(sizeof buf, kMaxFileBytes + 1 - bytes.size());
    ssize_t got = read(fd, buf, want);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) readError = true;
    if (got <= 0) break;
    bytes.append(buf, (size_t)got);
  }
  close(fd);
  if (readError) return fail(STG_E_READFAULT, file, u"' could not be read.");
  if (bytes.size() > kMaxFileBytes)
    return fail(STG_E_INVALIDHEADER, file,
                u"' is larger than " + Widen(std::to_string(kMaxFileBytes), CP_UTF8) +
                    u" bytes; a data link file holds one line of text.");

  std::u16string text, problem;
  if (!Decode(bytes, text, &problem))
    return fail(STG_E_INVALIDHEADER, file, u"' is not valid text: " + problem);
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
  if (!headerSeen) return fail(STG_E_INVALIDHEADER, file, u"' does not start with the [oledb] header.");
  return fail(STG_E_INVALIDHEADER, file, u"' holds no initialization string.");
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
  if (!f) return STG_E_ACCESSDENIED;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = std::fclose(f) == 0 && ok;
  return ok ? S_OK : STG_E_WRITEFAULT;
}

std::string DataLinkFile::Folder(const std::string& utf8Path) {
  size_t slash = utf8Path.find_last_of("/\\");
  if (slash == std::string::npos) return ".";
  if (slash == 0) return utf8Path.substr(0, 1);
  return utf8Path.substr(0, slash);
}

}  // namespace kp::ado
