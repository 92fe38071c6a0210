// ADO's run-time error codes, and the HRESULTs and message texts that the ADO utility pieces
// answer. ADO's own errors use facility 0xA (HRESULT = 0x800A0000 + number, AdoErr; message
// texts as documented for ErrorValueEnum); this header is the one definition that the
// utilities, the object model and the providers share. The structured-storage codes that
// IDataInitialize answers for data-link files are in winerror.h, the OLE DB codes in oledberr.h.
// Names carry a k prefix so that they never clash with the ErrorValueEnum constants that the ADO
// object model declares.
#pragma once
#include <string>

#include "oledberr.h"
#include "winerror.h"

namespace kp::ado {

// The HRESULT of ADO error number (an ErrorValueEnum value such as adErrDataConversion).
constexpr HRESULT AdoErr(int number) {
  return (HRESULT)(0x800A0000u + (unsigned)number);
}

inline constexpr HRESULT kErrInvalidArgument = AdoErr(3001);  // 0x800A0BB9
inline constexpr HRESULT kErrOpeningFile = AdoErr(3002);      // 0x800A0BBA
inline constexpr HRESULT kErrReadFile = AdoErr(3003);         // 0x800A0BBB
inline constexpr HRESULT kErrWriteFile = AdoErr(3004);        // 0x800A0BBC
inline constexpr HRESULT kErrItemNotFound = AdoErr(3265);     // 0x800A0CC1
inline constexpr HRESULT kErrDataConversion = AdoErr(3421);   // 0x800A0D5D

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
    // OLE DB's answer to an init string it cannot parse; text as widely reported from real
    // installations, not in the ADO reference pages.
    case DB_E_BADINITSTRING:
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
