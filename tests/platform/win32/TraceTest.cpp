// OutputDebugStringA/W and the trace sink: documented Windows behaviour is that the text reaches
// the debugger unchanged (no line break added); here the debugger is the sink.
#include <gtest/gtest.h>

#include <string>

#include "debugapi.h"

namespace {

void Collect(const char* text, void* ctx) {
  *static_cast<std::string*>(ctx) += text;
}

class Trace : public ::testing::Test {
 protected:
  void SetUp() override { kp::SetTraceSink(&Collect, &seen_); }
  void TearDown() override { kp::SetTraceSink(nullptr, nullptr); }
  std::string seen_;
};

TEST_F(Trace, NarrowTextReachesTheSinkUnchanged) {
  OutputDebugStringA("first ");
  OutputDebugStringA("\xB5\xDA\n");  // GBK passes through as bytes
  EXPECT_EQ(seen_, "first \xB5\xDA\n");
}

TEST_F(Trace, WideTextIsConvertedToGbk) {
  OutputDebugStringW(u"第A");
  EXPECT_EQ(seen_,
            "\xB5\xDA"
            "A");
}

TEST_F(Trace, NullTextIsIgnored) {
  OutputDebugStringA(nullptr);
  OutputDebugStringW(nullptr);
  EXPECT_EQ(seen_, "");
}

TEST_F(Trace, GetTraceSinkAnswersTheInstalledSink) {
  void* ctx = reinterpret_cast<void*>(0xdeadbeef);
  EXPECT_EQ(kp::GetTraceSink(&ctx), &Collect);
  EXPECT_EQ(ctx, &seen_);
  kp::SetTraceSink(nullptr, &seen_);
  EXPECT_EQ(kp::GetTraceSink(&ctx), nullptr);
  EXPECT_EQ(ctx, nullptr);
}

TEST(TraceDefault, WithoutSinkStderrGetsUtf8OnlyUnderKpTrace) {
  unsetenv("KP_TRACE");
  testing::internal::CaptureStderr();
  OutputDebugStringA("silent\n");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  setenv("KP_TRACE", "1", 1);
  testing::internal::CaptureStderr();
  OutputDebugStringA("\xB5\xDA\n");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "\xE7\xAC\xAC\n");  // UTF-8 of 第
  unsetenv("KP_TRACE");
}

}  // namespace
