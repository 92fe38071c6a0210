// The provider registry (see Provider.h). Providers register from static initialisers of this
// library; the table is small and read far more often than written.
#include <mutex>
#include <utility>

#include "AdoText.h"
#include "Provider.h"

namespace kp::ado {
namespace {
struct Entry {
  std::u16string name;
  ProviderOpen open;
};
std::mutex& Lock() {
  static std::mutex m;
  return m;
}
std::vector<Entry>& Table() {
  static std::vector<Entry> t;
  return t;
}
}  // namespace

void ProviderRegistry::Register(std::u16string_view name, ProviderOpen open) {
  std::lock_guard<std::mutex> g(Lock());
  Table().push_back(Entry{std::u16string(name), open});
}

ProviderOpen ProviderRegistry::Find(std::u16string_view value) {
  // Trim blanks, then drop version segments made of '.' and digits ("SQLite.1",
  // "Microsoft.Jet.OLEDB.4.0").
  while (!value.empty() && value.front() == u' ') value.remove_prefix(1);
  while (!value.empty() && value.back() == u' ') value.remove_suffix(1);
  for (;;) {
    size_t dot = value.rfind(u'.');
    if (dot == std::u16string_view::npos || dot + 1 >= value.size()) break;
    bool digits = true;
    for (size_t i = dot + 1; i < value.size(); ++i) digits = digits && value[i] >= u'0' && value[i] <= u'9';
    if (!digits) break;
    value = value.substr(0, dot);
  }
  std::lock_guard<std::mutex> g(Lock());
  for (const Entry& e : Table())
    if (EqualsAsciiNoCase(e.name, value)) return e.open;
  return nullptr;
}

}  // namespace kp::ado
