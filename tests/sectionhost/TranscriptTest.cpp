// The transcript's line forms (docs/sectionhost.md, "Transcript").
#include "sectionhost/session/Transcript.h"

#include <gtest/gtest.h>

#include <sstream>

namespace sectionhost {
namespace {

TEST(Transcript, LinesAreUtf8WithTheirPrefixes) {
  std::ostringstream out;
  Transcript t(out);
  t.Echo("text y");
  t.CommandText("**\xB4\xB4\xBD\xA8**");  // GBK "创建"
  t.MessageBoxLine("App", "line one\nline\ttwo");
  t.Dialog("closed: OK");
  t.Error("no pick is in progress");
  EXPECT_EQ(out.str(),
            "> text y\n**创建**\n[message box] App: line one\\nline\\ttwo\n[dialog] closed: OK\n"
            "[error] no pick is in progress\n");
}

}  // namespace
}  // namespace sectionhost
