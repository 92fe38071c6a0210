// The sweep of a fault kind across one session (see FaultSweep.h).
#include "FaultSweep.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace kp::fault {

SweepStats FaultSweep::Run(FaultKind kind, bool persistent, const std::function<void(long n)>& session) {
  SweepStats stats;
  const std::string mode = std::string(FaultKindName(kind)) + (persistent ? " (persistent)" : "");
  SqliteFaults::Reset();
  {
    SCOPED_TRACE("no fault (counting " + mode + " calls)");
    session(0);
  }
  stats.calls = SqliteFaults::Count(kind);
  if (::testing::Test::HasFailure()) return stats;
  const char* every = std::getenv("KP_FAULT_EVERY_N");
  long stride = every && *every == '1' ? 1 : stats.calls / kDenseRuns + 1;
  for (long n = 1;; n += n <= kDenseRuns / 2 ? 1 : stride) {
    if (n > 2 * stats.calls + 100) {
      ADD_FAILURE() << mode << " fault at " << n << " still fires; the session counted " << stats.calls
                    << " calls without a fault";
      break;
    }
    bool hit;
    {
      SCOPED_TRACE(mode + " fault at call " + std::to_string(n) + " of " + std::to_string(stats.calls));
      SqliteFaults::Armed armed(kind, n, persistent);
      session(n);
      hit = SqliteFaults::Hit();
    }
    ++stats.runs;
    if (hit) ++stats.hits;
    if (!hit || ::testing::Test::HasFailure()) break;
  }
  return stats;
}

}  // namespace kp::fault
