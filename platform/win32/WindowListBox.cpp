// The built-in "LISTBOX" class: a single-selection list of GBK strings with item data.
//
// Windows behaviour followed (the LB_ message documentation):
// - LB_ADDSTRING appends unless the list has LBS_SORT, which inserts in case-insensitive order
//   after equal strings; it answers the new index. LB_INSERTSTRING inserts at wParam (-1: at the
//   end) without sorting; an index beyond the count answers LB_ERR.
// - LB_DELETESTRING answers the remaining count, or LB_ERR for a bad index. LB_RESETCONTENT
//   empties the list and the selection.
// - LB_SETCURSEL selects wParam; -1 clears the selection and answers LB_ERR although it is no
//   error; an index out of range answers LB_ERR and clears the selection. Programmatic changes
//   never send LBN_SELCHANGE (only a person's do; the modal loop sends it for Select actions).
// - LB_GETTEXT copies the row and a NUL into lParam and answers its length; LB_GETTEXTLEN the
//   length; both LB_ERR for a bad index. LB_FINDSTRING finds the first row that starts with
//   lParam (case-insensitive), searching from the row after wParam and wrapping around
//   (-1: from the top); LB_FINDSTRINGEXACT the same with the whole row; LB_ERR if none.
// - LB_SETITEMDATA / LB_GETITEMDATA: LB_ERR for a bad index (-1 sets every row's data).
// Case-insensitive here means ASCII letters of single-byte characters; double-byte characters
// compare byte for byte.
// While the list box's dialog runs modally, the desktop hears DialogListChanged after every
// change of the rows.
#include <cstring>

#include "WindowInternal.h"
#include "winnls.h"

namespace kp::win {
namespace {

// Compares a with b without ASCII case (b is the prefix looked for when prefixOnly). The trail
// byte of a double-byte character is compared as it is.
int CompareNoCase(const std::string& a, const std::string& b, bool prefixOnly) {
  size_t i = 0;
  bool trail = false;
  for (; i < a.size() && i < b.size(); ++i) {
    unsigned char ca = static_cast<unsigned char>(a[i]), cb = static_cast<unsigned char>(b[i]);
    if (!trail) {
      if (ca >= 'A' && ca <= 'Z') ca = static_cast<unsigned char>(ca + 32);
      if (cb >= 'A' && cb <= 'Z') cb = static_cast<unsigned char>(cb + 32);
    }
    if (ca != cb) return ca < cb ? -1 : 1;
    trail = !trail && IsDBCSLeadByte(ca);
  }
  if (prefixOnly) return i >= b.size() ? 0 : -1;
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

void RowsChanged(const Window& w) {
  WindowPtr parent = w.parent ? Find(w.parent) : nullptr;
  if (parent && parent->isDialog && parent->modalOpen) EffectiveDesktop().DialogListChanged(w.parent, w.id);
}

LRESULT Search(const Window& w, WPARAM start, LPARAM text, bool exact) {
  int count = static_cast<int>(w.items.size());
  if (count == 0 || !text) return LB_ERR;
  std::string wanted = reinterpret_cast<LPCSTR>(text);
  int first = static_cast<int>(static_cast<LONG_PTR>(start));
  first = (first < 0 || first >= count) ? 0 : first + 1;
  for (int k = 0; k < count; ++k) {
    int i = (first + k) % count;
    if (CompareNoCase(w.items[i].text, wanted, !exact) == 0) return i;
  }
  return LB_ERR;
}

}  // namespace

LRESULT CALLBACK ListBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  WindowPtr w = Find(hwnd);
  if (!w) return 0;
  auto& items = w->items;
  int count = static_cast<int>(items.size());
  int index = static_cast<int>(static_cast<LONG_PTR>(wParam));
  switch (msg) {
    case LB_ADDSTRING:
    case LB_INSERTSTRING: {
      std::string text = lParam ? reinterpret_cast<LPCSTR>(lParam) : "";
      int at = count;
      if (msg == LB_INSERTSTRING) {
        if (index > count) return LB_ERR;
        if (index >= 0) at = index;
      } else if (w->style & LBS_SORT) {
        at = 0;
        while (at < count && CompareNoCase(items[at].text, text, false) <= 0) ++at;
      }
      items.insert(items.begin() + at, ListItem{text, 0});
      if (w->curSel >= at) ++w->curSel;
      RowsChanged(*w);
      return at;
    }
    case LB_DELETESTRING:
      if (index < 0 || index >= count) return LB_ERR;
      items.erase(items.begin() + index);
      if (w->curSel == index) {
        w->curSel = -1;
      } else if (w->curSel > index) {
        --w->curSel;
      }
      RowsChanged(*w);
      return count - 1;
    case LB_RESETCONTENT:
      items.clear();
      w->curSel = -1;
      RowsChanged(*w);
      return 0;
    case LB_GETCOUNT:
      return count;
    case LB_GETCURSEL:
      return w->curSel >= 0 ? w->curSel : LB_ERR;
    case LB_SETCURSEL:
      if (index < 0 || index >= count) {
        w->curSel = -1;
        return LB_ERR;
      }
      w->curSel = index;
      return index;
    case LB_GETSEL:
      if (index < 0 || index >= count) return LB_ERR;
      return w->curSel == index ? 1 : 0;
    case LB_GETTOPINDEX:
      return 0;
    case LB_GETTEXT:
      if (index < 0 || index >= count) return LB_ERR;
      if (lParam)
        std::memcpy(reinterpret_cast<char*>(lParam), items[index].text.c_str(), items[index].text.size() + 1);
      return static_cast<LRESULT>(items[index].text.size());
    case LB_GETTEXTLEN:
      if (index < 0 || index >= count) return LB_ERR;
      return static_cast<LRESULT>(items[index].text.size());
    case LB_FINDSTRING:
      return Search(*w, wParam, lParam, false);
    case LB_FINDSTRINGEXACT:
      return Search(*w, wParam, lParam, true);
    case LB_SELECTSTRING: {
      LRESULT found = Search(*w, wParam, lParam, false);
      if (found != LB_ERR) w->curSel = static_cast<int>(found);
      return found;
    }
    case LB_GETITEMDATA:
      if (index < 0 || index >= count) return LB_ERR;
      return items[index].data;
    case LB_SETITEMDATA:
      if (index == -1) {
        for (auto& item : items) item.data = lParam;
        return LB_OKAY;
      }
      if (index < 0 || index >= count) return LB_ERR;
      items[index].data = lParam;
      return LB_OKAY;
    default:
      return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
}

}  // namespace kp::win
