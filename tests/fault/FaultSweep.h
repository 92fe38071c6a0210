// The sweep of a fault kind across one session: run the session once with no fault to count its
// calls of that kind, then once with the fault at each n = 1, 2, ... until a run in which the
// fault never fired (n past the session's count).
//
// The session is a function that runs everything from opening to closing and checks its own
// properties with gtest assertions; it is told n (0 for the counting run) and asks
// SqliteFaults::Hit() whether its fault fired. Each run is traced with kind, mode and n, so a
// failing assertion names the fault point. The sweep stops at the first run with a failure (one
// fault point is enough to reproduce: arm the same n), and it fails the test when the fault
// still fires far beyond the counted calls, since then the session is not deterministic and the
// sweep would not end.
//
// Beyond kDenseRuns fault points the sweep steps through n with a stride that keeps the number
// of runs near that figure; KP_FAULT_EVERY_N=1 in the environment makes it take every n.
#pragma once
#include <functional>

#include "SqliteFaults.h"

namespace kp::fault {

struct SweepStats {
  long calls = 0;  // calls of the kind in the session without a fault
  long runs = 0;   // runs with a fault armed
  long hits = 0;   // runs in which the fault fired
};

class FaultSweep {
 public:
  static constexpr long kDenseRuns = 1500;
  static SweepStats Run(FaultKind kind, bool persistent, const std::function<void(long n)>& session);
};

}  // namespace kp::fault
