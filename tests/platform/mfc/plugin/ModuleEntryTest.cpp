// The module entry (kpmfcdll) as a plug-in host sees it: load and unload order, module state
// switching with AFX_MANAGE_STATE, resource lookup in the current module, the module-name rule
// for the application name, and a real unload (dlopen with RTLD_NOLOAD answers null after
// dlclose, since the build keeps modules free of unique symbols).
#include <dlfcn.h>
#include <unistd.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <afxwin.h>

#include "../TraceCapture.h"
#include "kp/kpresource.h"

namespace {

const KpDialogTemplate kHostDialogs[] = {
    {12000, 0x0804, 0, 0, 0, 0, 100, 100, "host dialog", 9, "宋体", nullptr, 0},
};
const KpResourceTable kHostResources = {"test_mfc_module", kHostDialogs, 1, nullptr, 0};

// The plug-in beside the test executable. A full path, because a dlopen intercepted by the
// sanitizer runtime does not search the executable's RUNPATH.
std::string PluginPath() {
  char path[4096];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  std::string exe(path, n > 0 ? (size_t)n : 0);
  return exe.substr(0, exe.rfind('/') + 1) + "libkpMfcTestPlugin.so";
}
const std::string kPlugin = PluginPath();

// The "[plugin] ..." lines of a trace, in order.
std::vector<std::string> PluginLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    if (line.rfind("[plugin] ", 0) == 0) lines.push_back(line.substr(9));
    pos = end + 1;
  }
  return lines;
}

template <class F>
F Symbol(void* handle, const char* name) {
  return reinterpret_cast<F>(dlsym(handle, name));
}

TEST(ModuleEntry, HostHasItsOwnStateWithItsResources) {
  EXPECT_EQ(AfxGetModuleState(), AfxGetStaticModuleState());
  EXPECT_EQ(AfxGetModuleState()->m_bDLL, FALSE);
  EXPECT_EQ(AfxGetResourceTable(), &kHostResources);
  EXPECT_STREQ(AfxGetAppName(), "test_mfc_module");  // no CWinApp: the module name
}

// Load: state set up before the statics, statics in definition order, InitInstance after them,
// then the loader's state is current again. Unload: ExitInstance first (in the module's state),
// statics destroyed in reverse order (still in the module's state), previous state restored last.
TEST(ModuleEntry, LoadAndUnloadRunInTheDocumentedOrder) {
  AFX_MODULE_STATE* before = AfxGetModuleState();
  TraceCapture trace;
  void* h = dlopen(kPlugin.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(h, nullptr) << dlerror();
  EXPECT_EQ(AfxGetModuleState(), before);
  std::vector<std::string> load = PluginLines(trace.text());
  EXPECT_EQ(load, (std::vector<std::string>{"construct first state=plugin resources=own",
                                            "construct second state=plugin resources=own",
                                            "InitInstance app=kpMfcTestPlugin state=plugin"}));
  auto pluginState = Symbol<AFX_MODULE_STATE* (*)()>(h, "PluginStaticState");
  ASSERT_NE(pluginState, nullptr);
  AFX_MODULE_STATE* state = pluginState();
  EXPECT_NE(state, before);
  EXPECT_EQ(state->m_bDLL, TRUE);
  EXPECT_STREQ(state->m_szModuleName, "kpMfcTestPlugin");
  EXPECT_EQ(state->m_pCurrentWinApp, Symbol<CWinApp* (*)()>(h, "PluginTheApp")());

  trace.clear();
  ASSERT_EQ(dlclose(h), 0);
  EXPECT_EQ(AfxGetModuleState(), before);
  EXPECT_EQ(PluginLines(trace.text()),
            (std::vector<std::string>{"ExitInstance state=plugin", "destroy second state=plugin",
                                      "destroy first state=plugin"}));
  EXPECT_EQ(dlopen(kPlugin.c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr);
}

class LoadedPlugin : public ::testing::Test {
 protected:
  void SetUp() override {
    handle_ = dlopen(kPlugin.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle_, nullptr) << dlerror();
  }
  void TearDown() override {
    if (handle_ != nullptr) dlclose(handle_);
  }
  template <class F>
  F Get(const char* name) {
    F f = Symbol<F>(handle_, name);
    EXPECT_NE(f, nullptr) << name;
    return f;
  }
  void* handle_ = nullptr;
};

// AFX_MANAGE_STATE makes the plug-in's table current, so its dialog 12000 is found and not the
// host's dialog with the same id; without the switch the host's table answers.
TEST_F(LoadedPlugin, ManageStateSelectsThePluginResources) {
  auto caption = Get<const char* (*)(BOOL)>("PluginDialogCaption");
  EXPECT_STREQ(caption(TRUE), "plugin dialog");
  EXPECT_STREQ(caption(FALSE), "host dialog");
  EXPECT_EQ(AfxFindDialogTemplate(12000), &kHostDialogs[0]);
}

TEST_F(LoadedPlugin, LoadStringReadsTheCurrentModuleTable) {
  CString s;
  EXPECT_TRUE(Get<BOOL (*)(UINT, CString*)>("PluginLoadString")(100, &s));
  EXPECT_STREQ((LPCTSTR)s, "插件字符串");
  EXPECT_FALSE(Get<BOOL (*)(UINT, CString*)>("PluginLoadString")(101, &s));
  EXPECT_TRUE(s.IsEmpty());
  EXPECT_FALSE(s.LoadString(100));  // the host's table has no strings
}

// MFC takes the module file name without extension; here without "lib" and ".so" as well.
TEST_F(LoadedPlugin, AppNameIsTheModuleName) {
  EXPECT_STREQ(Get<const char* (*)()>("PluginAppName")(), "kpMfcTestPlugin");
  EXPECT_STREQ(AfxGetAppName(), "test_mfc_module");
}

TEST_F(LoadedPlugin, StateIsRestoredWhenAnExceptionLeavesTheScope) {
  AFX_MODULE_STATE* before = AfxGetModuleState();
  try {
    Get<void (*)()>("PluginThrowInsideState")();
    FAIL() << "no exception";
  } catch (CException* e) {
    EXPECT_TRUE(e->IsKindOf(RUNTIME_CLASS(CNotSupportedException)));
    e->Delete();
  }
  EXPECT_EQ(AfxGetModuleState(), before);
}

}  // namespace

KP_MODULE_RESOURCES(kHostResources)
