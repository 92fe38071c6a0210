// CADOException, ThrowADOException and the layer's report and trace texts: the class error
// report template (HRESULT as 8 hex digits, the system message, source, description; empty
// fields for a COM error without error information) and the two trace styles.
#include <gtest/gtest.h>

#include <oleauto.h>

#include "ADOException.h"
#include "Ado2TestSupport.h"

namespace {

using ado2test::TraceCapture;

TEST(CADOException, IsADynamicClassDerivedFromCException) {
  CADOException e;
  EXPECT_STREQ(e.GetRuntimeClass()->m_lpszClassName, "CADOException");
  EXPECT_EQ(e.GetRuntimeClass()->m_pBaseClass, RUNTIME_CLASS(CException));
  EXPECT_TRUE(e.IsKindOf(RUNTIME_CLASS(CException)));
  EXPECT_TRUE(e.m_bAutoDelete);
  EXPECT_EQ(e.m_lErrorCode, 0);
  EXPECT_TRUE(e.m_strErrorText.IsEmpty());
}

TEST(CADOException, ThrowADOExceptionThrowsAHeapObjectWithBothValues) {
  try {
    ThrowADOException(-2147217900L, "bad statement");
    FAIL() << "nothing was thrown";
  } catch (CADOException* e) {
    EXPECT_EQ(e->m_lErrorCode, -2147217900L);
    EXPECT_STREQ((LPCTSTR)e->m_strErrorText, "bad statement");
    e->Delete();  // automatic deletion: the heap object goes
  }
}

// A COM error carrying error information with the given source and description.
_com_error ErrorWithInfo(HRESULT hr, const char16_t* source, const char16_t* description) {
  ICreateErrorInfo* create = nullptr;
  EXPECT_EQ(CreateErrorInfo(&create), S_OK);
  create->SetSource(const_cast<LPOLESTR>(source));
  create->SetDescription(const_cast<LPOLESTR>(description));
  IErrorInfo* info = nullptr;
  EXPECT_EQ(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)), S_OK);
  create->Release();
  return _com_error(hr, info);  // takes over the reference
}

TEST(ErrorReport, FormatsTheClassTemplateWithSourceAndDescription) {
  _com_error e = ErrorWithInfo((HRESULT)0x80040E14, u"Microsoft OLE DB Provider", u"语法错误");
  EXPECT_STREQ((LPCTSTR)ado2::FormatComErrorReport("CADODataBase", e),
               "CADODataBase Error\n\tCode = 80040e14\n\tCode meaning = IDispatch error #3092\n"
               "\tSource = Microsoft OLE DB Provider\n\tDescription = 语法错误\n");
}

TEST(ErrorReport, ErrorWithoutErrorInformationHasEmptySourceAndDescription) {
  _com_error e(E_FAIL);
  EXPECT_STREQ((LPCTSTR)ado2::FormatComErrorReport("CADOCommand", e),
               "CADOCommand Error\n\tCode = 80004005\n\tCode meaning = Unspecified error\n\tSource = \n"
               "\tDescription = \n");
}

TEST(ErrorReport, ShowsAnErrorBoxWithTheReportText) {
  ado2test::RecordedDesktop desktop;
  ado2::ShowComErrorReport("CADOParameter Error\n");
  ASSERT_EQ(desktop.Boxes().size(), 1u);
  EXPECT_EQ(desktop.Boxes()[0].text, "CADOParameter Error\n");
  EXPECT_EQ(desktop.Boxes()[0].type, (UINT)(MB_OK | MB_ICONERROR));
}

TEST(Traces, ShortStyleCarriesTheSystemMessage) {
  TraceCapture traces;
  ADO2_TRACE_SHORT("BeginTrans", _com_error(E_FAIL));
  EXPECT_EQ(traces.text(), ":( BeginTrans发生异常: Unspecified error\n");
}

TEST(Traces, LongStyleCarriesMessageFileAndLine) {
  TraceCapture traces;
  int line = __LINE__ + 1;
  ADO2_TRACE_METHOD("Execute", _com_error((HRESULT)0x80040E37));
  std::string expected =
      std::string("Warning: Execute 方法发生异常. 错误信息: IDispatch error #3127; 文件: ") + __FILE__ +
      "; 行: " + std::to_string(line) + "\n";
  EXPECT_EQ(traces.text(), expected);
}

TEST(Traces, UnknownFacilityCodeUsesTheUnknownErrorText) {
  EXPECT_STREQ((LPCTSTR)ado2::SystemMessage((HRESULT)0x800A0BCD), "Unknown error 0x800A0BCD");
}

}  // namespace
