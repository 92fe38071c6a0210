// The window on the sample section; see WindowFixture.h.
#include "WindowFixture.h"

#include <unistd.h>

#include <QApplication>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "sectionhost/desktop/MapView.h"

namespace sectionhost::testing_support {

void WindowFixture::SetUpTestSuite() {
  if (QApplication::instance()) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "test_sectionview";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);  // lives as long as the test program
}

std::string WindowFixture::BinDir() {
  char buffer[4096] = {};
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  std::string exe(buffer, n > 0 ? n : 0);
  return exe.substr(0, exe.rfind('/'));
}

std::string WindowFixture::Examples() {
  return std::string(KP_SOURCE_DIR) + "/examples";
}

std::string WindowFixture::Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void WindowFixture::SetUp() {
  std::string pattern = testing::TempDir() + "sectionview-XXXXXX";
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  dir_ = pattern + "/";
  std::filesystem::copy_file(Examples() + "/section.geojson", dir_ + "section.geojson");
}

void WindowFixture::TearDown() {
  window_.reset();
  std::filesystem::remove_all(dir_);
}

void WindowFixture::Open(const std::string& map, const std::string& configDir,
                         const std::string& pluginPath) {
  std::string plugin = pluginPath.empty() ? BinDir() + "/libkpSect03StratumSel.so" : pluginPath;
  if (access(plugin.c_str(), R_OK) != 0) GTEST_SKIP() << "the plug-in is not built";
  ViewOptions options;
  options.map = map;
  options.plugins = {plugin};
  options.configDir = configDir.empty() ? Examples() : configDir;
  window_ = std::make_unique<MainWindow>();
  std::string error;
  ASSERT_TRUE(window_->Start(options, &error)) << error;
  window_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  window_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  window_->View()->FitToSection();
}

QPoint WindowFixture::At(double x, double y) const {
  return window_->View()->View().ToScreen(x, y).toPoint();
}

std::string WindowFixture::BatchDemoMap() {
  std::string out = dir_ + "batch.geojson";
  std::string command = "cd '" + dir_ + "' && '" + BinDir() + "/sectionhost' --map '" + Examples() +
                        "/section.geojson' --script '" + Examples() + "/build-stratum.txt' --plugin '" +
                        BinDir() + "/libkpSect03StratumSel.so' --config-dir '" + Examples() + "' --out '" +
                        out + "' > transcript.txt 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0) << Read(dir_ + "transcript.txt");
  return Read(out);
}

}  // namespace sectionhost::testing_support
