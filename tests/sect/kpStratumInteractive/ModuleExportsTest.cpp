// The plug-in as a loaded library, in process: its dynamic symbol table holds exactly the
// thirteen exports; the text exports fill the host's buffer with the exact GBK bytes and nothing
// past the NUL; the constant exports answer the same on every call; the application object
// exists; loading initialises COM on the loading thread (the module's one database connection
// does) and unloading uninitialises it and really unloads the library.
//
// Compiled with GBK narrow literals, so the expected texts below are the GBK bytes.
#include <dlfcn.h>
#include <elf.h>
#include <gtest/gtest.h>
#include <kp/kpado.h>
#include <objbase.h>

#include <afxwin.h>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <thread>

#include "HostSession.h"

namespace stratumtest {
namespace {

const std::string kModule = "libkpSect03StratumSel.so";

// ADO's Connection class, which the module's connection object creates and kpado registers.
const CLSID kConnectionClass = {0x00000514, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};

// The names of the symbols a shared library defines in its dynamic symbol table (64-bit ELF).
std::set<std::string> DefinedDynamicSymbols(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::set<std::string> names;
  if (image.size() < sizeof(Elf64_Ehdr)) return names;
  const auto* header = reinterpret_cast<const Elf64_Ehdr*>(image.data());
  const auto* sections = reinterpret_cast<const Elf64_Shdr*>(image.data() + header->e_shoff);
  for (int i = 0; i < header->e_shnum; ++i) {
    if (sections[i].sh_type != SHT_DYNSYM) continue;
    const char* strings = image.data() + sections[sections[i].sh_link].sh_offset;
    const auto* symbols = reinterpret_cast<const Elf64_Sym*>(image.data() + sections[i].sh_offset);
    for (size_t s = 0; s < sections[i].sh_size / sizeof(Elf64_Sym); ++s) {
      if (symbols[s].st_shndx == SHN_UNDEF || symbols[s].st_name == 0) continue;
      if (ELF64_ST_TYPE(symbols[s].st_info) == STT_SECTION) continue;
      names.insert(strings + symbols[s].st_name);
    }
  }
  return names;
}

TEST(ModuleSymbols, TheDynamicSymbolTableHoldsExactlyTheThirteenExports) {
  const std::set<std::string> expected = {
      "GetCommandName", "LaunchCommand",           "AttachVoMap",   "SetVoAction", "SetVoStatus",
      "MouseStatus",    "GetCommandTranslateName", "GetGroupName",  "GetTheApp",   "SetVoUserCmdID",
      "GetBmp",         "GetToolBarName",          "GetCommandType"};
  EXPECT_EQ(DefinedDynamicSymbols(HostSession::BinDir() + kModule), expected);
}

class LoadedModule : public testing::Test {
 protected:
  void SetUp() override {
    handle_ = dlopen((HostSession::BinDir() + kModule).c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle_, nullptr) << dlerror();
  }
  void TearDown() override {
    if (handle_ != nullptr) dlclose(handle_);
  }
  template <typename F>
  F Get(const char* name) {
    void* symbol = dlsym(handle_, name);
    EXPECT_NE(symbol, nullptr) << name;
    return reinterpret_cast<F>(symbol);
  }
  // Calls a text export on a buffer of 0xCC bytes and answers the buffer.
  std::string Text(const char* name) {
    std::memset(buffer_, 0xCC, sizeof buffer_);
    Get<void (*)(char*)>(name)(buffer_);
    return std::string(buffer_, sizeof buffer_);
  }

  void* handle_ = nullptr;
  char buffer_[40];
};

// Each text is NUL-terminated GBK and nothing after its NUL is touched; the longest is 26 bytes.
TEST_F(LoadedModule, TheTextExportsWriteTheExactGbkBytes) {
  struct {
    const char* exportName;
    const char* text;
  } const cases[] = {{"GetCommandName", "选择顶底板生成剖面地层(&I)"},
                     {"GetCommandTranslateName", "选择顶底板生成剖面地层/dsi"},
                     {"GetGroupName", "剖面图(&T)"},
                     {"GetToolBarName", ""}};
  for (const auto& c : cases) {
    std::string expected = std::string(c.text) + '\0';
    expected += std::string(sizeof buffer_ - expected.size(), '\xCC');
    EXPECT_EQ(Text(c.exportName), expected) << c.exportName;
  }
  EXPECT_EQ(std::strlen("选择顶底板生成剖面地层(&I)"), 26u);  // the literal really is GBK
}

TEST_F(LoadedModule, GetBmpIsZeroAndGetCommandTypeIsTwoOnEveryCall) {
  auto getBmp = Get<int (*)()>("GetBmp");
  auto getType = Get<int (*)()>("GetCommandType");
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(getBmp(), 0);
    EXPECT_EQ(getType(), 2);
    Get<void (*)(int)>("SetVoStatus")(1001 + i);
    Text("GetCommandName");
  }
}

// The application object is a CWinApp that took its name from the module file.
TEST_F(LoadedModule, GetTheAppAnswersTheModulesApplicationObject) {
  CWinApp* app = Get<CWinApp* (*)()>("GetTheApp")();
  ASSERT_NE(app, nullptr);
  EXPECT_TRUE(app->IsKindOf(RUNTIME_CLASS(CWinApp)));
  EXPECT_EQ(app, Get<CWinApp* (*)()>("GetTheApp")());
  EXPECT_STREQ(app->m_pszAppName, "kpSect03StratumSel");
}

// dlclose with -fno-gnu-unique really unloads: the library is no longer mapped afterwards.
TEST_F(LoadedModule, UnloadingReallyUnloads) {
  const std::string path = HostSession::BinDir() + kModule;
  void* again = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  EXPECT_EQ(again, handle_);
  dlclose(again);
  ASSERT_EQ(dlclose(handle_), 0);
  handle_ = nullptr;
  EXPECT_EQ(dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr);
}

// Loading the module initialises COM on the loading thread (CoCreateInstance then works without
// a CoInitialize of the thread's own); unloading balances it (CO_E_NOTINITIALIZED again).
TEST(ModuleCom, LoadingInitialisesComOnTheLoadingThreadAndUnloadingEndsIt) {
  KpAdoSetFault(0);  // keeps kpado, which registers the Connection class, loaded for the test
  std::thread fresh([] {
    IUnknown* object = reinterpret_cast<IUnknown*>(0xdeadbeef);
    EXPECT_EQ(CoCreateInstance(kConnectionClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&object)),
              CO_E_NOTINITIALIZED);
    EXPECT_EQ(object, nullptr);

    void* module = dlopen((HostSession::BinDir() + kModule).c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    object = reinterpret_cast<IUnknown*>(0xdeadbeef);
    ASSERT_EQ(CoCreateInstance(kConnectionClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&object)),
              S_OK);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->Release(), 0u);

    ASSERT_EQ(dlclose(module), 0);
    object = reinterpret_cast<IUnknown*>(0xdeadbeef);
    EXPECT_EQ(CoCreateInstance(kConnectionClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&object)),
              CO_E_NOTINITIALIZED);
    EXPECT_EQ(object, nullptr);
  });
  fresh.join();
}

}  // namespace
}  // namespace stratumtest
