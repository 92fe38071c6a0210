// The test doubles of TestObjects.h.
#include "TestObjects.h"

namespace kptest {

int Counter::live = 0;

const kp::DispTable<Counter>& Counter::Dispatch() {
  static const kp::DispTable<Counter> table(
      "Test.Counter",
      {
          {0, "Value", kp::kGet, {}, VT_I4, &Counter::GetValue},
          {0, "Value", kp::kPut, {VT_I4}, VT_EMPTY, &Counter::PutValue},
          {1, "Add", kp::kMethod, {VT_I4, VT_BSTR, VT_R8}, VT_I4, &Counter::Add, 1},
          {2, "Fail", kp::kMethod, {}, VT_EMPTY, &Counter::Fail},
          {3, "Throw", kp::kMethod, {}, VT_EMPTY, &Counter::Throw},
          {4, "GetPair", kp::kMethod, {VT_BYREF | VT_I4, VT_BYREF | VT_I4}, VT_EMPTY, &Counter::GetPair},
      });
  return table;
}

HRESULT CreateCounter(IUnknown* outer, REFIID riid, void** ppv) {
  return kp::CreateObject<Counter>(outer, riid, ppv);
}

}  // namespace kptest
