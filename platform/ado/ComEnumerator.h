// The enumerator objects of connectable objects (IEnumConnections over CONNECTDATA,
// IEnumConnectionPoints over IConnectionPoint*), one template for both: a snapshot of the items
// taken when the enumerator is made, a position, and the documented results: Next answers S_OK
// when it fetched all that was asked and S_FALSE when fewer (a null pcFetched is allowed only
// when one item is asked, else E_POINTER); Skip answers S_FALSE when it ran past the end; Clone
// copies the position. Every interface pointer handed out carries a reference the receiver
// releases; the enumerator holds its own references until it is released.
#pragma once
#include <ocidl.h>

#include <atomic>
#include <vector>

namespace kp::ado {

inline IUnknown* EnumeratedPointer(const CONNECTDATA& d) {
  return d.pUnk;
}
inline IUnknown* EnumeratedPointer(IConnectionPoint* p) {
  return p;
}

template <class IEnum, class T>
class ComEnumerator final : public IEnum {
 public:
  // Takes a reference on every item's pointer.
  explicit ComEnumerator(std::vector<T> items, size_t position = 0)
      : items_(std::move(items)), position_(position) {
    for (T& item : items_) EnumeratedPointer(item)->AddRef();
  }

  HRESULT __stdcall QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != __uuidof(IEnum)) return E_NOINTERFACE;
    *ppv = static_cast<IEnum*>(this);
    AddRef();
    return S_OK;
  }
  ULONG __stdcall AddRef() override { return ++refs_; }
  ULONG __stdcall Release() override {
    ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
  }
  HRESULT __stdcall Next(ULONG count, T* out, ULONG* fetched) override {
    if (!out || (!fetched && count != 1)) return E_POINTER;
    ULONG n = 0;
    for (; n < count && position_ < items_.size(); ++n, ++position_) {
      out[n] = items_[position_];
      EnumeratedPointer(out[n])->AddRef();
    }
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  HRESULT __stdcall Skip(ULONG count) override {
    size_t left = items_.size() - position_;
    position_ += count < left ? count : left;
    return count <= left ? S_OK : S_FALSE;
  }
  HRESULT __stdcall Reset() override {
    position_ = 0;
    return S_OK;
  }
  HRESULT __stdcall Clone(IEnum** out) override {
    if (!out) return E_POINTER;
    *out = new ComEnumerator(items_, position_);
    return S_OK;
  }

 private:
  ~ComEnumerator() {
    for (T& item : items_) EnumeratedPointer(item)->Release();
  }
  std::vector<T> items_;
  size_t position_;
  std::atomic<ULONG> refs_{1};
};

}  // namespace kp::ado
