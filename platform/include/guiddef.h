// GUID, IID and CLSID as Windows lays them out (16 bytes, little-endian fields), with the
// comparison helpers. Windows compilers attach an interface id to a type with __declspec(uuid)
// and read it with __uuidof; g++ has neither, so KP_UUID(Type, guid) attaches it through a
// traits specialisation and __uuidof(Type) reads it. __uuidof here accepts type names only.
#pragma once
#include <cstdint>
#include <cstring>

struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};
static_assert(sizeof(GUID) == 16);

typedef GUID IID;
typedef GUID CLSID;
typedef GUID* LPGUID;
typedef IID* LPIID;
typedef CLSID* LPCLSID;
typedef const GUID& REFGUID;
typedef const IID& REFIID;
typedef const CLSID& REFCLSID;

inline bool IsEqualGUID(REFGUID a, REFGUID b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }
#define IsEqualIID(a, b) IsEqualGUID(a, b)
#define IsEqualCLSID(a, b) IsEqualGUID(a, b)
inline bool operator==(REFGUID a, REFGUID b) { return IsEqualGUID(a, b); }
inline bool operator!=(REFGUID a, REFGUID b) { return !IsEqualGUID(a, b); }

#define GUID_NULL (::GUID{0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}})

namespace kp {
template <class T>
struct uuid_traits;  // specialised by KP_UUID for every interface or class with an id
}  // namespace kp

// KP_UUID(IFoo, 0x12345678, 0x1234, 0x1234, 0x12, 0x34, 0x56, 0x78, 0x9a, 0xbc, 0xde, 0xf0)
#define KP_UUID(T, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8)                                    \
  namespace kp {                                                                                 \
  template <>                                                                                    \
  struct uuid_traits<T> {                                                                        \
    static constexpr GUID value{l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}};                    \
  };                                                                                             \
  }

#define __uuidof(T) (::kp::uuid_traits<T>::value)

// DEFINE_GUID(name, ...) defines a constant usable wherever REFGUID is expected.
#define DEFINE_GUID(name, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8)                             \
  inline constexpr GUID name{l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}}
