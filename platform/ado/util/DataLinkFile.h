// Microsoft Data Link (.udl) files: the init string that "File Name=" in a connection string
// points at.
//
// Layout as Windows writes it (IDataInitialize::WriteStringToStorage): UTF-16LE with the BOM
// FF FE, CR LF line ends, the line "[oledb]", the comment line "; Everything after this line is
// an OLE DB initstring", then the init string. Reading (IDataInitialize::LoadStringFromStorage)
// also accepts files edited by hand: UTF-8 with or without BOM, UTF-16BE with BOM, and ANSI text
// (GBK, the platform's code page) when the bytes are not valid UTF-8; LF or CR line ends; any
// number of ';' comment lines and blank lines. The init string is the first line after the
// header that is neither blank nor a comment, trimmed of blanks.
//
// Only regular files are read (devices and FIFOs are refused unread), at most 1 MiB, and text
// that does not decode (an odd byte in UTF-16, a lone surrogate, invalid UTF-8 after a UTF-8
// BOM, bytes that are neither UTF-8 nor GBK, a NUL character) is refused, never repaired.
//
// Relative paths inside the init string (a "Data Source" file) are not resolved here: the
// caller resolves them against Folder(path of the .udl file).
#pragma once
#include <string>
#include <string_view>

#include "winerror.h"

namespace kp::ado {

class DataLinkFile {
 public:
  // Answers S_OK with the init string, or fails (initString empty) with an English description
  // naming the file:
  //   STG_E_FILENOTFOUND   the file (or a folder on its path) does not exist;
  //   STG_E_ACCESSDENIED   it exists but cannot be opened for reading (permissions);
  //   STG_E_READFAULT      it is a folder, a device, a FIFO or anything else but a regular
  //                        file, or reading failed;
  //   STG_E_INVALIDHEADER  empty, larger than 1 MiB, not valid text, no "[oledb]" header, or no
  //                        init string after the header.
  // description may be null.
  static HRESULT Read(const std::string& utf8Path, std::u16string& initString, std::u16string* description);
  static HRESULT Read(const std::string& utf8Path, std::u16string& initString, std::u16string& description) {
    return Read(utf8Path, initString, &description);
  }

  // Writes (creating or replacing) a .udl file in the Windows layout. STG_E_ACCESSDENIED when the
  // file cannot be created, STG_E_WRITEFAULT when writing fails.
  static HRESULT Write(const std::string& utf8Path, std::u16string_view initString);

  // The folder part of a path ('/' or '\\' separated): "/data/iso.udl" -> "/data",
  // "/iso.udl" -> "/", "iso.udl" -> "." (the current folder).
  static std::string Folder(const std::string& utf8Path);

  // Decodes the bytes of a data-link file to UTF-16 by the rules above (exposed for tests).
  // Malformed text answers false with text empty and, when problem is not null, the fault in
  // words ("a lone UTF-16 surrogate at byte 146.").
  static bool Decode(const std::string& bytes, std::u16string& text, std::u16string* problem);
  // The same, answering the text (empty when the bytes are malformed).
  static std::u16string Decode(const std::string& bytes);
};

}  // namespace kp::ado
