// Conformance of the error-information functions: CreateErrorInfo's object answers both
// interfaces; SetErrorInfo/GetErrorInfo keep one object per thread and GetErrorInfo hands it
// over, answering S_FALSE and NULL when there is none.
#include <gtest/gtest.h>

#include <thread>

#include "oleauto.h"

namespace {

IErrorInfo* MakeError(const char16_t* source, const char16_t* description) {
  ICreateErrorInfo* create = nullptr;
  EXPECT_EQ(CreateErrorInfo(&create), S_OK);
  create->SetSource(const_cast<LPOLESTR>(source));
  create->SetDescription(const_cast<LPOLESTR>(description));
  IErrorInfo* info = nullptr;
  EXPECT_EQ(create->QueryInterface(IID_IErrorInfo, (void**)&info), S_OK);
  create->Release();
  return info;
}

TEST(ErrorInfo, RoundTripHandsTheObjectOverAndClearsTheSlot) {
  IErrorInfo* info = MakeError(u"ADODB.Connection", u"连接失败");
  ASSERT_EQ(SetErrorInfo(0, info), S_OK);
  EXPECT_EQ(info->Release(), 1u);  // the slot holds the other reference

  IErrorInfo* got = reinterpret_cast<IErrorInfo*>(0xdeadbeef);
  ASSERT_EQ(GetErrorInfo(0, &got), S_OK);
  EXPECT_EQ(got, info);
  BSTR source = nullptr, description = nullptr;
  EXPECT_EQ(got->GetSource(&source), S_OK);
  EXPECT_EQ(got->GetDescription(&description), S_OK);
  EXPECT_EQ(std::u16string(source), u"ADODB.Connection");
  EXPECT_EQ(std::u16string(description), u"连接失败");
  SysFreeString(source);
  SysFreeString(description);
  EXPECT_EQ(got->Release(), 0u);

  got = reinterpret_cast<IErrorInfo*>(0xdeadbeef);
  EXPECT_EQ(GetErrorInfo(0, &got), S_FALSE);
  EXPECT_EQ(got, nullptr);
}

TEST(ErrorInfo, SetNullClearsAndEachThreadHasItsOwnSlot) {
  IErrorInfo* info = MakeError(u"a", u"b");
  SetErrorInfo(0, info);
  std::thread([] {
    IErrorInfo* other = reinterpret_cast<IErrorInfo*>(0xdeadbeef);
    EXPECT_EQ(GetErrorInfo(0, &other), S_FALSE);
    EXPECT_EQ(other, nullptr);
  }).join();
  EXPECT_EQ(SetErrorInfo(0, nullptr), S_OK);
  EXPECT_EQ(info->Release(), 0u);  // the slot let go of its reference
}

TEST(ErrorInfo, ObjectAnswersBothInterfaces) {
  ICreateErrorInfo* create = nullptr;
  ASSERT_EQ(CreateErrorInfo(&create), S_OK);
  ISupportErrorInfo* none = reinterpret_cast<ISupportErrorInfo*>(0xdeadbeef);
  EXPECT_EQ(create->QueryInterface(IID_ISupportErrorInfo, (void**)&none), E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);
  IErrorInfo* info = nullptr;
  ASSERT_EQ(create->QueryInterface(IID_IErrorInfo, (void**)&info), S_OK);
  GUID g = IID_IDispatch;
  EXPECT_EQ(info->GetGUID(&g), S_OK);
  EXPECT_TRUE(IsEqualGUID(g, GUID_NULL));
  EXPECT_EQ(info->Release(), 1u);
  EXPECT_EQ(create->Release(), 0u);
}

}  // namespace
