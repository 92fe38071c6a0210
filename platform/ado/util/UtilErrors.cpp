// The documented message texts of ADO's run-time errors (ErrorValueEnum), one table for the
// utilities, the object model and the providers (see UtilErrors.h). The numbers are those of
// ErrorValueEnum; msado15.tlh is not included, as it would tie this library to kpado.
#include "UtilErrors.h"

namespace kp::ado {

const char16_t* AdoErrorText(HRESULT hr) {
  switch ((int)(hr - AdoErr(0))) {
    case 3000:  // adErrProviderFailed
      return u"Provider did not perform the requested operation.";
    case 3001:  // adErrInvalidArgument
      return u"Arguments are of the wrong type, are out of acceptable range, or are in conflict with one "
             u"another.";
    case 3002:  // adErrOpeningFile
      return u"File could not be opened.";
    case 3003:  // adErrReadFile
      return u"File could not be read.";
    case 3004:  // adErrWriteFile
      return u"Write to file failed.";
    case 3021:  // adErrNoCurrentRecord
      return u"Either BOF or EOF is True, or the current record has been deleted. Requested operation "
             u"requires a "
             u"current record.";
    case 3219:  // adErrIllegalOperation
      return u"Operation is not allowed in this context.";
    case 3220:  // adErrCantChangeProvider
      return u"Supplied provider differs from the one already being used.";
    case 3246:  // adErrInTransaction
      return u"Connection object cannot be explicitly closed while in a transaction.";
    case 3251:  // adErrFeatureNotAvailable
      return u"Object or provider is not able to perform requested operation.";
    case 3265:  // adErrItemNotFound
      return u"Item cannot be found in the collection that corresponds to the requested name or ordinal.";
    case 3367:  // adErrObjectInCollection
      return u"Object is already in collection. Cannot append.";
    case 3420:  // adErrObjectNotSet
      return u"Object is no longer valid.";
    case 3421:  // adErrDataConversion
      return u"Application uses a value of the wrong type for the current operation.";
    case 3704:  // adErrObjectClosed
      return u"Operation is not allowed when the object is closed.";
    case 3705:  // adErrObjectOpen
      return u"Operation is not allowed when the object is open.";
    case 3706:  // adErrProviderNotFound
      return u"Provider cannot be found. It may not be correctly installed.";
    case 3707:  // adErrBoundToCommand
      return u"Cannot change the ActiveConnection property of a Recordset object that has a Command object "
             u"as its "
             u"source.";
    case 3708:  // adErrInvalidParamInfo
      return u"Parameter object is incorrectly defined. Inconsistent or incomplete information was provided.";
    case 3709:  // adErrInvalidConnection
      return u"The connection cannot be used to perform this operation. It is either closed or invalid in "
             u"this "
             u"context.";
    case 3712:  // adErrOperationCancelled
      return u"Operation has been canceled by the user.";
    case 3714:  // adErrInvalidTransaction
      return u"Coordinating transaction is invalid or has not started.";
    case 3719:  // adErrIntegrityViolation
      return u"Data value conflicts with the integrity constraints of the field.";
    case 3721:  // adErrDataOverflow
      return u"Data value is too large to be represented by the field data type.";
    case 3724:  // adErrCantConvertvalue
      return u"Data value cannot be converted for reasons other than sign mismatch or data overflow. For "
             u"example, "
             u"conversion would have truncated data.";
    default:
      break;
  }
  switch (hr) {
    // OLE DB's answer to an init string it cannot parse; text as widely reported from real
    // installations, not in the ADO reference pages.
    case DB_E_BADINITSTRING:
      return u"Format of the initialization string does not conform to the OLE DB specification.";
    default:
      return u"";
  }
}

}  // namespace kp::ado
