// Tests of the base library's configuration directory: what the host sets, kept as given
// with a '/' appended, and the default from KP_CONFIG_DIR or "./".
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "host/kpBase.h"

namespace {

std::string Directory() {
  CString directory("sentinel");
  GetConfigDirectory(directory);
  return std::string(static_cast<LPCSTR>(directory));
}

class KpBaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    KpBaseSetConfigDirectory(nullptr);
    unsetenv("KP_CONFIG_DIR");
  }
  void TearDown() override { SetUp(); }
};

TEST_F(KpBaseTest, DefaultIsTheCurrentDirectory) {
  EXPECT_EQ(Directory(), "./");
}

TEST_F(KpBaseTest, DefaultComesFromTheEnvironmentWhenSet) {
  setenv("KP_CONFIG_DIR", "/etc/kp", 1);
  EXPECT_EQ(Directory(), "/etc/kp/");
  setenv("KP_CONFIG_DIR", "", 1);  // empty counts as not set
  EXPECT_EQ(Directory(), "./");
}

TEST_F(KpBaseTest, TheHostsDirectoryIsKeptAsGivenWithASeparator) {
  setenv("KP_CONFIG_DIR", "/etc/kp", 1);
  KpBaseSetConfigDirectory("data/../conf");
  EXPECT_EQ(Directory(), "data/../conf/");  // not resolved
  KpBaseSetConfigDirectory("/srv/maps/");
  EXPECT_EQ(Directory(), "/srv/maps/");  // no second separator
  KpBaseSetConfigDirectory("");
  EXPECT_EQ(Directory(), "/etc/kp/");  // empty returns to the default
}

}  // namespace
