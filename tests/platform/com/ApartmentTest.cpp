// Conformance of COM initialisation and activation: per-thread apartment counting,
// CoCreateInstance's documented failures, the class registry, ProgIDs and GUID text.
#include <gtest/gtest.h>

#include <thread>

#include "TestObjects.h"

namespace {

using kptest::CLSID_TestCounter;

DEFINE_GUID(CLSID_Unknown, 0x12345678, 0x1234, 0x1234, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0);

class Registered : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(KpRegisterClass(CLSID_TestCounter, u"Test.Counter", kptest::CreateCounter), S_OK);
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
  }
  void TearDown() override {
    CoUninitialize();
    KpRevokeClass(CLSID_TestCounter);
    EXPECT_EQ(kptest::Counter::live, 0);
  }
};

TEST(Apartment, FirstInitialiseIsSOkThenSFalseAndEachIsBalanced) {
  std::thread([] {
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
    CoUninitialize();
    CoUninitialize();
    IUnknown* unk = reinterpret_cast<IUnknown*>(0xdeadbeef);
    // Still initialised once: activation reaches the registry.
    EXPECT_EQ(CoCreateInstance(CLSID_Unknown, nullptr, CLSCTX_ALL, IID_IUnknown, (void**)&unk),
              REGDB_E_CLASSNOTREG);
    CoUninitialize();
    EXPECT_EQ(CoCreateInstance(CLSID_Unknown, nullptr, CLSCTX_ALL, IID_IUnknown, (void**)&unk),
              CO_E_NOTINITIALIZED);
    EXPECT_EQ(unk, nullptr);
    EXPECT_EQ(CoInitialize(nullptr), S_OK);  // counting starts again
    CoUninitialize();
  }).join();
}

TEST(Apartment, OtherModelAnswersChangedModeAndIsNotCounted) {
  std::thread([] {
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    EXPECT_EQ(CoInitialize(nullptr), RPC_E_CHANGED_MODE);
    CoUninitialize();  // balances the first call only
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    CoUninitialize();
  }).join();
}

TEST(Apartment, ThreadsAreCountedSeparately) {
  ASSERT_EQ(CoInitialize(nullptr), S_OK);
  std::thread([] {
    IDispatch* d = reinterpret_cast<IDispatch*>(0xdeadbeef);
    EXPECT_EQ(CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, (void**)&d),
              CO_E_NOTINITIALIZED);
    EXPECT_EQ(d, nullptr);
  }).join();
  CoUninitialize();
}

TEST_F(Registered, CreateInstanceByClsidAndByProgIdOfAnyCase) {
  CLSID clsid;
  ASSERT_EQ(CLSIDFromProgID(u"test.COUNTER", &clsid), S_OK);
  EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_TestCounter));
  IDispatch* d = nullptr;
  ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, (void**)&d), S_OK);
  EXPECT_EQ(kptest::Counter::live, 1);
  EXPECT_EQ(d->Release(), 0u);
}

TEST_F(Registered, UnknownClassAndUnknownProgId) {
  IUnknown* unk = reinterpret_cast<IUnknown*>(0xdeadbeef);
  EXPECT_EQ(CoCreateInstance(CLSID_Unknown, nullptr, CLSCTX_ALL, IID_IUnknown, (void**)&unk),
            REGDB_E_CLASSNOTREG);
  EXPECT_EQ(unk, nullptr);
  CLSID clsid = CLSID_TestCounter;
  EXPECT_EQ(CLSIDFromProgID(u"No.Such.Class", &clsid), CO_E_CLASSSTRING);
}

TEST_F(Registered, AggregationIsRefused) {
  IUnknown* outer = reinterpret_cast<IUnknown*>(0x1);  // never called: refused before use
  IUnknown* unk = reinterpret_cast<IUnknown*>(0xdeadbeef);
  EXPECT_EQ(CoCreateInstance(CLSID_TestCounter, outer, CLSCTX_ALL, IID_IUnknown, (void**)&unk),
            CLASS_E_NOAGGREGATION);
  EXPECT_EQ(unk, nullptr);
  // An outer object may only ask for IUnknown.
  EXPECT_EQ(CoCreateInstance(CLSID_TestCounter, outer, CLSCTX_ALL, IID_IDispatch, (void**)&unk),
            CLASS_E_NOAGGREGATION);
}

TEST_F(Registered, ClassObjectCreatesInstances) {
  IClassFactory* factory = nullptr;
  ASSERT_EQ(
      CoGetClassObject(CLSID_TestCounter, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, (void**)&factory),
      S_OK);
  IDispatch* d = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, (void**)&d), S_OK);
  EXPECT_EQ(d->Release(), 0u);
  EXPECT_EQ(factory->Release(), 0u);
}

TEST_F(Registered, ExtraProgIdAndRevocation) {
  ASSERT_EQ(KpRegisterProgId(u"Test.Counter.1", CLSID_TestCounter), S_OK);
  LPOLESTR progId = nullptr;
  ASSERT_EQ(ProgIDFromCLSID(CLSID_TestCounter, &progId), S_OK);
  EXPECT_EQ(std::u16string(progId), u"Test.Counter");  // the first ProgID given
  CoTaskMemFree(progId);
  CLSID clsid;
  EXPECT_EQ(CLSIDFromProgID(u"TEST.COUNTER.1", &clsid), S_OK);
  EXPECT_EQ(KpRevokeClass(CLSID_TestCounter), S_OK);
  EXPECT_EQ(CLSIDFromProgID(u"Test.Counter.1", &clsid), CO_E_CLASSSTRING);
  EXPECT_EQ(KpRevokeClass(CLSID_TestCounter), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(KpRegisterProgId(u"Test.Counter.2", CLSID_TestCounter), REGDB_E_CLASSNOTREG);
}

TEST(GuidText, RoundTripsInBracedUpperCaseForm) {
  OLECHAR text[CHARS_IN_GUID];
  EXPECT_EQ(StringFromGUID2(IID_IDispatch, text, CHARS_IN_GUID), 39);
  EXPECT_EQ(std::u16string(text), u"{00020400-0000-0000-C000-000000000046}");
  EXPECT_EQ(StringFromGUID2(IID_IDispatch, text, 38), 0);  // too small
  IID iid = GUID_NULL;
  EXPECT_EQ(IIDFromString(u"{1cf2b120-547d-101b-8e65-08002b2bd119}", &iid), S_OK);
  EXPECT_TRUE(IsEqualIID(iid, IID_IErrorInfo));
  EXPECT_EQ(IIDFromString(u"{1cf2b120-547d-101b-8e65-08002b2bd11}", &iid), E_INVALIDARG);
  CLSID clsid;
  EXPECT_EQ(CLSIDFromString(u"{nonsense}", &clsid), CO_E_CLASSSTRING);
  LPOLESTR s = nullptr;
  ASSERT_EQ(StringFromCLSID(IID_IUnknown, &s), S_OK);
  EXPECT_EQ(std::u16string(s), u"{00000000-0000-0000-C000-000000000046}");
  CoTaskMemFree(s);
}

}  // namespace
