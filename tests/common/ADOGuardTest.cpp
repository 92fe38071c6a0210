// The layer's error guard (ADOGuard.h): the body's value when nothing is thrown, the report and
// the fallback on a _com_error, other exceptions through to the caller (or to the unknown
// handler of GuardedAll), and trace forms that write exactly what the trace macros write.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "ADOGuard.h"
#include "Ado2TestSupport.h"

namespace {

using ado2test::TraceCapture;

// What an ADO call throws on a failure.
[[noreturn]] void Fail(HRESULT hr) {
  throw _com_error(hr);
}

TEST(Guarded, AnswersTheBodysValueWithoutTrace) {
  TraceCapture traces;
  EXPECT_EQ(ado2::Guarded(ADO2_SHORT("GetState"), -1L, [] { return 7L; }), 7L);
  EXPECT_EQ(ado2::Guarded(ADO2_SHORT("GetName"), CString(), [] { return CString("dcmc"); }), "dcmc");
  EXPECT_EQ(traces.text(), "");
}

TEST(Guarded, ConvertsTheBodysValueToTheFallbacksType) {
  BOOL ok = ado2::Guarded(ADO2_SHORT("Cancel"), FALSE, [] { return SUCCEEDED(S_OK); });
  EXPECT_EQ(ok, TRUE);
}

TEST(Guarded, ShortFormTracesAndGivesTheFallback) {
  TraceCapture traces;
  long value = ado2::Guarded(ADO2_SHORT("BeginTrans"), -1L, []() -> long { Fail(E_FAIL); });
  EXPECT_EQ(value, -1L);
  EXPECT_EQ(traces.text(), ":( BeginTrans发生异常: Unspecified error\n");
}

TEST(Guarded, MethodFormTracesTheFileAndLineWhereTheGuardIsWritten) {
  TraceCapture traces;
  int line = __LINE__ + 1;
  ado2::TraceForm form = ADO2_METHOD("Execute");
  EXPECT_EQ(ado2::Guarded(form, FALSE, []() -> BOOL { Fail((HRESULT)0x80040E37); }), FALSE);
  std::string expected =
      std::string("Warning: Execute 方法发生异常. 错误信息: IDispatch error #3127; 文件: ") + __FILE__ +
      "; 行: " + std::to_string(line) + "\n";
  EXPECT_EQ(traces.text(), expected);
}

TEST(Guarded, FormsWriteWhatTheTraceMacrosWrite) {
  TraceCapture traces;
  _com_error error(E_INVALIDARG);
  ADO2_TRACE_SHORT("SetCacheSize方法", error);
  std::string byMacro = traces.text();
  traces.clear();
  ADO2_SHORT("SetCacheSize方法")(error);
  EXPECT_EQ(traces.text(), byMacro);
  traces.clear();
  ado2::TraceForm at = ADO2_AT("Warning: Load 发生异常. 错误信息: %s; 文件: %s; 行: %d\n");
  at(error);
  EXPECT_TRUE(ado2test::StartsWith(traces.text(),
                                   "Warning: Load 发生异常. 错误信息: The parameter is incorrect.; 文件: "));
}

TEST(Guarded, AnyCallableReportsAndSideEffectsOfTheBodyStay) {
  HRESULT seen = S_OK;
  int steps = 0;
  auto report = [&](_com_error& e) { seen = e.Error(); };
  BOOL ok = ado2::Guarded(report, FALSE, [&]() -> BOOL {
    ++steps;
    Fail(E_ACCESSDENIED);
  });
  EXPECT_EQ(ok, FALSE);
  EXPECT_EQ(seen, E_ACCESSDENIED);
  EXPECT_EQ(steps, 1);
}

TEST(Guarded, WithoutAValueOnlyReports) {
  TraceCapture traces;
  bool ran = false;
  ado2::Guarded(ADO2_SHORT("关闭数据库"), [&] { ran = true; });
  EXPECT_TRUE(ran);
  EXPECT_EQ(traces.text(), "");
  ado2::Guarded(ADO2_SHORT("关闭数据库"), [] { Fail(E_FAIL); });
  EXPECT_EQ(traces.text(), ":( 关闭数据库发生异常: Unspecified error\n");
}

TEST(Guarded, OtherExceptionsReachTheCaller) {
  TraceCapture traces;
  EXPECT_THROW(ado2::Guarded(ADO2_SHORT("GetFields"), -1, []() -> int { throw std::runtime_error("x"); }),
               std::runtime_error);
  EXPECT_EQ(traces.text(), "");
}

TEST(GuardedAll, UnknownExceptionsGoToTheirOwnHandler) {
  TraceCapture traces;
  int unknown = 0;
  auto onUnknown = [&] { ++unknown; };
  EXPECT_EQ(ado2::GuardedAll(ADO2_SHORT("连接数据库"), onUnknown, FALSE, []() -> BOOL { throw 42; }), FALSE);
  EXPECT_EQ(unknown, 1);
  EXPECT_EQ(traces.text(), "");
  EXPECT_EQ(ado2::GuardedAll(ADO2_SHORT("连接数据库"), onUnknown, FALSE, []() -> BOOL { Fail(E_FAIL); }),
            FALSE);
  EXPECT_EQ(unknown, 1);
  EXPECT_EQ(traces.text(), ":( 连接数据库发生异常: Unspecified error\n");
  EXPECT_EQ(ado2::GuardedAll(ADO2_SHORT("连接数据库"), onUnknown, FALSE, [] { return TRUE; }), TRUE);
}

}  // namespace
