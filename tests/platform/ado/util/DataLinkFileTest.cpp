// Conformance tests of data-link (.udl) files: the Windows layout written by
// WriteStringToStorage (UTF-16LE BOM, CR LF, "[oledb]", the comment line), reading that layout
// and hand-edited variants, and the STG_E_* failures of LoadStringFromStorage.
#include "DataLinkFile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "UtilErrors.h"

using kp::ado::DataLinkFile;

namespace {

class DataLinkFileTest : public testing::Test {
 protected:
  std::string Path(const std::string& name) {
    return testing::TempDir() + "adoutil_udl_" + std::to_string(getpid()) + "_" + name;
  }
  std::string WriteBytes(const std::string& name, const std::string& bytes) {
    std::string p = Path(name);
    std::ofstream(p, std::ios::binary) << bytes;
    created_.push_back(p);
    return p;
  }
  void TearDown() override {
    for (const auto& p : created_) unlink(p.c_str());
  }
  std::vector<std::string> created_;
};

TEST_F(DataLinkFileTest, WriteProducesTheWindowsLayoutByteForByte) {
  std::string p = Path("layout.udl");
  created_.push_back(p);
  ASSERT_EQ(DataLinkFile::Write(p, u"Provider=SQLite;Data Source=iso.db"), S_OK);
  std::ifstream in(p, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const char start[] = "\xFF\xFE[\0o\0l\0e\0d\0b\0]\0\r\0\n\0";
  ASSERT_GE(bytes.size(), sizeof start - 1);
  EXPECT_EQ(bytes.substr(0, sizeof start - 1), std::string(start, sizeof start - 1));
  EXPECT_EQ(DataLinkFile::Decode(bytes),
            u"[oledb]\r\n; Everything after this line is an OLE DB initstring\r\nProvider=SQLite;Data "
            u"Source=iso.db\r\n");

  std::u16string init = u"sentinel", description = u"sentinel";
  EXPECT_EQ(DataLinkFile::Read(p, init, description), S_OK);
  EXPECT_EQ(init, u"Provider=SQLite;Data Source=iso.db");
}

std::string Utf16Be(std::u16string_view text) {
  std::string out = "\xFE\xFF";
  for (char16_t ch : text) {
    out += (char)(ch >> 8);
    out += (char)(ch & 0xFF);
  }
  return out;
}

struct EncodingCase {
  const char* what;
  std::string bytes;
};

class DataLinkEncodings : public DataLinkFileTest, public testing::WithParamInterface<EncodingCase> {};

// The init string holds "Data Source=地层.db" (U+5730 U+5C42) in every encoding.
TEST_P(DataLinkEncodings, ReadsTheInitString) {
  std::string p = WriteBytes("enc.udl", GetParam().bytes);
  std::u16string init = u"sentinel";
  ASSERT_EQ(DataLinkFile::Read(p, init, nullptr), S_OK) << GetParam().what;
  EXPECT_EQ(init, u"Provider=SQLite;Data Source=\u5730\u5c42.db") << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, DataLinkEncodings,
    testing::Values(
        EncodingCase{"UTF-8 with BOM, CR LF",
                     "\xEF\xBB\xBF[oledb]\r\n; Everything after this line is an OLE DB initstring\r\n"
                     "Provider=SQLite;Data Source=\xE5\x9C\xB0\xE5\xB1\x82.db\r\n"},
        EncodingCase{
            "UTF-8 without BOM, LF, blanks around the lines",
            "  [OLEDB] \n;comment\n\n   Provider=SQLite;Data Source=\xE5\x9C\xB0\xE5\xB1\x82.db  \n"},
        EncodingCase{"ANSI (GBK) text",
                     "[oledb]\r\n; Everything after this line is an OLE DB initstring\r\n"
                     "Provider=SQLite;Data Source=\xB5\xD8\xB2\xE3.db"},
        EncodingCase{"UTF-16BE with BOM", Utf16Be(u"[oledb]\nProvider=SQLite;Data Source=\u5730\u5c42.db")}),
    [](const testing::TestParamInfo<EncodingCase>& info) { return "case" + std::to_string(info.index); });

TEST_F(DataLinkFileTest, MissingFileIsStgFileNotFoundNamingTheFile) {
  std::u16string init = u"sentinel", description;
  EXPECT_EQ(DataLinkFile::Read(Path("nosuch.udl"), init, description), kp::ado::kStgFileNotFound);
  EXPECT_EQ(init, u"");
  EXPECT_NE(description.find(u"nosuch.udl"), std::u16string::npos);
  EXPECT_NE(description.find(u"not found"), std::u16string::npos);
}

TEST_F(DataLinkFileTest, FileWithoutHeaderOrInitStringIsStgInvalidHeader) {
  std::u16string init = u"sentinel", description;
  EXPECT_EQ(DataLinkFile::Read(WriteBytes("empty.udl", ""), init, description), kp::ado::kStgInvalidHeader);
  EXPECT_NE(description.find(u"empty.udl"), std::u16string::npos);
  EXPECT_EQ(DataLinkFile::Read(WriteBytes("noheader.udl", "Provider=SQLite\r\n"), init, description),
            kp::ado::kStgInvalidHeader);
  EXPECT_EQ(
      DataLinkFile::Read(
          WriteBytes("noinit.udl", "[oledb]\r\n; Everything after this line is an OLE DB initstring\r\n\r\n"),
          init, description),
      kp::ado::kStgInvalidHeader);
  EXPECT_EQ(init, u"");
  EXPECT_NE(description.find(u"no initialization string"), std::u16string::npos);
}

TEST_F(DataLinkFileTest, AFolderIsAReadFault) {
  std::u16string init, description;
  EXPECT_EQ(DataLinkFile::Read(testing::TempDir(), init, description), kp::ado::kStgReadFault);
}

TEST(DataLinkFileFolder, IsThePathWithoutItsLastPart) {
  EXPECT_EQ(DataLinkFile::Folder("/data/sect/isoDB.udl"), "/data/sect");
  EXPECT_EQ(DataLinkFile::Folder("/isoDB.udl"), "/");
  EXPECT_EQ(DataLinkFile::Folder("isoDB.udl"), ".");
  EXPECT_EQ(DataLinkFile::Folder("C:\\links\\isoDB.udl"), "C:\\links");
  EXPECT_EQ(DataLinkFile::Folder("rel/dir/a.udl"), "rel/dir");
}

}  // namespace
