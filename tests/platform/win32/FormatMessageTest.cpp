// Conformance of FormatMessage with FORMAT_MESSAGE_FROM_SYSTEM: the system texts end in
// "\r\n", Win32 codes and their HRESULT_FROM_WIN32 forms share a text, and component-defined
// codes (FACILITY_ITF 0x80040200..0x8004FFFF, facility 10) have none (ERROR_MR_MID_NOT_FOUND).
#include <gtest/gtest.h>

#include <string>

#include "winbase.h"
#include "winnls.h"

namespace {

constexpr DWORD kSystem =
    FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER;

std::string SystemText(DWORD id) {
  char* text = reinterpret_cast<char*>(0xdeadbeef);
  const DWORD n = FormatMessageA(kSystem, nullptr, id, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
  if (n == 0) return "<none>";
  std::string s(text, n);
  EXPECT_EQ(LocalFree(text), nullptr);
  return s;
}

TEST(FormatMessage, SystemTextsEndInCrLf) {
  EXPECT_EQ(SystemText(0x80004005), "Unspecified error\r\n");
  EXPECT_EQ(SystemText(0x80040154), "Class not registered\r\n");
  EXPECT_EQ(SystemText(0x8002000A), "Out of present range.\r\n");
  EXPECT_EQ(SystemText(ERROR_FILE_NOT_FOUND), "The system cannot find the file specified.\r\n");
  EXPECT_EQ(SystemText(0), "The operation completed successfully.\r\n");
}

TEST(FormatMessage, Win32CodeAndItsHresultShareTheText) {
  EXPECT_EQ(SystemText(ERROR_ACCESS_DENIED), "Access is denied.\r\n");
  EXPECT_EQ(SystemText(static_cast<DWORD>(HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED))), "Access is denied.\r\n");
  EXPECT_EQ(SystemText(0x80070057), "The parameter is incorrect.\r\n");
}

TEST(FormatMessage, ComponentCodesHaveNoText) {
  for (DWORD id : {0x80040E14u, 0x80040200u, 0x8004FFFFu, 0x800A0BCDu}) {
    SetLastError(0);
    char* text = nullptr;
    EXPECT_EQ(FormatMessageA(kSystem, nullptr, id, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr), 0u) << id;
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_MR_MID_NOT_FOUND);
    EXPECT_EQ(text, nullptr);
  }
}

TEST(FormatMessage, WideFormAndCallerBuffer) {
  WCHAR wide[64];
  ASSERT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 0x80004001, 0, wide, 64, nullptr), 17u);
  EXPECT_EQ(std::u16string(wide), u"Not implemented\r\n");
  char small[4];
  SetLastError(0);
  EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 0x80004001, 0, small, 4, nullptr), 0u);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
}

TEST(FormatMessage, StringInsertsAndEscapes) {
  const char* args[] = {"one", "two"};
  char out[64];
  const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                                 "%2-%1%n100%%%0tail", 0, 0, out, 64, reinterpret_cast<va_list*>(args));
  EXPECT_EQ(std::string(out, n), "two-one\r\n100%");
  EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_IGNORE_INSERTS, "a %1 b", 0, 0, out,
                           64, nullptr),
            6u);
  EXPECT_STREQ(out, "a %1 b");
}

}  // namespace
