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

// The documented message of an ADO error (ErrorValueEnum, and OLE DB's DB_E_BADINITSTRING that
// ADO shows for a connection string it cannot parse), or "" for other codes.
const char16_t* AdoErrorText(HRESULT hr);

// Stores the documented text of hr in *description when description is not null; answers hr.
inline HRESULT Fail(HRESULT hr, std::u16string* description) {
  if (description) *description = AdoErrorText(hr);
  return hr;
}

}  // namespace kp::ado
