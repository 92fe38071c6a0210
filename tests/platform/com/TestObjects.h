// Test doubles for the COM conformance tests: a dispatch object whose destruction the test
// can observe, built on the platform's table helper, and its registration data.
#pragma once
#include <string>

#include "comdef.h"
#include "kp/kpcom.h"
#include "kp/kpdispatch.h"

namespace kptest {

DEFINE_GUID(CLSID_TestCounter, 0x6A1F0C11, 0x2B3C, 0x4D5E, 0x8F, 0x90, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66);

// Counts live instances, so tests can check that every reference was released.
class Counter : public kp::DispatchObject<Counter> {
 public:
  static int live;
  Counter() { ++live; }
  ~Counter() override { --live; }

  static const kp::DispTable<Counter>& Dispatch();

  HRESULT GetValue(kp::DispCall& call) {
    call.Return(value_);
    return S_OK;
  }
  HRESULT PutValue(kp::DispCall& call) {
    value_ = call.Long(0);
    return S_OK;
  }
  // Add(a, b [, c]): records the arguments in natural order.
  HRESULT Add(kp::DispCall& call) {
    last_ = std::to_string(call.Long(0)) + "," + call.Text(1) + "," +
            (call.IsMissing(2) ? std::string("missing") : std::to_string(call.Double(2)));
    call.Return(call.Long(0) + value_);
    return S_OK;
  }
  HRESULT Fail(kp::DispCall& call) { return call.Raise(E_INVALIDARG, "bad value", nullptr); }
  HRESULT Throw(kp::DispCall&) {
    _com_issue_error(E_POINTER);
    return S_OK;
  }
  // GetPair(LONG* a, LONG* b): writes through by-reference arguments.
  HRESULT GetPair(kp::DispCall& call) {
    *call.Ref<LONG>(0) = 7;
    *call.Ref<LONG>(1) = 8;
    return S_OK;
  }

  LONG value_ = 0;
  std::string last_;
};

HRESULT CreateCounter(IUnknown* outer, REFIID riid, void** ppv);

}  // namespace kptest
