// Exact conversions of an OLE Automation DECIMAL (a 96-bit magnitude, a sign and a power-of-ten
// scale) to a double and to text, shared by the field and parameter conversion rules.
//
// A DECIMAL is an exact value; a double is not. DecimalToDouble answers the double nearest to
// the decimal's value (ties to even), as VarR8FromDec does: dividing by ten once per scale step
// rounds at every step and misses the nearest double for about a third of scaled values. The
// text forms give the decimal's own digits, never the binary noise of a double. Both accept any
// scale (a scale above 28 is not a valid DECIMAL, but it still states a value) and never fail.
//
// Workload: one call per decimal field read during a recordset walk, so the common case (a
// magnitude below 2^53 and a scale up to 22, e.g. numeric(10,2)) is one exact division; the
// rest print the digits and read them back with a correctly rounding parser.
#pragma once
#include <afx.h>
#include <wtypes.h>

namespace ado2 {

// The double nearest to the decimal's value; -0.0 for a negative zero.
double DecimalToDouble(const DECIMAL& dec);

// The whole-number text of GetFieldValue for scale 0: the 96-bit magnitude in decimal, with
// "-" in front whenever the sign is set (also for zero).
CString DecimalIntegerText(const DECIMAL& dec);

// The decimal's own digits, as VarBstrFromDec writes them: a '.' only when the fraction is not
// zero, no trailing zeros after it, "0." never shortened to ".", and "-" only in front of a
// non-zero value ("7.78" for 778 with scale 2 and for 77800 with scale 4; "0" for -0.00).
CString DecimalText(const DECIMAL& dec);

}  // namespace ado2
