// Conformance of the table-driven IDispatch (kpdispatch.h) with Windows' standard dispatch:
// names match case-insensitively, arguments arrive in reverse order and are coerced to their
// declared types, and the documented HRESULTs come back for wrong flags, counts, named
// arguments, types and handler errors (DISP_E_EXCEPTION with EXCEPINFO).
#include <gtest/gtest.h>

#include "TestObjects.h"

namespace {

using kptest::Counter;

class Dispatch : public ::testing::Test {
 protected:
  void SetUp() override { object_ = new Counter; }
  void TearDown() override {
    EXPECT_EQ(object_->Release(), 0u);
    EXPECT_EQ(Counter::live, 0);
  }
  HRESULT Call(DISPID id, WORD flags, std::vector<VARIANT> reversed, VARIANT* result = nullptr,
               EXCEPINFO* info = nullptr, UINT* argErr = nullptr, DISPID* named = nullptr,
               UINT namedCount = 0) {
    DISPPARAMS params{reversed.data(), named, static_cast<UINT>(reversed.size()), namedCount};
    return object_->Invoke(id, IID_NULL, 0, flags, &params, result, info, argErr);
  }
  static VARIANT Text(const char16_t* s) {
    VARIANT v;
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(s);
    return v;
  }
  static VARIANT Long(LONG x) {
    VARIANT v;
    v.vt = VT_I4;
    v.lVal = x;
    return v;
  }
  Counter* object_ = nullptr;
};

TEST_F(Dispatch, NamesMatchCaseInsensitively) {
  LPOLESTR name = const_cast<LPOLESTR>(u"aDD");
  DISPID id = 0x7777;
  EXPECT_EQ(object_->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
  EXPECT_EQ(id, 1);
  name = const_cast<LPOLESTR>(u"Nope");
  EXPECT_EQ(object_->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(id, DISPID_UNKNOWN);
}

TEST_F(Dispatch, ArgumentsArriveReversedAndAreCoerced) {
  object_->value_ = 100;
  VARIANT text = Text(u"5");
  // Add(a, b, c) is called with a = "5" (coerced to VT_I4), b = 3 (coerced to VT_BSTR), c = "0.5".
  VARIANT c = Text(u"0.5");
  VARIANT result;
  VariantInit(&result);
  ASSERT_EQ(Call(1, DISPATCH_METHOD, {c, Long(3), text}, &result), S_OK);
  EXPECT_EQ(object_->last_, "5,3,0.500000");
  EXPECT_EQ(result.vt, VT_I4);
  EXPECT_EQ(result.lVal, 105);
  // The optional third argument may be left out or passed as missing.
  ASSERT_EQ(Call(1, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {Long(3), Long(1)}), S_OK);
  EXPECT_EQ(object_->last_, "1,3,missing");
  VARIANT missing;
  missing.vt = VT_ERROR;
  missing.scode = DISP_E_PARAMNOTFOUND;
  ASSERT_EQ(Call(1, DISPATCH_METHOD, {missing, Long(3), Long(2)}), S_OK);
  EXPECT_EQ(object_->last_, "2,3,missing");
  VariantClear(&text);
  VariantClear(&c);
}

TEST_F(Dispatch, DocumentedFailures) {
  UINT argErr = 0xdead;
  VARIANT bad = Text(u"x");
  EXPECT_EQ(Call(1, DISPATCH_METHOD, {Long(1), bad}, nullptr, nullptr, &argErr), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argErr, 1u);  // rgvarg index of the first argument
  VariantClear(&bad);
  EXPECT_EQ(Call(1, DISPATCH_METHOD, {Long(1)}), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Call(1, DISPATCH_METHOD, {Long(1), Long(1), Long(1), Long(1)}), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Call(99, DISPATCH_METHOD, {}), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(Call(2, DISPATCH_PROPERTYGET, {}), DISP_E_MEMBERNOTFOUND);  // a method, not a property
  DISPID named = 0;
  EXPECT_EQ(Call(1, DISPATCH_METHOD, {Long(1), Long(1)}, nullptr, nullptr, nullptr, &named, 1),
            DISP_E_NONAMEDARGS);
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  EXPECT_EQ(object_->Invoke(2, IID_IDispatch, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
            DISP_E_UNKNOWNINTERFACE);
  argErr = 0xdead;
  EXPECT_EQ(Call(1, DISPATCH_METHOD, {Long(1), Long(1), Long(70000)}, nullptr, nullptr, &argErr), S_OK);
}

TEST_F(Dispatch, PropertyPutNeedsTheNamedValue) {
  DISPID put = DISPID_PROPERTYPUT;
  ASSERT_EQ(Call(0, DISPATCH_PROPERTYPUT, {Long(41)}, nullptr, nullptr, nullptr, &put, 1), S_OK);
  VARIANT result;
  VariantInit(&result);
  ASSERT_EQ(Call(0, DISPATCH_PROPERTYGET, {}, &result), S_OK);
  EXPECT_EQ(result.lVal, 41);
  EXPECT_EQ(Call(0, DISPATCH_PROPERTYPUT, {Long(1)}), DISP_E_PARAMNOTFOUND);
}

TEST_F(Dispatch, RaisedErrorsFillExcepInfo) {
  EXCEPINFO info;
  std::memset(&info, 0xEE, sizeof info);
  ASSERT_EQ(Call(2, DISPATCH_METHOD, {}, nullptr, &info), DISP_E_EXCEPTION);
  EXPECT_EQ(info.scode, E_INVALIDARG);
  EXPECT_EQ(std::u16string(info.bstrSource), u"Test.Counter");
  EXPECT_EQ(std::u16string(info.bstrDescription), u"bad value");
  SysFreeString(info.bstrSource);
  SysFreeString(info.bstrDescription);
  // A _com_error thrown by a handler becomes DISP_E_EXCEPTION too.
  ASSERT_EQ(Call(3, DISPATCH_METHOD, {}, nullptr, &info), DISP_E_EXCEPTION);
  EXPECT_EQ(info.scode, E_POINTER);
  EXPECT_EQ(std::u16string(info.bstrDescription), u"Invalid pointer");
  SysFreeString(info.bstrSource);
  SysFreeString(info.bstrDescription);
}

TEST_F(Dispatch, ByRefArgumentsArePassedThrough) {
  LONG a = 0, b = 0;
  VARIANT ra, rb;
  ra.vt = rb.vt = VT_BYREF | VT_I4;
  ra.plVal = &a;
  rb.plVal = &b;
  ASSERT_EQ(Call(4, DISPATCH_METHOD, {rb, ra}), S_OK);
  EXPECT_EQ(a, 7);
  EXPECT_EQ(b, 8);
  UINT argErr = 0xdead;
  EXPECT_EQ(Call(4, DISPATCH_METHOD, {rb, Long(1)}, nullptr, nullptr, &argErr), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argErr, 1u);
}

TEST_F(Dispatch, SmartPointerCallsThroughInvoke) {
  IDispatchPtr disp(static_cast<IDispatch*>(object_));
  UINT count = 5;
  EXPECT_EQ(disp->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 0u);
}

}  // namespace
