// Filter, Find and Sort texts against a small table of rows (the values a client cursor holds),
// as Recordset.Filter, Recordset.Find and Recordset.Sort use them. Properties: a text either
// parses or fails with its ADO error and an empty result; a parsed criteria binds and evaluates
// every row (Nulls included) without fault and with the same answer twice; a sort order is an
// order (each row equals itself, comparing a with b is the opposite of b with a, a stable sort
// leaves every neighbour pair in order).
#include <algorithm>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "oleauto.h"
#include "Criteria.h"
#include "SortSpec.h"
#include "UtilErrors.h"

using kp::ado::Criteria;
using kp::ado::SortSpec;

namespace {

const char16_t* const kNames[] = {u"ID", u"Name", u"Price", u"When", u"Flag", u"Amount", u"Last Name"};
const int kTypes[] = {3 /*adInteger*/, 202 /*adVarWChar*/, 5 /*adDouble*/, 7 /*adDate*/,
                      11 /*adBoolean*/, 6 /*adCurrency*/, 202};
constexpr int kColumns = 7;

struct Table {
  std::vector<std::vector<VARIANT>> rows;

  Table() {
    const char16_t* names[] = {u"Smith", u"smith", u"O'Brien", u"", u"Zh\u00e4ng", nullptr};
    for (int r = 0; r < 12; ++r) {
      std::vector<VARIANT> row(kColumns);
      for (auto& v : row) VariantInit(&v);
      row[0].vt = VT_I4, row[0].lVal = (r * 7) % 5 - 2;
      if (const char16_t* name = names[r % 6]) {
        row[1].vt = VT_BSTR, row[1].bstrVal = SysAllocString(reinterpret_cast<const OLECHAR*>(name));
      } else {
        row[1].vt = VT_NULL;
      }
      row[2].vt = VT_R8, row[2].dblVal = r % 4 == 0 ? -0.0 : r * 12.345;
      row[3].vt = r % 5 == 0 ? VT_NULL : VT_DATE, row[3].date = 36526.5 + r;
      row[4].vt = VT_BOOL, row[4].boolVal = r % 2 ? VARIANT_TRUE : VARIANT_FALSE;
      row[5].vt = VT_CY, row[5].cyVal.int64 = r * 123456 - 500000;
      row[6].vt = VT_BSTR, row[6].bstrVal = SysAllocString(reinterpret_cast<const OLECHAR*>(r % 3 ? u"Lee" : u"lee "));
      rows.push_back(std::move(row));
    }
  }
};

int IndexOf(std::u16string_view name) {
  for (int i = 0; i < kColumns; ++i) {
    std::u16string_view known(kNames[i]);
    if (known.size() != name.size()) continue;
    bool same = true;
    for (size_t c = 0; c < name.size() && same; ++c) {
      same = (known[c] | 0x20) == (name[c] | 0x20);
    }
    if (same) return i;
  }
  return -1;
}

void CheckCriteria(Criteria& criteria, const Table& table, bool typed) {
  const HRESULT hr = typed ? criteria.Bind(IndexOf, [](int i) { return kTypes[i]; }) : criteria.Bind(IndexOf);
  if (FAILED(hr)) return;
  for (const auto& row : table.rows) {
    auto valueOf = [&row](int i) -> const VARIANT* { return &row[static_cast<size_t>(i)]; };
    FUZZ_CHECK(criteria.Matches(valueOf) == criteria.Matches(valueOf));
  }
}

// Made before the first input, so the leak check does not count it against one.
const Table& TheTable() {
  static const Table* table = new Table;
  return *table;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  TheTable();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > 65536) return 0;
  const Table& table = TheTable();
  const uint8_t mode = data[0] % 3;
  std::u16string text;
  for (size_t i = 1; i < size; ++i) text.push_back(static_cast<char16_t>(data[i]));

  std::u16string description;
  if (mode < 2) {
    Criteria criteria;
    const HRESULT hr = mode == 0 ? Criteria::ParseFilter(text, criteria, &description)
                                 : Criteria::ParseFind(text, criteria, &description);
    if (FAILED(hr)) {
      FUZZ_CHECK(hr == kp::ado::kErrInvalidArgument);
      FUZZ_CHECK(criteria.FieldNames().empty());
      return 0;
    }
    CheckCriteria(criteria, table, false);
    Criteria typed;
    FUZZ_CHECK(SUCCEEDED(mode == 0 ? Criteria::ParseFilter(text, typed, nullptr)
                                   : Criteria::ParseFind(text, typed, nullptr)));
    CheckCriteria(typed, table, true);
    return 0;
  }

  SortSpec sort;
  if (FAILED(SortSpec::Parse(text, sort, &description))) {
    FUZZ_CHECK(sort.Empty());
    return 0;
  }
  if (FAILED(sort.Bind(IndexOf))) return 0;
  std::vector<size_t> order(table.rows.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  auto compare = [&](size_t a, size_t b) {
    return sort.Compare([&](int i) -> const VARIANT* { return &table.rows[a][static_cast<size_t>(i)]; },
                        [&](int i) -> const VARIANT* { return &table.rows[b][static_cast<size_t>(i)]; });
  };
  for (size_t a = 0; a < order.size(); ++a) {
    FUZZ_CHECK(compare(a, a) == 0);
    for (size_t b = 0; b < order.size(); ++b) {
      const int ab = compare(a, b), ba = compare(b, a);
      FUZZ_CHECK((ab < 0) == (ba > 0) && (ab == 0) == (ba == 0));
    }
  }
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return compare(a, b) < 0; });
  for (size_t i = 1; i < order.size(); ++i) FUZZ_CHECK(compare(order[i - 1], order[i]) <= 0);
  return 0;
}
