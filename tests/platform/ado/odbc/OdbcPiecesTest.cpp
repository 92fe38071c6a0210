// Tests of reading a value in pieces with SQLGetData against a scripted driver: what ODBC
// documents for SQLGetData (a piece fills the buffer less the terminator of character data; the
// indicator is the length that remained, SQL_NO_TOTAL when the driver cannot tell, SQL_NULL_DATA
// for Null; SQL_NO_DATA after the last piece) and drivers that break it (SQL_SUCCESS with
// SQL_NO_TOTAL or with a length beyond the buffer, bad indicators, no end). The scripted driver
// writes past the usable part of the buffer on purpose, so a reader that trusts an indicator
// copies the marker bytes; it answers SQL_ERROR once its script is used up, so a reader that
// never stops ends there (the test's own watchdog).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "OdbcPieces.h"

namespace kp::ado {
namespace {

struct Step {
  SQLRETURN rc;
  SQLLEN ind;
  std::string data;  // what the driver writes into the buffer (cut at the capacity)
};

std::string Wide(std::u16string_view text) {
  return std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2);
}

struct PieceCase {
  const char* what;
  bool wide;
  SQLLEN capacity;
  std::vector<Step> script;
  OdbcPieces::Result result;
  std::string value;   // bytes appended (Value)
  SQLLEN problem = 0;  // Failed / BadLength
  size_t calls = 0;    // SQLGetData calls made (0: the whole script)
  uint64_t maxBytes = 0x7FFFFFFF;
};

void PrintTo(const PieceCase& c, std::ostream* os) {
  *os << c.what;
}

class OdbcPiecesTest : public testing::TestWithParam<PieceCase> {};

TEST_P(OdbcPiecesTest, ReadsWhatTheBufferHolds) {
  const PieceCase& c = GetParam();
  size_t calls = 0;
  std::vector<char> buffer((size_t)c.capacity + 64, 'Z');  // room to catch a reader going past
  auto get = [&](void* out, SQLLEN capacity, SQLLEN* ind) -> SQLRETURN {
    EXPECT_EQ(capacity, c.capacity);
    *ind = 0x7EADBEEF;
    if (calls >= c.script.size()) {
      ++calls;
      return SQL_ERROR;  // the script is used up: a reader still asking has gone wrong
    }
    const Step& s = c.script[calls++];
    // Marker bytes beyond the part the indicator allows: a reader must never take them.
    memset(out, 'Z', (size_t)capacity);
    memcpy(out, s.data.data(), std::min(s.data.size(), (size_t)capacity));
    *ind = s.ind;
    return s.rc;
  };
  std::string value;
  auto append = [&](const char* bytes, size_t count) { value.append(bytes, count); };
  SQLLEN problem = 0;
  OdbcPieces::Result r =
      OdbcPieces::Read(get, append, c.wide, buffer.data(), c.capacity, c.maxBytes, &problem);
  EXPECT_EQ(r, c.result);
  if (r == OdbcPieces::Result::Value) {
    EXPECT_EQ(value, c.value);
  }
  if (r == OdbcPieces::Result::Failed || r == OdbcPieces::Result::BadLength) {
    EXPECT_EQ(problem, c.problem);
  }
  EXPECT_EQ(calls, c.calls ? c.calls : c.script.size());
}

using R = OdbcPieces::Result;
constexpr SQLRETURN kInfo = SQL_SUCCESS_WITH_INFO;

// 12 bytes of wide text hold 5 units and the terminator; binary takes all 12.
const PieceCase kCases[] = {
    {"the whole value in one piece", true, 12, {{SQL_SUCCESS, 6, Wide(u"abc")}}, R::Value, Wide(u"abc")},
    {"pieces with the remaining length, then SQL_NO_DATA",
     true,
     12,
     {{kInfo, 16, Wide(u"abcde")}, {SQL_SUCCESS, 6, Wide(u"fgh")}, {SQL_NO_DATA, 0, ""}},
     R::Value,
     Wide(u"abcdefgh"),
     0,
     2},
    {"SQL_NO_TOTAL pieces: each one is full",
     true,
     12,
     {{kInfo, SQL_NO_TOTAL, Wide(u"abcde")},
      {kInfo, SQL_NO_TOTAL, Wide(u"fghij")},
      {SQL_SUCCESS, 2, Wide(u"k")}},
     R::Value,
     Wide(u"abcdefghijk")},
    {"SQL_NO_TOTAL pieces of binary data fill the whole buffer",
     false,
     12,
     {{kInfo, SQL_NO_TOTAL, "0123456789ab"}, {SQL_SUCCESS, 3, "cde"}},
     R::Value,
     "0123456789abcde"},
    {"SQL_SUCCESS with SQL_NO_TOTAL: the buffer is full, ask again",
     true,
     12,
     {{SQL_SUCCESS, SQL_NO_TOTAL, Wide(u"abcde")}, {SQL_NO_DATA, 0, ""}},
     R::Value,
     Wide(u"abcde")},
    {"SQL_SUCCESS with a length beyond the buffer: take the buffer, ask again",
     true,
     12,
     {{SQL_SUCCESS, 4000, Wide(u"abcde")}, {SQL_SUCCESS, 4, Wide(u"fg")}},
     R::Value,
     Wide(u"abcdefg")},
    {"binary length beyond the buffer",
     false,
     12,
     {{SQL_SUCCESS, 1000000, "0123456789ab"}, {SQL_NO_DATA, 0, ""}},
     R::Value,
     "0123456789ab"},
    {"a length equal to the usable bytes is the last piece",
     true,
     12,
     {{kInfo, 10, Wide(u"abcde")}},
     R::Value,
     Wide(u"abcde")},
    {"a surrogate pair split between pieces is kept whole",
     true,
     12,
     {{kInfo, 12, Wide(u"abcd\xD83D")}, {SQL_SUCCESS, 2, Wide(u"\xDE00")}},
     R::Value,
     Wide(u"abcd\xD83D\xDE00")},
    {"SQL_NO_DATA at once is an empty value", true, 12, {{SQL_NO_DATA, 0, ""}}, R::Value, ""},
    {"a zero length is an empty value", false, 12, {{SQL_SUCCESS, 0, ""}}, R::Value, ""},
    {"SQL_NULL_DATA first is Null", true, 12, {{SQL_SUCCESS, SQL_NULL_DATA, ""}}, R::Null, ""},
    {"SQL_NULL_DATA after data is a driver fault",
     true,
     12,
     {{kInfo, SQL_NO_TOTAL, Wide(u"abcde")}, {SQL_SUCCESS, SQL_NULL_DATA, ""}},
     R::BadLength,
     "",
     SQL_NULL_DATA},
    {"SQL_NTS as a length is a driver fault",
     true,
     12,
     {{SQL_SUCCESS, SQL_NTS, Wide(u"ab")}},
     R::BadLength,
     "",
     SQL_NTS},
    {"an odd number of bytes of wide text is a driver fault",
     true,
     12,
     {{SQL_SUCCESS, 5, Wide(u"abc")}},
     R::BadLength,
     "",
     5},
    {"a failing call",
     true,
     12,
     {{kInfo, SQL_NO_TOTAL, Wide(u"abcde")}, {SQL_ERROR, 0, ""}},
     R::Failed,
     "",
     SQL_ERROR},
    {"a driver that never ends stops at the size limit", false, 12,
     std::vector<Step>(100, Step{kInfo, SQL_NO_TOTAL, "0123456789ab"}), R::TooLong, "", 0, 9, 100},
};

INSTANTIATE_TEST_SUITE_P(Script, OdbcPiecesTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<PieceCase>& info) {
                           return "case" + std::to_string(info.index);
                         });

}  // namespace
}  // namespace kp::ado
