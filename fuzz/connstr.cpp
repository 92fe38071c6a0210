// OLE DB connection strings: parse, write back as text, parse again. Properties: text that
// parses gives the same pairs, in the same order and spelling, after a trip through ToString;
// every pair's value is what Get answers for its key. Each input byte is one UTF-16 unit (so the
// dictionary's keywords work), and a 0xFF byte takes the next two bytes as one unit.
#include <string>

#include "FuzzCheck.h"
#include "ConnectionString.h"

using kp::ado::ConnectionString;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 8192) return 0;
  std::u16string text;
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0xFF && i + 2 < size) {
      text.push_back(static_cast<char16_t>(data[i + 1] | (data[i + 2] << 8)));
      i += 2;
    } else {
      text.push_back(static_cast<char16_t>(data[i]));
    }
  }
  ConnectionString first;
  if (FAILED(ConnectionString::Parse(text, first))) {
    FUZZ_CHECK(first.Empty());
    return 0;
  }
  for (const auto& [key, value] : first.Pairs()) FUZZ_CHECK(first.Get(key) == value);

  const std::u16string written = first.ToString();
  ConnectionString second;
  FUZZ_CHECK(SUCCEEDED(ConnectionString::Parse(written, second)));
  FUZZ_CHECK(second.Pairs() == first.Pairs());
  FUZZ_CHECK(second.ToString() == written);
  return 0;
}
