// COleDispatchDriver::InvokeHelper and CWnd's control calls against a small IDispatch written
// here, checking the documented IDispatch conventions and MFC's InvokeHelper rules: arguments
// in REVERSE order in DISPPARAMS, DISPID_PROPERTYPUT as the named argument of a put, by-ref
// longs written through, results converted to the requested type, DISP_E_EXCEPTION thrown as
// a heap COleDispatchException filled from EXCEPINFO, any other failure as a COleException.
#include <gtest/gtest.h>

#include <vector>

#include "afxdisp.h"

namespace {

constexpr DISPID kRecord = 1;      // method: records its arguments, answers their count as VT_I4
constexpr DISPID kByRef = 2;       // method(long*, long*): writes 11 and 22
constexpr DISPID kName = 3;        // property: BSTR
constexpr DISPID kFail = 4;        // method: DISP_E_EXCEPTION with EXCEPINFO
constexpr DISPID kMissing = 5;     // DISP_E_MEMBERNOTFOUND
constexpr DISPID kFlag = 6;        // property get: VT_BOOL true
constexpr DISPID kNumberText = 7;  // property get: BSTR "42" (converted by the caller)

class TinyDispatch : public IDispatch {
 public:
  ULONG refs = 1;
  std::vector<VARIANT> lastArgs;  // copies, in DISPPARAMS order
  std::vector<DISPID> lastNamed;
  WORD lastFlags = 0;
  std::u16string name = u"初始";

  ~TinyDispatch() { ClearArgs(); }
  void ClearArgs() {
    for (auto& v : lastArgs) VariantClear(&v);
    lastArgs.clear();
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }  // lives on the test's stack
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* info, UINT*) override {
    ClearArgs();
    lastFlags = flags;
    lastNamed.assign(params->rgdispidNamedArgs, params->rgdispidNamedArgs + params->cNamedArgs);
    for (UINT i = 0; i < params->cArgs; ++i) {
      VARIANT copy;
      VariantInit(&copy);
      VariantCopy(&copy, &params->rgvarg[i]);
      lastArgs.push_back(copy);
    }
    switch (id) {
      case kRecord:
        if (result) {
          result->vt = VT_I4;
          result->lVal = static_cast<LONG>(params->cArgs);
        }
        return S_OK;
      case kByRef:
        if (params->cArgs != 2 || params->rgvarg[0].vt != (VT_BYREF | VT_I4)) return DISP_E_TYPEMISMATCH;
        *params->rgvarg[1].plVal = 11;  // first argument
        *params->rgvarg[0].plVal = 22;
        return S_OK;
      case kName:
        if (flags & DISPATCH_PROPERTYPUT) {
          name.assign(params->rgvarg[0].bstrVal, SysStringLen(params->rgvarg[0].bstrVal));
          return S_OK;
        }
        result->vt = VT_BSTR;
        result->bstrVal = SysAllocStringLen(name.data(), static_cast<UINT>(name.size()));
        return S_OK;
      case kFail:
        info->wCode = 1001;
        info->scode = 0;
        info->bstrSource = SysAllocString(u"Tiny.Source");
        info->bstrDescription = SysAllocString(u"出错了");
        info->dwHelpContext = 7;
        return DISP_E_EXCEPTION;
      case kFlag:
        result->vt = VT_BOOL;
        result->boolVal = VARIANT_TRUE;
        return S_OK;
      case kNumberText:
        result->vt = VT_BSTR;
        result->bstrVal = SysAllocString(u"42");
        return S_OK;
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  }
};

TEST(InvokeHelperTest, ArgumentsArriveInReverseOrderWithTheirTypes) {
  TinyDispatch object;
  {
    COleDispatchDriver driver(&object, FALSE);
    static const BYTE params[] = VTS_I4 VTS_BSTR VTS_R8 VTS_BOOL VTS_I2;
    LONG count = static_cast<LONG>(0xdeadbeef);
    driver.InvokeHelper(kRecord, DISPATCH_METHOD, VT_I4, &count, params, LONG{7}, "地层", 2.5, TRUE,
                        short{-3});
    EXPECT_EQ(count, 5);
  }
  ASSERT_EQ(object.lastArgs.size(), 5u);
  EXPECT_EQ(object.lastArgs[4].vt, VT_I4);
  EXPECT_EQ(object.lastArgs[4].lVal, 7);
  EXPECT_EQ(object.lastArgs[3].vt, VT_BSTR);
  EXPECT_EQ(std::u16string(object.lastArgs[3].bstrVal), u"地层");  // GBK narrowed text, widened
  EXPECT_EQ(object.lastArgs[2].vt, VT_R8);
  EXPECT_EQ(object.lastArgs[2].dblVal, 2.5);
  EXPECT_EQ(object.lastArgs[1].vt, VT_BOOL);
  EXPECT_EQ(object.lastArgs[1].boolVal, VARIANT_TRUE);
  EXPECT_EQ(object.lastArgs[0].vt, VT_I2);
  EXPECT_EQ(object.lastArgs[0].iVal, -3);
  EXPECT_TRUE(object.lastNamed.empty());
  EXPECT_EQ(object.lastFlags, DISPATCH_METHOD);
  EXPECT_EQ(object.refs, 1u);  // the driver did not own the reference
}

TEST(InvokeHelperTest, ByRefLongsAreWrittenThrough) {
  TinyDispatch object;
  COleDispatchDriver driver(&object, FALSE);
  static const BYTE params[] = VTS_PI4 VTS_PI4;
  LONG code = static_cast<LONG>(0xdeadbeef), step = static_cast<LONG>(0xdeadbeef);
  driver.InvokeHelper(kByRef, DISPATCH_METHOD, VT_EMPTY, nullptr, params, &code, &step);
  EXPECT_EQ(code, 11);
  EXPECT_EQ(step, 22);
}

TEST(InvokeHelperTest, PropertyPutUsesTheNamedArgumentAndGetConvertsToCString) {
  TinyDispatch object;
  COleDispatchDriver driver(&object, FALSE);
  driver.SetProperty(kName, VT_BSTR, "第四系");
  EXPECT_EQ(object.lastFlags, DISPATCH_PROPERTYPUT);
  ASSERT_EQ(object.lastNamed.size(), 1u);
  EXPECT_EQ(object.lastNamed[0], DISPID_PROPERTYPUT);
  CString name = "sentinel";
  driver.GetProperty(kName, VT_BSTR, &name);
  EXPECT_STREQ(name, "第四系");
  EXPECT_EQ(object.lastFlags, DISPATCH_PROPERTYGET);
}

TEST(InvokeHelperTest, ResultsAreConvertedToTheRequestedType) {
  TinyDispatch object;
  COleDispatchDriver driver(&object, FALSE);
  BOOL flag = static_cast<BOOL>(0xdeadbeef);
  driver.GetProperty(kFlag, VT_BOOL, &flag);
  EXPECT_EQ(flag, TRUE);
  LONG number = 0;
  driver.GetProperty(kNumberText, VT_I4, &number);  // "42" -> 42 through VariantChangeType
  EXPECT_EQ(number, 42);
  VARIANT raw;
  VariantInit(&raw);
  driver.GetProperty(kNumberText, VT_VARIANT, &raw);  // VT_VARIANT: as the object answered
  EXPECT_EQ(raw.vt, VT_BSTR);
  VariantClear(&raw);
}

TEST(InvokeHelperTest, DispException) {
  TinyDispatch object;
  COleDispatchDriver driver(&object, FALSE);
  try {
    driver.InvokeHelper(kFail, DISPATCH_METHOD, VT_EMPTY, nullptr, nullptr);
    FAIL() << "no exception";
  } catch (COleDispatchException* e) {
    EXPECT_EQ(e->m_wCode, 1001);
    EXPECT_EQ(e->m_scError, 0);
    EXPECT_STREQ(e->m_strSource, "Tiny.Source");
    EXPECT_STREQ(e->m_strDescription, "出错了");
    EXPECT_EQ(e->m_dwHelpContext, 7u);
    char text[64];
    EXPECT_TRUE(e->GetErrorMessage(text, sizeof text));
    EXPECT_STREQ(text, "出错了");
    e->Delete();
  }
}

TEST(InvokeHelperTest, OtherFailuresThrowCOleExceptionWithTheScode) {
  TinyDispatch object;
  COleDispatchDriver driver(&object, FALSE);
  try {
    driver.InvokeHelper(kMissing, DISPATCH_METHOD, VT_EMPTY, nullptr, nullptr);
    FAIL() << "no exception";
  } catch (COleException* e) {
    EXPECT_EQ(e->m_sc, DISP_E_MEMBERNOTFOUND);
    char text[64];
    EXPECT_TRUE(e->GetErrorMessage(text, sizeof text));
    EXPECT_STREQ(text, "Member not found.");
    e->Delete();
  }
  COleDispatchDriver empty;
  try {
    empty.InvokeHelper(kRecord, DISPATCH_METHOD, VT_EMPTY, nullptr, nullptr);
    FAIL() << "no exception";
  } catch (COleException* e) {
    EXPECT_EQ(e->m_sc, E_POINTER);
    e->Delete();
  }
}

TEST(DispatchDriverTest, AttachDetachAndReleaseBalanceTheReferences) {
  TinyDispatch object;
  {
    COleDispatchDriver driver;
    object.AddRef();
    driver.AttachDispatch(&object);   // owns the reference it was given
    COleDispatchDriver copy(driver);  // shares with an AddRef
    EXPECT_EQ(object.refs, 3u);
    LPDISPATCH detached = copy.DetachDispatch();
    EXPECT_EQ(detached, &object);
    detached->Release();
  }
  EXPECT_EQ(object.refs, 1u);
}

TEST(DispatchDriverTest, CreateDispatchWithUnknownProgIdFails) {
  COleDispatchDriver driver;
  COleException error;
  EXPECT_FALSE(driver.CreateDispatch("No.Such.ProgID", &error));
  EXPECT_EQ(error.m_sc, CO_E_CLASSSTRING);
  EXPECT_EQ(driver.m_lpDispatch, nullptr);
}

TEST(CWndControlTest, InvokeHelperGoesToTheAttachedControl) {
  TinyDispatch object;
  {
    CWnd control;
    ASSERT_TRUE(control.AttachControl(nullptr, &object));
    EXPECT_EQ(object.refs, 2u);
    static const BYTE params[] = VTS_PI4 VTS_PI4;
    LONG a = 0, b = 0;
    control.InvokeHelper(kByRef, DISPATCH_METHOD, VT_EMPTY, nullptr, params, &a, &b);
    EXPECT_EQ(a, 11);
    EXPECT_EQ(b, 22);
    control.SetProperty(kName, VT_BSTR, "x");
    CString name;
    control.GetProperty(kName, VT_BSTR, &name);
    EXPECT_STREQ(name, "x");
  }
  EXPECT_EQ(object.refs, 1u);
  CWnd plain;
  try {
    plain.InvokeHelper(kRecord, DISPATCH_METHOD, VT_EMPTY, nullptr, nullptr);
    FAIL() << "no exception";
  } catch (COleException* e) {
    EXPECT_EQ(e->m_sc, E_NOINTERFACE);
    e->Delete();
  }
}

TEST(COleVariantTest, ConstructorsGiveTheDocumentedTypes) {
  EXPECT_EQ(COleVariant("地层").vt, VT_BSTR);
  EXPECT_EQ(std::u16string(COleVariant("地层").bstrVal), u"地层");
  COleVariant ansi("ab", VT_BSTRT);
  EXPECT_EQ(SysStringByteLen(ansi.bstrVal), 2u);
  EXPECT_EQ(COleVariant(LONG{5}).vt, VT_I4);
  EXPECT_EQ(COleVariant(LONG{1}, VT_BOOL).boolVal, VARIANT_TRUE);
  EXPECT_EQ(COleVariant(LONG{DISP_E_PARAMNOTFOUND}, VT_ERROR).vt, VT_ERROR);
  EXPECT_EQ(COleVariant(short{2}).vt, VT_I2);
  EXPECT_EQ(COleVariant(2.0, VT_DATE).vt, VT_DATE);
  EXPECT_EQ(COleVariant(COleCurrency(4, 5000)).cyVal.int64, 45000);
  COleVariant v(LONG{42});
  v.ChangeType(VT_BSTR);
  EXPECT_EQ(std::u16string(v.bstrVal), u"42");
  EXPECT_TRUE(v == COleVariant("42"));
  VARIANT out = v.Detach();
  EXPECT_EQ(v.vt, VT_EMPTY);
  VariantClear(&out);
  COleVariant text("x");
  try {
    text.ChangeType(VT_I4);
    FAIL() << "no exception";
  } catch (COleException* e) {
    EXPECT_EQ(e->m_sc, DISP_E_TYPEMISMATCH);
    e->Delete();
  }
}

}  // namespace
