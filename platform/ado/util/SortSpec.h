// Recordset.Sort: a comma-separated list of field names, each optionally followed by a blank
// and ASC or DESC (any case; ascending when absent), e.g. "Country DESC, City, [Last Name]".
// A name with blanks may be written bare ("Last Name DESC" names the field "Last Name") or in
// [brackets]. An empty or blank text means no sort (the original order). An empty item
// ("a,,b", a trailing comma) or a field named ASC or DESC (which ADO forbids) is
// kErrInvalidArgument.
//
// Compare orders two rows by the keys in turn with ValueCompare's order (so Null sorts first in
// an ascending key and last in a descending one, strings ignore case); equal rows compare 0, so
// a stable sort keeps their original order, as ADO's client cursor does.
#pragma once
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "oaidl.h"

namespace kp::ado {

class SortSpec {
 public:
  struct Key {
    std::u16string field;
    bool descending = false;
    int index = -1;  // set by Bind
  };

  // Replaces out with the keys of text. description (may be null) receives the documented text
  // of a failure.
  static HRESULT Parse(std::u16string_view text, SortSpec& out, std::u16string* description);

  const std::vector<Key>& Keys() const { return keys_; }
  bool Empty() const { return keys_.empty(); }

  // Resolves every key to a field index; an unknown field (-1) fails with kErrItemNotFound.
  HRESULT Bind(const std::function<int(std::u16string_view)>& fieldIndexOf);

  // <0 when row a sorts before row b, 0 when equal, >0 after; valueOfA/valueOfB answer the
  // bound field's value of each row (null counts as Null).
  int Compare(const std::function<const VARIANT*(int fieldIndex)>& valueOfA,
              const std::function<const VARIANT*(int fieldIndex)>& valueOfB) const;

 private:
  std::vector<Key> keys_;
};

}  // namespace kp::ado
