// A watchdog for tests of code that could hang or crash: the code runs in a forked child, and the
// parent waits for it up to a deadline, then kills it. A test asserts on the outcome (finished,
// its exit code, or the signal that ended it) instead of timing anything itself, and a fault in
// the code under test fails the test instead of taking the test program (or all memory) with it.
//
// The child answers through its exit code (the body's return value, 0..255) and leaves with
// _exit, so the parent's gtest state and buffered output are not run twice. Without sanitizers
// the child's address space is capped (kChildMemoryLimit), so a runaway allocation ends in a
// failed allocation rather than in the machine's swap; with AddressSanitizer the cap is left off
// (its shadow memory needs the address space).
#pragma once
#include <chrono>
#include <cstddef>
#include <functional>
#include <string>

namespace sectionhost::testing_support {

inline constexpr size_t kChildMemoryLimit = size_t{2} << 30;  // 2 GiB

struct ChildOutcome {
  bool finished = false;  // ended before the deadline
  bool exited = false;    // by _exit (else killed by a signal)
  int exitCode = -1;
  int signal = 0;
  std::string Describe() const;  // "exit 0", "signal 11", "still running at the deadline"
};

// Runs body() in a child process; answers how the child ended. The body must not use gtest
// assertions (they would report in the child): it returns 0 for success, another code to say
// what went wrong.
ChildOutcome RunInChild(const std::function<int()>& body, std::chrono::milliseconds deadline);

}  // namespace sectionhost::testing_support
