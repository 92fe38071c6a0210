// Parsing and comparing Recordset.Sort keys; see SortSpec.h.
#include "SortSpec.h"

#include "TextUtil.h"
#include "UtilErrors.h"
#include "ValueCompare.h"

namespace kp::ado {

HRESULT SortSpec::Parse(std::u16string_view text, SortSpec& out, std::u16string* description) {
  out.keys_.clear();
  SortSpec result;
  if (Trim(text).empty()) return S_OK;
  size_t pos = 0;
  for (;;) {
    size_t comma = text.find(u',', pos);
    std::u16string_view item =
        Trim(text.substr(pos, comma == std::u16string_view::npos ? comma : comma - pos));
    Key key;
    // A trailing blank-separated ASC or DESC sets the direction.
    size_t blank = item.find_last_of(u" \t");
    if (blank != std::u16string_view::npos) {
      std::u16string_view last = item.substr(blank + 1);
      if (EqualsNoCase(last, u"ASC") || EqualsNoCase(last, u"DESC")) {
        key.descending = EqualsNoCase(last, u"DESC");
        item = Trim(item.substr(0, blank));
      }
    }
    if (item.size() >= 2 && item.front() == u'[' && item.back() == u']') {
      item = Trim(item.substr(1, item.size() - 2));
    } else if (item.find_first_of(u"[]") != std::u16string_view::npos) {
      return Fail(kErrInvalidArgument, description);
    }
    if (item.empty() || EqualsNoCase(item, u"ASC") || EqualsNoCase(item, u"DESC"))
      return Fail(kErrInvalidArgument, description);
    key.field = std::u16string(item);
    result.keys_.push_back(std::move(key));
    if (comma == std::u16string_view::npos) break;
    pos = comma + 1;
  }
  out = std::move(result);
  return S_OK;
}

HRESULT SortSpec::Bind(const std::function<int(std::u16string_view)>& fieldIndexOf) {
  for (Key& k : keys_) {
    k.index = fieldIndexOf ? fieldIndexOf(k.field) : -1;
    if (k.index < 0) return kErrItemNotFound;
  }
  return S_OK;
}

int SortSpec::Compare(const std::function<const VARIANT*(int fieldIndex)>& valueOfA,
                      const std::function<const VARIANT*(int fieldIndex)>& valueOfB) const {
  VARIANT null{};
  null.vt = VT_NULL;
  for (const Key& k : keys_) {
    const VARIANT* a = valueOfA(k.index);
    const VARIANT* b = valueOfB(k.index);
    int c = ValueCompare::Compare(a ? *a : null, b ? *b : null);
    if (c != 0) return k.descending ? -c : c;
  }
  return 0;
}

}  // namespace kp::ado
