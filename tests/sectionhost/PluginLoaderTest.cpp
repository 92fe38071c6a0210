// The plug-in loader: the 13 exports found by name, each missing one reported by name, an
// unloadable library reported with dlopen's reason, and the command's texts read at load.
#include "sectionhost/session/PluginLoader.h"

#include <gtest/gtest.h>

namespace sectionhost {
namespace {

TEST(PluginLoader, LoadsTheCompleteTestPluginAndReadsItsTexts) {
  std::vector<std::string> errors;
  auto plugin = Plugin::Load("./libsectionhost_testplugin_full.so", &errors);
  ASSERT_TRUE(plugin) << (errors.empty() ? "" : errors[0]);
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(plugin->CommandLineName(), "\xB2\xE2\xCA\xD4\xC3\xFC\xC1\xEE/tst");  // GBK "测试命令/tst"
  EXPECT_EQ(plugin->ToolBarName(), "");
  EXPECT_EQ(plugin->CommandType(), 2);
  EXPECT_EQ(plugin->Exports().GetBmp(), 0);
  EXPECT_TRUE(plugin->Matches("tst"));
  EXPECT_TRUE(plugin->Matches("\xB2\xE2\xCA\xD4\xC3\xFC\xC1\xEE(&T)"));  // the menu text
  EXPECT_TRUE(plugin->Matches("\xB2\xE2\xCA\xD4\xC3\xFC\xC1\xEE"));      // without "(&T)"
  EXPECT_FALSE(plugin->Matches("ts"));
  plugin->Unload();
  EXPECT_FALSE(plugin->Loaded());
  plugin->Unload();  // twice is harmless
}

TEST(PluginLoader, NamesEveryMissingExport) {
  std::vector<std::string> errors;
  auto plugin = Plugin::Load("./libsectionhost_testplugin_missing.so", &errors);
  EXPECT_FALSE(plugin);
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_EQ(errors[0], "./libsectionhost_testplugin_missing.so: missing export MouseStatus");
  EXPECT_EQ(errors[1], "./libsectionhost_testplugin_missing.so: missing export GetBmp");
}

TEST(PluginLoader, ReportsALibraryThatCannotBeLoaded) {
  std::vector<std::string> errors;
  EXPECT_FALSE(Plugin::Load("./no-such-plugin.so", &errors));
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find("./no-such-plugin.so: cannot load the plug-in"), std::string::npos);
}

TEST(PluginLoader, KnowsTheThirteenExportsInOrdinalOrder) {
  const auto& names = Plugin::ExportNames();
  ASSERT_EQ(names.size(), 13u);
  EXPECT_EQ(names.front(), "GetCommandName");
  EXPECT_EQ(names[5], "MouseStatus");
  EXPECT_EQ(names.back(), "GetCommandType");
}

}  // namespace
}  // namespace sectionhost
