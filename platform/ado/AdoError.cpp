// ADO error texts and the error-object helper (see AdoError.h).
#include "AdoError.h"

#include <msado15.tlh>
#include <oleauto.h>

#include "AdoText.h"

namespace kp::ado {

const char16_t* AdoErrorText(HRESULT hr) {
  switch ((int)(hr - (HRESULT)0x800A0000u)) {
    case adErrProviderFailed:
      return u"Provider did not perform the requested operation.";
    case adErrInvalidArgument:
      return u"Arguments are of the wrong type, are out of acceptable range, or are in conflict with one "
             u"another.";
    case adErrOpeningFile:
      return u"File could not be opened.";
    case adErrReadFile:
      return u"File could not be read.";
    case adErrWriteFile:
      return u"Write to file failed.";
    case adErrNoCurrentRecord:
      return u"Either BOF or EOF is True, or the current record has been deleted. Requested operation "
             u"requires a "
             u"current record.";
    case adErrIllegalOperation:
      return u"Operation is not allowed in this context.";
    case adErrCantChangeProvider:
      return u"Supplied provider differs from the one already being used.";
    case adErrInTransaction:
      return u"Connection object cannot be explicitly closed while in a transaction.";
    case adErrFeatureNotAvailable:
      return u"Object or provider is not able to perform requested operation.";
    case adErrItemNotFound:
      return u"Item cannot be found in the collection that corresponds to the requested name or ordinal.";
    case adErrObjectInCollection:
      return u"Object is already in collection. Cannot append.";
    case adErrObjectNotSet:
      return u"Object is no longer valid.";
    case adErrDataConversion:
      return u"Application uses a value of the wrong type for the current operation.";
    case adErrObjectClosed:
      return u"Operation is not allowed when the object is closed.";
    case adErrObjectOpen:
      return u"Operation is not allowed when the object is open.";
    case adErrProviderNotFound:
      return u"Provider cannot be found. It may not be correctly installed.";
    case adErrBoundToCommand:
      return u"Cannot change the ActiveConnection property of a Recordset object that has a Command object "
             u"as its "
             u"source.";
    case adErrInvalidParamInfo:
      return u"Parameter object is incorrectly defined. Inconsistent or incomplete information was provided.";
    case adErrInvalidConnection:
      return u"The connection cannot be used to perform this operation. It is either closed or invalid in "
             u"this "
             u"context.";
    case adErrOperationCancelled:
      return u"Operation has been canceled by the user.";
    case adErrInvalidTransaction:
      return u"Coordinating transaction is invalid or has not started.";
    case adErrIntegrityViolation:
      return u"Data value conflicts with the integrity constraints of the field.";
    case adErrDataOverflow:
      return u"Data value is too large to be represented by the field data type.";
    case adErrCantConvertvalue:
      return u"Data value cannot be converted for reasons other than sign mismatch or data overflow. For "
             u"example, "
             u"conversion would have truncated data.";
    default:
      return u"";
  }
}

HRESULT SetError(HRESULT hr, std::u16string_view source, std::u16string_view description) {
  ICreateErrorInfo* create = nullptr;
  if (SUCCEEDED(CreateErrorInfo(&create)) && create) {
    std::u16string s(source), d(description);
    create->SetSource(s.data());
    create->SetDescription(d.data());
    IErrorInfo* info = nullptr;
    if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info))) && info) {
      SetErrorInfo(0, info);
      info->Release();
    }
    create->Release();
  }
  return hr;
}

HRESULT AdoFail(HRESULT hr, std::u16string_view source) {
  return SetError(hr, source, AdoErrorText(hr));
}

}  // namespace kp::ado
