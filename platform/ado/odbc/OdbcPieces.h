// Reading one column value from an ODBC driver in pieces (SQLGetData), trusting the length
// indicator no further than the buffer reaches.
//
// ODBC's rules for SQLGetData: a call writes at most the buffer's capacity, less one terminator
// for character data (one SQLWCHAR for SQL_C_WCHAR, none for SQL_C_BINARY), and sets the
// indicator to the length that remained before the call, to SQL_NO_TOTAL when the driver cannot
// tell, or to SQL_NULL_DATA; a piece that could not take the rest answers SQL_SUCCESS_WITH_INFO
// (01004); once everything is returned the next call answers SQL_NO_DATA. The indicator is the
// driver's claim, not a size to copy: a driver that answers SQL_NO_TOTAL, or a length beyond the
// buffer, filled the buffer (usable bytes) and has more, whatever its return code said. So:
// - an indicator in [0, usable] is the length of this piece, and the piece holds the rest;
// - SQL_NO_TOTAL or an indicator above usable: usable bytes are taken and the reader asks again,
//   until SQL_NO_DATA or a piece that holds the rest;
// - SQL_NO_DATA on the first call is an empty value; SQL_NULL_DATA on the first call is Null;
// - any other negative indicator, SQL_NULL_DATA after data, or an odd number of bytes of wide
//   text is a driver fault (BadLength), and a value longer than maxBytes is TooLong.
// Every piece that asks for more adds usable (> 0) bytes, so maxBytes bounds the loop.
//
// The reader is a template over the call (get) and the sink (append) so that the cursor binds it
// to SQLGetData without an indirection and tests bind it to a scripted driver.
#pragma once
#include <cstddef>
#include <cstdint>

#include "OdbcApi.h"

namespace kp::ado {

class OdbcPieces {
 public:
  enum class Result { Value, Null, Failed, BadLength, TooLong };

  // Reads one value. get(void* buffer, SQLLEN capacity, SQLLEN* indicator) makes one SQLGetData
  // call and answers its return code; append(const char* bytes, size_t count) takes each piece
  // in order (wide text: whole UTF-16 units, native byte order). wide: SQL_C_WCHAR (a
  // terminator is reserved); otherwise binary. capacity: bytes in buffer, at least 4. On Failed,
  // *problem is the failing return code; on BadLength, the indicator the driver gave.
  template <class Get, class Append>
  static Result Read(Get&& get, Append&& append, bool wide, char* buffer, SQLLEN capacity, uint64_t maxBytes,
                     SQLLEN* problem) {
    const SQLLEN usable = wide ? (capacity - (SQLLEN)sizeof(SQLWCHAR)) & ~(SQLLEN)1 : capacity;
    uint64_t total = 0;
    for (bool first = true;; first = false) {
      SQLLEN ind = 0;
      SQLRETURN rc = get(static_cast<void*>(buffer), capacity, &ind);
      if (rc == SQL_NO_DATA) return Result::Value;
      if (!SQL_SUCCEEDED(rc)) {
        *problem = rc;
        return Result::Failed;
      }
      if (ind == SQL_NULL_DATA) {
        if (first) return Result::Null;
        *problem = ind;
        return Result::BadLength;
      }
      bool full = ind == SQL_NO_TOTAL || ind > usable;
      if (!full && ind < 0) {
        *problem = ind;
        return Result::BadLength;
      }
      SQLLEN bytes = full ? usable : ind;
      if (wide && bytes % 2 != 0) {
        *problem = ind;
        return Result::BadLength;
      }
      total += (uint64_t)bytes;
      if (total > maxBytes) return Result::TooLong;
      append(static_cast<const char*>(buffer), (size_t)bytes);
      if (!full) return Result::Value;
    }
  }
};

}  // namespace kp::ado
