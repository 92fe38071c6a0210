// Conformance tests of data-link (.udl) files: the Windows layout written by
// WriteStringToStorage (UTF-16LE BOM, CR LF, "[oledb]", the comment line), reading that layout
// and hand-edited variants, and the STG_E_* failures of LoadStringFromStorage. Hostile files
// (a device, a FIFO, malformed text, a huge file) must fail with a clear error naming the file;
// the ones that could hang or exhaust memory run under a watchdog (a child process or a thread
// with a deadline).
#include "DataLinkFile.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <future>
#include <thread>

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
  EXPECT_EQ(DataLinkFile::Read(Path("nosuch.udl"), init, description), STG_E_FILENOTFOUND);
  EXPECT_EQ(init, u"");
  EXPECT_NE(description.find(u"nosuch.udl"), std::u16string::npos);
  EXPECT_NE(description.find(u"not found"), std::u16string::npos);
}

TEST_F(DataLinkFileTest, FileWithoutHeaderOrInitStringIsStgInvalidHeader) {
  std::u16string init = u"sentinel", description;
  EXPECT_EQ(DataLinkFile::Read(WriteBytes("empty.udl", ""), init, description), STG_E_INVALIDHEADER);
  EXPECT_NE(description.find(u"empty.udl"), std::u16string::npos);
  EXPECT_EQ(DataLinkFile::Read(WriteBytes("noheader.udl", "Provider=SQLite\r\n"), init, description),
            STG_E_INVALIDHEADER);
  EXPECT_EQ(
      DataLinkFile::Read(
          WriteBytes("noinit.udl", "[oledb]\r\n; Everything after this line is an OLE DB initstring\r\n\r\n"),
          init, description),
      STG_E_INVALIDHEADER);
  EXPECT_EQ(init, u"");
  EXPECT_NE(description.find(u"no initialization string"), std::u16string::npos);
}

TEST_F(DataLinkFileTest, AFolderIsAReadFault) {
  std::u16string init, description;
  EXPECT_EQ(DataLinkFile::Read(testing::TempDir(), init, description), STG_E_READFAULT);
}

// Runs body in a child process and answers its exit status (100 when an exception escaped
// body); -1 when it did not end within seconds (the child is killed) and 128 + signal when a
// signal ended it. Outside the address
// sanitizer (whose shadow memory needs a large address space) the child's address space is
// capped, so that a reader that never stops allocating fails quickly instead of taking the
// machine's memory.
int RunInChild(const std::function<int()>& body, int seconds) {
  pid_t pid = fork();
  if (pid == 0) {
#ifndef __SANITIZE_ADDRESS__
    struct rlimit limit = {1u << 30, 1u << 30};
    setrlimit(RLIMIT_AS, &limit);
#endif
    int code = 100;  // an exception escaped body
    try {
      code = body();
    } catch (...) {
    }
    _exit(code);
  }
  if (pid < 0) return -2;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  for (;;) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid)
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

// Files that are not regular files (devices, FIFOs) are refused without reading: /dev/zero
// never ends, a FIFO without a writer blocks its reader. Both are STG_E_READFAULT, as a folder
// is, with a description naming the file.
TEST_F(DataLinkFileTest, ADeviceIsRefusedWithoutReadingIt) {
  int status = RunInChild(
      [] {
        std::u16string init = u"sentinel", description;
        HRESULT hr = DataLinkFile::Read("/dev/zero", init, description);
        if (hr != STG_E_READFAULT) return 1;
        if (!init.empty()) return 2;
        if (description != u"The data link file '/dev/zero' is not a regular file.") return 3;
        return 0;
      },
      20);
  EXPECT_EQ(status, 0) << "-1: still reading after 20 s; 100: an exception (bad_alloc)";
}

TEST_F(DataLinkFileTest, AFifoIsRefusedWithoutBlocking) {
  std::string p = Path("fifo.udl");
  ASSERT_EQ(mkfifo(p.c_str(), 0600), 0);
  created_.push_back(p);
  std::u16string init = u"sentinel", description;
  auto reading = std::async(std::launch::async, [&] { return DataLinkFile::Read(p, init, description); });
  if (reading.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
    // Release the blocked reader: a writer opens and closes the FIFO, the reader sees its end.
    int fd = open(p.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0) close(fd);
    reading.wait();
    FAIL() << "reading a FIFO blocked for 20 s";
  }
  EXPECT_EQ(reading.get(), STG_E_READFAULT);
  EXPECT_EQ(init, u"");
  EXPECT_NE(description.find(u"fifo.udl' is not a regular file."), std::u16string::npos);
}

std::string Utf16Le(std::u16string_view text) {
  std::string out = "\xFF\xFE";
  for (char16_t ch : text) {
    out += (char)(ch & 0xFF);
    out += (char)(ch >> 8);
  }
  return out;
}

struct MalformedCase {
  const char* what;
  std::string bytes;
  const char16_t* problem;  // the end of the description
};

void PrintTo(const MalformedCase& c, std::ostream* os) {
  *os << c.what;
}

class DataLinkMalformed : public DataLinkFileTest, public testing::WithParamInterface<MalformedCase> {};

// Text that does not decode is refused, never repaired (no dropped byte, no U+FFFD): the error
// is the one LoadStringFromStorage gives for a file that is not a data-link file,
// STG_E_INVALIDHEADER, and the description names the file and the fault.
TEST_P(DataLinkMalformed, IsAnInvalidHeaderNamingTheFileAndTheFault) {
  std::string p = WriteBytes("bad.udl", GetParam().bytes);
  std::u16string init = u"sentinel", description;
  EXPECT_EQ(DataLinkFile::Read(p, init, description), STG_E_INVALIDHEADER);
  EXPECT_EQ(init, u"");
  std::u16string expected = u"The data link file '" + std::u16string(p.begin(), p.end()) +
                            u"' is not valid text: " + GetParam().problem;
  EXPECT_EQ(description, expected);
}

const std::u16string kGood =
    u"[oledb]\r\n; Everything after this line is an OLE DB initstring\r\nProvider=SQLite";

INSTANTIATE_TEST_SUITE_P(
    Text, DataLinkMalformed,
    testing::Values(
        MalformedCase{"UTF-16LE with an odd trailing byte", Utf16Le(kGood) + "x",
                      u"UTF-16 text with an odd number of bytes."},
        MalformedCase{"UTF-16LE with a lone high surrogate", Utf16Le(kGood + u"\xD800;x=1"),
                      u"a lone UTF-16 surrogate at byte 158."},
        MalformedCase{"UTF-16LE ending with a high surrogate", Utf16Le(kGood + u"\xDBFF"),
                      u"a lone UTF-16 surrogate at byte 158."},
        MalformedCase{"UTF-16LE with a lone low surrogate", Utf16Le(u"[oledb]\r\n\xDC00"),
                      u"a lone UTF-16 surrogate at byte 20."},
        MalformedCase{"UTF-16BE with an odd trailing byte", std::string("\xFE\xFF\0[\0o", 6) + "\x01",
                      u"UTF-16 text with an odd number of bytes."},
        MalformedCase{"UTF-8 (BOM) with a broken sequence", "\xEF\xBB\xBF[oledb]\r\nProvider=\xE5\x9C",
                      u"invalid UTF-8 after the UTF-8 byte-order mark."},
        MalformedCase{"UTF-8 (BOM) with an encoded surrogate", "\xEF\xBB\xBF[oledb]\r\nx=\xED\xA0\x80",
                      u"invalid UTF-8 after the UTF-8 byte-order mark."},
        MalformedCase{"neither UTF-8 nor GBK", "[oledb]\r\nProvider=\xFF\xFF", u"neither UTF-8 nor GBK."},
        MalformedCase{"a NUL character", std::string("[oledb]\r\nProvider=SQLite\0;x=1", 27),
                      u"a NUL character."}),
    [](const testing::TestParamInfo<MalformedCase>& info) { return "case" + std::to_string(info.index); });

// A file larger than any data-link file (the limit is 1 MiB; real files hold a few hundred
// bytes) is refused before it is decoded; one just under the limit reads.
TEST_F(DataLinkFileTest, SizeIsLimited) {
  std::string header = "[oledb]\r\n; Everything after this line is an OLE DB initstring\r\n";
  std::string init = "Provider=SQLite;Data Source=a.db";
  std::string padding((1u << 20) - header.size() - init.size(), ' ');
  std::u16string text = u"sentinel", description;
  EXPECT_EQ(DataLinkFile::Read(WriteBytes("limit.udl", header + padding + init), text, description), S_OK)
      << std::string(description.begin(), description.end());
  EXPECT_EQ(text, u"Provider=SQLite;Data Source=a.db");

  std::string p = Path("huge.udl");
  created_.push_back(p);
  int fd = open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(ftruncate(fd, (off_t)16 << 20), 0);  // 16 MiB of zeros, sparse
  close(fd);
  EXPECT_EQ(DataLinkFile::Read(p, text, description), STG_E_INVALIDHEADER);
  EXPECT_EQ(text, u"");
  EXPECT_EQ(description, u"The data link file '" + std::u16string(p.begin(), p.end()) +
                             u"' is larger than 1048576 bytes; a data link file holds one line of text.");
}

TEST(DataLinkFileFolder, IsThePathWithoutItsLastPart) {
  EXPECT_EQ(DataLinkFile::Folder("/data/sect/isoDB.udl"), "/data/sect");
  EXPECT_EQ(DataLinkFile::Folder("/isoDB.udl"), "/");
  EXPECT_EQ(DataLinkFile::Folder("isoDB.udl"), ".");
  EXPECT_EQ(DataLinkFile::Folder("C:\\links\\isoDB.udl"), "C:\\links");
  EXPECT_EQ(DataLinkFile::Folder("rel/dir/a.udl"), "rel/dir");
}

}  // namespace
