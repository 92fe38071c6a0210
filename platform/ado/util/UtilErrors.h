// The HRESULTs and message texts that the ADO utility pieces answer. ADO's own run-time errors
// use facility 0xA (HRESULT = 0x800A0000 + number, message texts as documented for
// ErrorValueEnum); the structured-storage codes are those IDataInitialize answers for data-link
// files. Names carry a k prefix so that they never clash with the ErrorValueEnum constants that
// the ADO object model declares.
#pragma once
#include <string>

#include "winerror.h"

namespace kp::ado {

constexpr HRESULT AdoHresult(uint32_t number) {
  return (HRESULT)(0x800A0000u + number);
}

inline constexpr HRESULT kErrInvalidArgument = AdoHresult(3001);  // 0x800A0BB9
inline constexpr HRESULT kErrOpeningFile = AdoHresult(3002);      // 0x800A0BBA
inline constexpr HRESULT kErrReadFile = AdoHresult(3003);         // 0x800A0BBB
inline constexpr HRESULT kErrWriteFile = AdoHresult(3004);        // 0x800A0BBC
inline constexpr HRESULT kErrItemNotFound = AdoHresult(3265);     // 0x800A0CC1
inline constexpr HRESULT kErrDataConversion = AdoHresult(3421);   // 0x800A0D5D

// Structured-storage codes (winerror.h values; not yet in the platform's winerror.h).
inline constexpr HRESULT kStgFileNotFound = (HRESULT)0x80030002;   // STG_E_FILENOTFOUND
inline constexpr HRESULT kStgAccessDenied = (HRESULT)0x80030005;   // STG_E_ACCESSDENIED
inline constexpr HRESULT kStgWriteFault = (HRESULT)0x8003001D;     // STG_E_WRITEFAULT
inline constexpr HRESULT kStgReadFault = (HRESULT)0x8003001E;      // STG_E_READFAULT
inline constexpr HRESULT kStgInvalidHeader = (HRESULT)0x800300FB;  // STG_E_INVALIDHEADER

// OLE DB's answer to an init string it cannot parse, with the text ADO shows for it (see
// AdoMessage). Value and text as widely reported from real installations; not in the ADO reference pages.
inline constexpr HRESULT kDbBadInitString = (HRESULT)0x80040E73;

// The documented message text of an ADO error number (empty for codes this library never
// answers).
inline std::u16string AdoMessage(HRESULT hr) {
  switch (hr) {
    case kErrInvalidArgument:
      return u"Arguments are of the wrong type, are out of acceptable range, or are in conflict with one "
             u"another.";
    case kErrOpeningFile:
      return u"File could not be opened.";
    case kErrReadFile:
      return u"File could not be read.";
    case kErrWriteFile:
      return u"Write to file failed.";
    case kErrItemNotFound:
      return u"Item cannot be found in the collection that corresponds to the requested name or ordinal.";
    case kErrDataConversion:
      return u"Application uses a value of the wrong type for the current operation.";
    case kDbBadInitString:
      return u"Format of the initialization string does not conform to the OLE DB specification.";
    default:
      return u"";
  }
}

// Stores the documented text of hr in *description when description is not null; answers hr.
inline HRESULT Fail(HRESULT hr, std::u16string* description) {
  if (description) *description = AdoMessage(hr);
  return hr;
}

}  // namespace kp::ado
