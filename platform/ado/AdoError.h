// How the ADO objects fail: ADO's own run-time errors (facility 0xA, AdoErr(number) of
// UtilErrors.h, with the documented message text) are raised through IErrorInfo only; provider
// errors also go into the connection's Errors collection (see AdoConnection::RaiseProvider). Every
// failure path sets the thread's error object with SetErrorInfo, so _com_error::Description()
// and Source() carry the text after a wrapper throws.
#pragma once
#include <string>

#include "UtilErrors.h"
#include "oaidl.h"

namespace kp::ado {

// Sets the thread's error object (source, description) and answers hr.
HRESULT SetError(HRESULT hr, std::u16string_view source, std::u16string_view description);
// SetError with ADO's documented text for hr.
HRESULT AdoFail(HRESULT hr, std::u16string_view source);

inline constexpr const char16_t* kSrcConnection = u"ADODB.Connection";
inline constexpr const char16_t* kSrcRecordset = u"ADODB.Recordset";
inline constexpr const char16_t* kSrcCommand = u"ADODB.Command";
inline constexpr const char16_t* kSrcParameter = u"ADODB.Parameter";
inline constexpr const char16_t* kSrcField = u"ADODB.Field";
inline constexpr const char16_t* kSrcFields = u"ADODB.Fields";
inline constexpr const char16_t* kSrcParameters = u"ADODB.Parameters";
inline constexpr const char16_t* kSrcErrors = u"ADODB.Errors";

}  // namespace kp::ado
