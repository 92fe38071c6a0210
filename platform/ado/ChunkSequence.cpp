// GetChunk and AppendChunk sequences (see ChunkSequence.h).
#include "ChunkSequence.h"

#include <oleauto.h>

#include <algorithm>
#include <string>
#include <vector>

#include "AdoText.h"
#include "RecordsetArgs.h"
#include "ValueConversion.h"

namespace kp::ado {

void ChunkSequence::End() {
  field_ = -1;
  offset_ = 0;
  appending_ = false;
}

void ChunkSequence::ReadFrom(int f) {
  if (field_ != f || appending_) {  // a new sequence
    End();
    field_ = f;
  }
}

void ChunkSequence::Appended(int f) {
  field_ = f;
  appending_ = true;
}

void ChunkSequence::Next(const VARIANT& whole, LONG length, VARIANT* out) {
  if (whole.vt == VT_NULL) {
    out->vt = VT_NULL;
  } else if (whole.vt == VT_BSTR) {
    std::u16string_view t = BstrView(whole.bstrVal);
    if (offset_ >= t.size() && !(t.empty() && offset_ == 0)) {
      out->vt = VT_NULL;  // nothing left
    } else {
      size_t n = std::min<size_t>((size_t)length, t.size() - offset_);
      out->vt = VT_BSTR;
      out->bstrVal = AllocBstr(t.substr(offset_, n));
      offset_ += t.empty() ? 1 : n;  // an empty value is one empty piece
    }
  } else if (whole.vt == (VT_ARRAY | VT_UI1)) {
    LONG lo = 0, hi = -1;
    SafeArrayGetLBound(whole.parray, 1, &lo);
    SafeArrayGetUBound(whole.parray, 1, &hi);
    size_t total = (size_t)(hi - lo + 1);
    if (offset_ >= total && !(total == 0 && offset_ == 0)) {
      out->vt = VT_NULL;
    } else {
      size_t n = std::min<size_t>((size_t)length, total - offset_);
      BYTE* data = nullptr;
      SafeArrayAccessData(whole.parray, (void**)&data);
      ValueConversion::MakeByteArray(data + offset_, n, out);
      SafeArrayUnaccessData(whole.parray);
      offset_ += total == 0 ? 1 : n;  // an empty value is one empty piece
    }
  } else {
    VariantCopy(out, &whole);
  }
}

void ChunkSequence::Join(const VARIANT& current, const VARIANT& data, VARIANT* joined) {
  VariantInit(joined);
  const VARIANT& d = RecordsetArgs::Deref(data);
  if (current.vt == VT_BSTR && d.vt == VT_BSTR) {
    std::u16string s(BstrView(current.bstrVal));
    s += BstrView(d.bstrVal);
    joined->vt = VT_BSTR;
    joined->bstrVal = AllocBstr(s);
  } else if (current.vt == (VT_ARRAY | VT_UI1) && d.vt == (VT_ARRAY | VT_UI1)) {
    std::vector<BYTE> bytes;
    for (const VARIANT* v : {&current, &d}) {
      LONG lo = 0, hi = -1;
      SafeArrayGetLBound(v->parray, 1, &lo);
      SafeArrayGetUBound(v->parray, 1, &hi);
      BYTE* p = nullptr;
      SafeArrayAccessData(v->parray, (void**)&p);
      bytes.insert(bytes.end(), p, p + (hi - lo + 1));
      SafeArrayUnaccessData(v->parray);
    }
    ValueConversion::MakeByteArray(bytes.data(), bytes.size(), joined);
  } else {
    VariantCopy(joined, &d);
  }
}

}  // namespace kp::ado
