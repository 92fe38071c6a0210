// The class object CoGetClassObject hands out: an IClassFactory over a registered creator.
// LockServer only counts, since registered classes stay until their library revokes them.
#pragma once
#include <atomic>

#include "kp/kpcom.h"

namespace kp::com {

class ClassFactory final : public IClassFactory {
 public:
  explicit ClassFactory(KpClassCreator create) : create_(create) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

 private:
  ~ClassFactory() = default;

  KpClassCreator create_;
  std::atomic<ULONG> refs_{1};
  std::atomic<int> locks_{0};
};

}  // namespace kp::com
