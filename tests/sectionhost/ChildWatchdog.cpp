// The forked-child watchdog of the host's tests; see ChildWatchdog.h.
#include "ChildWatchdog.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <thread>

namespace sectionhost::testing_support {

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kCapMemory = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kCapMemory = false;
#else
constexpr bool kCapMemory = true;
#endif
#else
constexpr bool kCapMemory = true;
#endif

constexpr std::chrono::milliseconds kPoll{5};

}  // namespace

std::string ChildOutcome::Describe() const {
  if (!finished) return "still running at the deadline";
  if (exited) return "exit " + std::to_string(exitCode);
  return "signal " + std::to_string(signal);
}

ChildOutcome RunInChild(const std::function<int()>& body, std::chrono::milliseconds deadline) {
  std::fflush(nullptr);
  ChildOutcome outcome;
  pid_t pid = fork();
  if (pid < 0) return outcome;
  if (pid == 0) {
    if (kCapMemory) {
      rlimit limit = {kChildMemoryLimit, kChildMemoryLimit};
      setrlimit(RLIMIT_AS, &limit);
    }
    int code = 125;
    try {
      code = body();
    } catch (...) {
      code = 124;
    }
    std::fflush(nullptr);
    _exit(code);
  }
  const auto end = std::chrono::steady_clock::now() + deadline;
  int status = 0;
  for (;;) {
    pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) {
      outcome.finished = true;
      break;
    }
    if (done < 0 || std::chrono::steady_clock::now() >= end) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return outcome;
    }
    std::this_thread::sleep_for(kPoll);
  }
  if (WIFEXITED(status)) {
    outcome.exited = true;
    outcome.exitCode = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    outcome.signal = WTERMSIG(status);
  }
  return outcome;
}

}  // namespace sectionhost::testing_support
