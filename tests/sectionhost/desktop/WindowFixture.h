// The window of sectionview on the sample section with the stratum plug-in, for the tests that
// drive it whole: a QApplication for the test program (made once, on the platform the
// environment names: offscreen under CTest, xcb under xvfb-run), a folder per test with a copy
// of examples/section.geojson, and helpers to find where things are drawn and what the batch
// host makes of the same session.
#pragma once
#include <gtest/gtest.h>

#include <QPoint>
#include <memory>
#include <string>

#include "sectionhost/desktop/MainWindow.h"

namespace sectionhost::testing_support {

class WindowFixture : public testing::Test {
 protected:
  static constexpr int kTimeoutMs = 30000;

  static void SetUpTestSuite();
  void SetUp() override;
  void TearDown() override;

  // Starts the window with `map` (a path; empty: none) and the plug-in `plugin` (default: the
  // stratum plug-in), config dir `configDir` (default: examples/). Skips the test when the
  // plug-in is not built.
  void Open(const std::string& map, const std::string& configDir = "", const std::string& plugin = "");
  // Where the map point (x, y) is drawn, in the map view's coordinates.
  QPoint At(double x, double y) const;
  // The map the batch host makes of the sample section with examples/build-stratum.txt.
  std::string BatchDemoMap();
  static std::string Read(const std::string& path);
  static std::string BinDir();
  static std::string Examples();

  std::string dir_;
  std::unique_ptr<MainWindow> window_;
};

}  // namespace sectionhost::testing_support
