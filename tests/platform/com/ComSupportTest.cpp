// Conformance of the compiler COM support classes with Microsoft's documentation: _com_error's
// texts and captured error object, _bstr_t's GBK conversions and value semantics, _variant_t's
// constructors and extractors (with this platform's LP64 rules), vtMissing and _com_ptr_t.
#include <gtest/gtest.h>

#include "TestObjects.h"

namespace {

using kptest::CLSID_TestCounter;

struct MessageRow {
  uint32_t hr;
  WORD wCode;
  const char* message;
};

void PrintTo(const MessageRow& r, std::ostream* os) {
  *os << std::hex << "0x" << r.hr;
}

class ComErrorMessage : public ::testing::TestWithParam<MessageRow> {};

TEST_P(ComErrorMessage, FollowsTheDocumentedRule) {
  const MessageRow& r = GetParam();
  _com_error e(static_cast<HRESULT>(r.hr));
  EXPECT_EQ(e.Error(), static_cast<HRESULT>(r.hr));
  EXPECT_EQ(e.WCode(), r.wCode);
  EXPECT_STREQ(e.ErrorMessage(), r.message);
}

INSTANTIATE_TEST_SUITE_P(WorkedExamples, ComErrorMessage,
                         ::testing::Values(MessageRow{0x80040E14, 3092, "IDispatch error #3092"},
                                           MessageRow{0x80040E00, 3072, "IDispatch error #3072"},
                                           MessageRow{0x80040E4D, 3149, "IDispatch error #3149"},
                                           MessageRow{0x80040154, 0, "Class not registered"},
                                           MessageRow{0x80004005, 0, "Unspecified error"},
                                           MessageRow{0x80020005, 0, "Type mismatch."},
                                           MessageRow{0x80070057, 0, "The parameter is incorrect."},
                                           MessageRow{0x800A0BCD, 0, "Unknown error 0x800A0BCD"}));

// An object that says it supports error information on every interface.
class ErrorSource : public kp::DispatchObject<ErrorSource>, public ISupportErrorInfo {
 public:
  static const kp::DispTable<ErrorSource>& Dispatch() {
    static const kp::DispTable<ErrorSource> table("Test.ErrorSource", {});
    return table;
  }
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    return DispatchObject::QueryInterface(riid, ppv);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return DispatchObject::AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return DispatchObject::Release(); }

 protected:
  void* QueryOther(REFIID riid) override {
    return riid == IID_ISupportErrorInfo ? static_cast<ISupportErrorInfo*>(this) : nullptr;
  }
};

TEST(ComError, IssueErrorExCapturesTheThreadsErrorObject) {
  ICreateErrorInfo* create = nullptr;
  ASSERT_EQ(CreateErrorInfo(&create), S_OK);
  create->SetSource(const_cast<LPOLESTR>(u"Provider"));
  create->SetDescription(const_cast<LPOLESTR>(u"表不存在"));
  IErrorInfo* info = nullptr;
  create->QueryInterface(IID_IErrorInfo, (void**)&info);
  create->Release();
  SetErrorInfo(0, info);
  info->Release();

  ErrorSource* source = new ErrorSource;
  try {
    _com_issue_errorex(static_cast<HRESULT>(0x80040E37), static_cast<IDispatch*>(source), IID_IDispatch);
    FAIL() << "no exception";
  } catch (const _com_error& e) {
    EXPECT_EQ(e.Error(), static_cast<HRESULT>(0x80040E37));
    EXPECT_STREQ(static_cast<const char*>(e.Source()), "Provider");
    EXPECT_EQ(e.Description(), _bstr_t(u"表不存在"));
    EXPECT_STREQ(static_cast<const char*>(e.Description()), "表不存在");  // GBK, this file's narrow charset
    _com_error copy = e;
    IErrorInfo* captured = copy.ErrorInfo();
    ASSERT_NE(captured, nullptr);
    captured->Release();
  }
  IErrorInfo* left = reinterpret_cast<IErrorInfo*>(0xdeadbeef);
  EXPECT_EQ(GetErrorInfo(0, &left), S_FALSE);  // handed over to the exception
  EXPECT_EQ(static_cast<IDispatch*>(source)->Release(), 0u);
}

TEST(ComError, WithoutErrorObjectSourceAndDescriptionAreEmpty) {
  try {
    _com_issue_error(E_FAIL);
  } catch (const _com_error& e) {
    EXPECT_EQ(e.Description().length(), 0u);
    EXPECT_EQ(static_cast<const char*>(e.Source()), nullptr);
    EXPECT_EQ(e.ErrorInfo(), nullptr);
  }
}

TEST(BstrT, GbkTextRoundTripsThroughUtf16) {
  _bstr_t s("第四系");  // GBK bytes: this test is compiled with the GBK execution charset
  EXPECT_EQ(s.length(), 3u);
  EXPECT_EQ(std::u16string(static_cast<const OLECHAR*>(s)), u"第四系");
  EXPECT_STREQ(static_cast<const char*>(s), "第四系");
  EXPECT_EQ(std::strlen(static_cast<const char*>(s)), 6u);
}

TEST(BstrT, ValueSemanticsConcatenationAndComparison) {
  _bstr_t a("abc");
  _bstr_t b = a;  // shares the text
  EXPECT_EQ(static_cast<const OLECHAR*>(a), static_cast<const OLECHAR*>(b));
  b += "def";
  EXPECT_EQ(a, _bstr_t("abc"));
  EXPECT_STREQ(static_cast<const char*>(b), "abcdef");
  EXPECT_TRUE(a < b);
  EXPECT_TRUE(a == "abc");
  EXPECT_TRUE(_bstr_t() == _bstr_t(""));  // null and empty are equal
  EXPECT_TRUE(!_bstr_t());
  EXPECT_EQ(static_cast<const char*>(_bstr_t()), nullptr);
  _bstr_t c = "x" + a;
  EXPECT_STREQ(static_cast<const char*>(c), "xabc");
}

TEST(BstrT, AttachDetachCopyAndAddress) {
  _bstr_t s;
  s.Attach(SysAllocString(u"owned"));
  BSTR copy = s.copy();
  EXPECT_NE(copy, static_cast<const OLECHAR*>(s));
  SysFreeString(copy);
  BSTR detached = s.Detach();
  EXPECT_EQ(s.length(), 0u);
  EXPECT_EQ(std::u16string(detached), u"owned");
  SysFreeString(detached);
  *s.GetAddress() = SysAllocString(u"filled");
  EXPECT_STREQ(static_cast<const char*>(s), "filled");
  s.Assign(const_cast<BSTR>(static_cast<const OLECHAR*>(_bstr_t("again"))));
  EXPECT_STREQ(static_cast<const char*>(s), "again");
}

TEST(VariantT, IntegerConstructorsFollowThePlatformSizes) {
  EXPECT_EQ(_variant_t(5).vt, VT_I4);
  EXPECT_EQ(_variant_t(5L).vt, VT_I4);
  EXPECT_EQ(_variant_t(5000000000L).vt, VT_I8);
  EXPECT_EQ(_variant_t(LONG(-1)).vt, VT_I4);
  EXPECT_EQ(_variant_t(DWORD(1)).vt, VT_UI4);
  EXPECT_EQ(_variant_t(5LL).vt, VT_I8);
  EXPECT_EQ(_variant_t(short(1)).vt, VT_I2);
  EXPECT_EQ(_variant_t(BYTE(1)).vt, VT_UI1);
  EXPECT_EQ(_variant_t(true).boolVal, VARIANT_TRUE);
  EXPECT_EQ(_variant_t(2.0, VT_DATE).vt, VT_DATE);
  EXPECT_EQ(_variant_t(E_FAIL, VT_ERROR).scode, E_FAIL);
  EXPECT_THROW(_variant_t(1.0, VT_I4), _com_error);
  EXPECT_EQ(static_cast<long>(_variant_t(5000000000L)), 5000000000L);
  EXPECT_EQ(static_cast<long>(_variant_t("-12")), -12L);
}

TEST(VariantT, ExtractorsConvertAndThrow) {
  _variant_t v("2.5");
  EXPECT_EQ(static_cast<double>(v), 2.5);
  EXPECT_EQ(static_cast<int>(v), 2);  // banker's rounding
  EXPECT_STREQ(static_cast<const char*>(static_cast<_bstr_t>(_variant_t(1.5))), "1.5");
  _variant_t null;
  null.vt = VT_NULL;
  try {
    _bstr_t text = null;
    FAIL() << "no exception";
  } catch (const _com_error& e) {
    EXPECT_EQ(e.Error(), DISP_E_TYPEMISMATCH);
  }
  EXPECT_THROW(static_cast<BYTE>(_variant_t(300)), _com_error);
  _variant_t s;
  s.SetString("文本");
  EXPECT_EQ(s.vt, VT_BSTR);
  EXPECT_EQ(SysStringLen(s.bstrVal), 2u);
  s.ChangeType(VT_BSTR);
  s = 7;
  EXPECT_EQ(s.vt, VT_I4);
  VARIANT raw = s.Detach();
  EXPECT_EQ(s.vt, VT_EMPTY);
  _variant_t back;
  back.Attach(raw);
  EXPECT_EQ(back, _variant_t(7));
  EXPECT_NE(back, _variant_t(7.0));
}

TEST(VariantT, MissingIsParamNotFound) {
  EXPECT_EQ(vtMissing.vt, VT_ERROR);
  EXPECT_EQ(vtMissing.scode, DISP_E_PARAMNOTFOUND);
}

[[gnu::noinline]] void CallThrough(const IDispatchPtr& p) {
  p->AddRef();
}

class ComPtr : public ::testing::Test {
 protected:
  void SetUp() override {
    KpRegisterClass(CLSID_TestCounter, u"Test.Counter", kptest::CreateCounter);
    CoInitialize(nullptr);
  }
  void TearDown() override {
    CoUninitialize();
    KpRevokeClass(CLSID_TestCounter);
    EXPECT_EQ(kptest::Counter::live, 0);
  }
};

TEST_F(ComPtr, CreateInstanceByClsidAndProgIdText) {
  IDispatchPtr a;
  EXPECT_EQ(a.CreateInstance(CLSID_TestCounter), S_OK);
  IDispatchPtr b;
  EXPECT_EQ(b.CreateInstance("Test.Counter"), S_OK);
  IDispatchPtr c;
  EXPECT_EQ(c.CreateInstance(u"TEST.COUNTER"), S_OK);
  IDispatchPtr d;
  EXPECT_EQ(d.CreateInstance("No.Such"), CO_E_CLASSSTRING);
  EXPECT_TRUE(d == nullptr);
  EXPECT_TRUE(d == NULL);
  EXPECT_FALSE(a == b);
  EXPECT_EQ(kptest::Counter::live, 3);
  EXPECT_THROW(IDispatchPtr("No.Such"), _com_error);
}

TEST_F(ComPtr, QueryOnConstructionAttachDetachAndNullUse) {
  IDispatchPtr disp("Test.Counter");
  IUnknownPtr unk(disp);  // QueryInterface
  ASSERT_TRUE(unk);
  EXPECT_TRUE(unk == disp);  // same object by IUnknown identity
  IErrorInfoPtr none(disp);
  EXPECT_FALSE(none);
  IDispatch* raw = disp.Detach();
  EXPECT_TRUE(!disp);
  disp.Attach(raw);
  unk = nullptr;
  IDispatchPtr empty = NULL;
  try {
    CallThrough(empty);
    FAIL() << "no exception";
  } catch (const _com_error& e) {
    EXPECT_EQ(e.Error(), E_POINTER);
  }
  EXPECT_THROW(empty.Release(), _com_error);
  _variant_t held(static_cast<IDispatch*>(disp));
  IDispatchPtr fromVariant(held);
  EXPECT_TRUE(fromVariant == disp);
}

}  // namespace
