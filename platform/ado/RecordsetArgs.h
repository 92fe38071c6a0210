// The optional VARIANT arguments of the Recordset's methods (and of its cursors): a caller may
// pass a value by reference, omit it (VT_ERROR with DISP_E_PARAMNOTFOUND, or VT_EMPTY), or give
// one value where a list is allowed. These helpers read them the one way the Recordset reads
// them everywhere.
#pragma once
#include <vector>

#include "oaidl.h"

namespace kp::ado {

class RecordsetArgs {
 public:
  // The VARIANT that holds the value (v itself, or the one a VT_BYREF|VT_VARIANT points at).
  static const VARIANT& Deref(const VARIANT& v);
  // Whether an optional argument was left out.
  static bool Missing(const VARIANT& v);
  // An omitted optional argument, as a caller passes it.
  static VARIANT MissingArg();
  // A list of VARIANTs (owned by the caller: ClearAll) from one value or an array of them
  // (AddNew/Update/GetRows arguments, bookmark filters).
  static std::vector<VARIANT> ListOf(const VARIANT& in);
  static void ClearAll(std::vector<VARIANT>& v);
};

}  // namespace kp::ado
