// Where a run of Field.GetChunk or Field.AppendChunk calls stands. GetChunk reads a long value
// in pieces: each call answers the next piece of at most the length asked for (characters of
// text, bytes of binary values) and VT_NULL once nothing is left. AppendChunk builds a value in
// pieces: its first call replaces the value, the next ones append to it. A sequence belongs to
// one field and ends whenever the current record or a value changes, and when another field is
// read or the other kind of call comes; the next call then starts over. Exported from the
// library for its unit test.
#pragma once
#include <cstddef>

#include "kp/kpplatform.h"
#include "oaidl.h"

namespace kp::ado {

class KPAPI ChunkSequence {
 public:
  // The field of the running sequence, -1 when none runs.
  int Field() const { return field_; }
  void End();

  // GetChunk on field f: continues a GetChunk sequence on f, else starts one.
  void ReadFrom(int f);
  // The next piece of whole (the field's value) into out.
  void Next(const VARIANT& whole, LONG length, VARIANT* out);

  // Whether AppendChunk on field f continues a sequence (else it replaces the value).
  bool Appending(int f) const { return appending_ && field_ == f; }
  // AppendChunk on f was written: the next one continues.
  void Appended(int f);
  // The value a further AppendChunk writes: text after text, bytes after bytes; data alone for
  // anything else.
  static void Join(const VARIANT& current, const VARIANT& data, VARIANT* joined);

 private:
  int field_ = -1;
  size_t offset_ = 0;  // where the next GetChunk starts
  bool appending_ = false;
};

}  // namespace kp::ado
