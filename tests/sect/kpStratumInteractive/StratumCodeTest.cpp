// The stratum code written into the 32-byte text field of a stratum's attribute record
// (CopyStratumCode of stratumEntity.cpp, compiled into this test): at most 31 bytes and a NUL,
// cut before a GBK double-byte character that would not fit whole, never writing past the field.
// Trail bytes that are themselves lead-byte values (0x81-0xFE) or ASCII ('@', '\\') make sure
// the cut walks characters from the start rather than judging single bytes.
#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <string>

#include "stratum.h"

// The module's list of created entities, which stratumEntity.cpp refers to.
CArray<LONG, LONG> CreatedEntityIds;

namespace stratumtest {
namespace {

struct CodeCase {
  const char* name;
  std::string code;      // GBK
  std::string expected;  // GBK, what the field holds up to its NUL
};

class StratumCode : public testing::TestWithParam<CodeCase> {};

TEST_P(StratumCode, IsCutOnACharacterBoundaryWithinTheField) {
  unsigned char record[40];
  std::memset(record, 0xCC, sizeof record);
  auto& field = *reinterpret_cast<char(*)[32]>(record);
  CopyStratumCode(field, GetParam().code.c_str());
  const std::string& expected = GetParam().expected;
  ASSERT_LE(expected.size(), 31u);
  EXPECT_EQ(std::string(field, std::strlen(field)), expected);
  for (size_t i = expected.size() + 1; i < sizeof record; ++i) EXPECT_EQ(record[i], 0xCC) << "byte " << i;
}

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

INSTANTIATE_TEST_SUITE_P(
    Field, StratumCode,
    testing::Values(
        CodeCase{"Empty", "", ""}, CodeCase{"Short", "Q", "Q"},
        CodeCase{"Ascii31Fits", std::string(31, 'x'), std::string(31, 'x')},
        CodeCase{"Ascii32IsCutTo31", std::string(32, 'x'), std::string(31, 'x')},
        CodeCase{"Ascii100IsCutTo31", std::string(100, 'x'), std::string(31, 'x')},
        CodeCase{"Chinese15Fits", Repeat("第", 15), Repeat("第", 15)},
        CodeCase{"Chinese16LosesTheLast", Repeat("第", 16), Repeat("第", 15)},
        CodeCase{"OddThenChinese31Fits", "x" + Repeat("第", 15), "x" + Repeat("第", 15)},
        CodeCase{"EvenThenChinese32LosesAWholeCharacter", "xx" + Repeat("第", 15), "xx" + Repeat("第", 14)},
        CodeCase{"LeadValuedTrailBytes", "xx" + Repeat("\x81\x81", 15), "xx" + Repeat("\x81\x81", 14)},
        CodeCase{"AsciiTrailBytes", std::string(29, 'x') + "\x81\x40\x81\x5C",
                 std::string(29, 'x') + "\x81\x40"},
        CodeCase{"LastCharacterEndsAtByte31", std::string(29, 'x') + "\x81\x5C",
                 std::string(29, 'x') + "\x81\x5C"}),
    [](const testing::TestParamInfo<CodeCase>& info) { return info.param.name; });

// Fills memory with a byte in a way the compiler cannot drop as a store into storage that an
// object is about to be made in.
[[gnu::noinline]] void Scribble(unsigned char* memory, size_t size, unsigned char byte) {
  std::memset(memory, byte, size);
  asm volatile("" : : "r"(memory) : "memory");
}

// A record the module makes before the kernel fills it has every byte defined: the defaults
// of a fresh record, its 68 reserved bytes zero, whatever the memory held before. (The module
// writes the record back whole; with a kernel that does not fill it, undefined bytes went in.)
TEST(AttributeRecord, AFreshRecordHasEveryByteDefined) {
  alignas(EntityAttributes) unsigned char memory[sizeof(EntityAttributes)];
  for (unsigned char dirt : {0xAB, 0x00, 0xFF}) {
    Scribble(memory, sizeof memory, dirt);
    EntityAttributes* record = new (memory) EntityAttributes;
    unsigned char expected[sizeof(EntityAttributes)] = {};
    std::memset(expected + 0, 0xFF, 4);   // -1
    std::memset(expected + 16, 0xFF, 4);  // -1
    const volatile unsigned char* bytes = memory;
    for (size_t i = 0; i < sizeof memory; ++i) EXPECT_EQ(bytes[i], expected[i]) << "byte " << i << " dirt " << +dirt;
    record->~EntityAttributes();
  }
}

}  // namespace
}  // namespace stratumtest
