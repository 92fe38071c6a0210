// Writing IDispatch objects from one table. A class lists its members once, with fixed DISPIDs:
//
//   class IntArray : public kp::DispatchObject<IntArray> {
//    public:
//     static const kp::DispTable<IntArray>& Dispatch() {
//       static const kp::DispTable<IntArray> table("VantorObjects.VOIntArray", {
//           // DISPID, name,     kind,         argument types, result, handler,           optional
//           {1,       "GetSize", kp::kMethod,  {},             VT_I4,  &IntArray::GetSize},
//           {4,       "GetAt",   kp::kMethod,  {VT_I4},        VT_I4,  &IntArray::GetAt},
//           {9,       "Scale",   kp::kGet,     {},             VT_R8,  &IntArray::GetScale},
//           {9,       "Scale",   kp::kPut,     {VT_R8},        VT_EMPTY, &IntArray::PutScale},
//           {10,      "Find",    kp::kMethod,  {VT_I4, VT_I4}, VT_I4,  &IntArray::Find, 1},
//       });
//       return table;
//     }
//     HRESULT GetAt(kp::DispCall& call) {
//       if (call.Long(0) < 0) return call.Raise(DISP_E_BADINDEX, "index out of range");
//       call.Return(values_[call.Long(0)]);
//       return S_OK;
//     }
//     ...
//   };
//
// GetIDsOfNames matches names case-insensitively (DISP_E_UNKNOWNNAME otherwise). Invoke, as
// Windows' standard dispatch does:
//   - riid must be IID_NULL (DISP_E_UNKNOWNINTERFACE);
//   - the DISPID and the wFlags must name a member of a matching kind (DISP_E_MEMBERNOTFOUND);
//     DISPATCH_METHOD|DISPATCH_PROPERTYGET finds either;
//   - named arguments are refused (DISP_E_NONAMEDARGS), except the one DISPID_PROPERTYPUT value
//     of a put, which is required there (DISP_E_PARAMNOTFOUND without it);
//   - the argument count must lie between the required and the declared count
//     (DISP_E_BADPARAMCOUNT); omitted trailing optional arguments reach the handler as
//     vtMissing (VT_ERROR, DISP_E_PARAMNOTFOUND), and so does a passed missing value;
//   - rgvarg holds the arguments in reverse order; each is coerced to its declared type with
//     VariantChangeType (DISP_E_TYPEMISMATCH or DISP_E_OVERFLOW, *puArgErr = its rgvarg index);
//     a declared VT_VARIANT takes the argument as given; a declared VT_BYREF type must be given
//     with exactly that type and is passed through (the handler writes through it);
//   - the handler sees the coerced arguments in natural order (index 0 is the first argument);
//     its result is coerced to the declared result type and stored in *pVarResult when the
//     caller asked for one (a member declared VT_EMPTY leaves VT_EMPTY there);
//   - call.Raise(scode, description) makes Invoke answer DISP_E_EXCEPTION with EXCEPINFO
//     (source = the table's source, description, scode); so does a _com_error (its HRESULT and
//     description or message) or a std::exception (E_FAIL, what()) thrown by the handler.
// A put's value is the last declared argument of its row.
#pragma once
#include <atomic>
#include <initializer_list>
#include <string>
#include <vector>

#include "kp/kpcom.h"
#include "kp/kpnotimpl.h"
#include "oleauto.h"

namespace kp {

enum DispKind : WORD {
  kMethod = DISPATCH_METHOD,
  kGet = DISPATCH_PROPERTYGET,
  kPut = DISPATCH_PROPERTYPUT,
  kPutRef = DISPATCH_PROPERTYPUTREF
};

inline constexpr int kDispMaxArgs = 12;

// One member of a dispatch table, without its handler. args lists the declared argument types
// in natural order and ends at the first VT_EMPTY; the last `optional` of them may be omitted.
struct DispSignature {
  DISPID id;
  const char* name;  // ASCII
  DispKind kind;
  VARTYPE args[kDispMaxArgs];
  VARTYPE result;  // VT_EMPTY: no result; VT_VARIANT: whatever the handler answers
  int optional;
  UINT ArgCount() const noexcept {
    UINT n = 0;
    while (n < kDispMaxArgs && args[n] != VT_EMPTY) ++n;
    return n;
  }
};

// One invocation as the handler sees it.
class KPAPI DispCall {
 public:
  DispCall(const DispSignature& member, WORD flags, std::vector<VARIANT>& args);
  ~DispCall();
  DispCall(const DispCall&) = delete;
  DispCall& operator=(const DispCall&) = delete;

  const DispSignature& Member() const noexcept { return member_; }
  WORD Flags() const noexcept { return flags_; }
  UINT Count() const noexcept { return static_cast<UINT>(args_.size()); }  // declared count

  // Argument i (natural order), already of its declared type.
  VARIANT& Arg(UINT i) { return args_.at(i); }
  const VARIANT& Arg(UINT i) const { return args_.at(i); }
  bool IsMissing(UINT i) const;
  // Typed reads of argument i. The argument is converted when its declared type differs
  // (VT_VARIANT); a value that does not convert reads as 0, false, empty or null.
  LONG Long(UINT i) const;
  LONG64 Long64(UINT i) const;
  double Double(UINT i) const;
  bool Bool(UINT i) const;
  BSTR Bstr(UINT i) const;  // owned by the call; NULL for empty
  std::u16string Wide(UINT i) const;
  std::string Text(UINT i) const;     // GBK
  IDispatch* Dispatch(UINT i) const;  // borrowed, no reference added
  IUnknown* Unknown(UINT i) const;    // borrowed
  // The pointer of a VT_BYREF argument (for VT_BYREF|VT_I4, Ref<LONG>(i)).
  template <class T>
  T* Ref(UINT i) const {
    return static_cast<T*>(Arg(i).byref);
  }

  // The handler's result; it is coerced to the declared result type afterwards.
  VARIANT& Result() noexcept { return result_; }
  void Return(LONG value);
  void Return(long value);  // VT_I4, or VT_I8 when it needs 64 bits
  void Return(double value);
  void Return(bool value);  // VT_BOOL
  void Return(const char* gbkText);
  void Return(const OLECHAR* text);
  void Return(IDispatch* object);  // adds a reference; the caller keeps its own
  void Return(const VARIANT& value);

  // Records the error for EXCEPINFO and answers DISP_E_EXCEPTION: return call.Raise(...).
  HRESULT Raise(HRESULT scode, const char* gbkDescription, const char* gbkSource = nullptr);

  // Filled by Raise (and by the table for exceptions).
  HRESULT RaisedScode() const noexcept { return scode_; }
  const std::u16string& RaisedDescription() const noexcept { return description_; }
  const std::u16string& RaisedSource() const noexcept { return source_; }
  void SetRaised(HRESULT scode, std::u16string description, std::u16string source);

 private:
  bool Convert(UINT i, VARTYPE vt, VARIANT& out) const;
  void SetResult(VARIANT& v);

  const DispSignature& member_;
  WORD flags_;
  std::vector<VARIANT>& args_;
  VARIANT result_;
  HRESULT scode_ = S_OK;
  std::u16string description_;
  std::u16string source_;
  mutable std::vector<BSTR> scratch_;  // texts handed out by Bstr() for converted arguments
};

// The table reading, independent of the class: GetIDsOfNames and Invoke.
class KPAPI DispTableBase {
 public:
  HRESULT GetIDsOfNames(LPOLESTR* rgszNames, UINT cNames, DISPID* rgDispId) const;
  // self is the object (as T*) the handlers are called on.
  HRESULT Invoke(void* self, DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                 DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) const;
  const char* Source() const noexcept { return source_; }
  const std::vector<DispSignature>& Members() const noexcept { return members_; }

 protected:
  explicit DispTableBase(const char* source) : source_(source) {}
  virtual ~DispTableBase();
  void Add(const DispSignature& member) { members_.push_back(member); }
  virtual HRESULT Call(void* self, size_t index, DispCall& call) const = 0;

 private:
  const DispSignature* Find(DISPID id, WORD flags, size_t* index) const;

  const char* source_;
  std::vector<DispSignature> members_;
};

template <class T>
struct DispMember {
  DISPID id;
  const char* name;
  DispKind kind;
  VARTYPE args[kDispMaxArgs];
  VARTYPE result;
  HRESULT (T::*handler)(DispCall& call);
  int optional = 0;
};

template <class T>
class DispTable : public DispTableBase {
 public:
  // source names the object in EXCEPINFO (GBK, e.g. a ProgID); it must outlive the table.
  DispTable(const char* source, std::initializer_list<DispMember<T>> members) : DispTableBase(source) {
    for (const DispMember<T>& m : members) {
      DispSignature s{m.id, m.name, m.kind, {}, m.result, m.optional};
      for (int i = 0; i < kDispMaxArgs; ++i) s.args[i] = m.args[i];
      Add(s);
      handlers_.push_back(m.handler);
    }
  }

 protected:
  HRESULT Call(void* self, size_t index, DispCall& call) const override {
    return (static_cast<T*>(self)->*handlers_[index])(call);
  }

 private:
  std::vector<HRESULT (T::*)(DispCall&)> handlers_;
};

// IUnknown and IDispatch for a class T with `static const kp::DispTable<T>& Dispatch()`.
// I is IDispatch or a dual interface derived from it (with a KP_UUID). Objects start with one
// reference (kp::CreateObject<T> relies on it) and delete themselves at the last Release.
// A class answering more interfaces overrides QueryOther.
template <class T, class I = IDispatch>
class DispatchObject : public I {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == __uuidof(I)) {
      *ppv = static_cast<I*>(this);
    } else {
      *ppv = QueryOther(riid);
    }
    if (!*ppv) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override {
    if (!pctinfo) return E_POINTER;
    *pctinfo = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override {
    if (ppTInfo) *ppTInfo = nullptr;
    return KP_NOT_IMPLEMENTED("IDispatch::GetTypeInfo", "%u, %u", iTInfo, lcid);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* rgszNames, UINT cNames, LCID,
                                          DISPID* rgDispId) override {
    return T::Dispatch().GetIDsOfNames(rgszNames, cNames, rgDispId);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                                   DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                                   UINT* puArgErr) override {
    return T::Dispatch().Invoke(static_cast<T*>(this), dispIdMember, riid, lcid, wFlags, pDispParams,
                                pVarResult, pExcepInfo, puArgErr);
  }
  ULONG RefCount() const noexcept { return refs_; }

 protected:
  DispatchObject() = default;
  virtual ~DispatchObject() = default;
  virtual void* QueryOther(REFIID) { return nullptr; }

 private:
  std::atomic<ULONG> refs_{1};
};

}  // namespace kp
