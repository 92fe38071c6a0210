// The SOCI walks (see SociWalk.h). A null field (the benchmark's table has none) counts as empty
// text. SOCI reports every failure as soci::soci_error, a std::runtime_error.
#include "SociWalk.h"

#include <soci/odbc/soci-odbc.h>
#include <soci/postgresql/soci-postgresql.h>
#include <soci/soci.h>

#include <array>
#include <exception>

#include "GbkText.h"

namespace kpbench {

SociWalk::SociWalk(Backend backend, const std::string& connection) {
  try {
    if (backend == Backend::Odbc)
      session_ = std::make_unique<soci::session>(soci::odbc, connection);
    else
      session_ = std::make_unique<soci::session>(soci::postgresql, connection);
  } catch (const std::exception& e) {
    error_ = std::string("SOCI could not connect: ") + e.what();
  }
}

SociWalk::~SociWalk() = default;

int64_t SociWalk::Walk(const std::string& sql, size_t& gbkBytes) {
  if (!session_) return -1;
  std::array<std::string, 4> fields;
  std::array<soci::indicator, 4> nulls{};
  std::u16string wide;
  std::string narrow;
  int64_t rows = 0;
  try {
    soci::statement st =
        (session_->prepare << sql, soci::into(fields[0], nulls[0]), soci::into(fields[1], nulls[1]),
         soci::into(fields[2], nulls[2]), soci::into(fields[3], nulls[3]));
    st.execute();
    while (st.fetch()) {
      for (size_t c = 0; c < fields.size(); ++c)
        if (nulls[c] != soci::i_null) gbkBytes += Utf8ToGbk(fields[c].data(), fields[c].size(), wide, narrow);
      ++rows;
    }
  } catch (const std::exception& e) {
    error_ = std::string("SOCI walk failed: ") + e.what();
    return -1;
  }
  return rows;
}

}  // namespace kpbench
