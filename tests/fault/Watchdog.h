// A deadline for a test that could hang (a server that never answers, a lock never released):
// the process ends with a message when the scope is not left within the given time, so the
// test fails instead of stalling the suite. Not a timing assertion: the limit is far above
// what the test needs.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace kp::fault {

class Watchdog {
 public:
  explicit Watchdog(int seconds)
      : thread_([this, seconds] {
          std::unique_lock<std::mutex> hold(lock_);
          if (!wake_.wait_for(hold, std::chrono::seconds(seconds), [this] { return done_; })) {
            std::fprintf(stderr, "watchdog: the test did not finish within %d s\n", seconds);
            std::abort();
          }
        }) {}
  ~Watchdog() {
    {
      std::lock_guard<std::mutex> hold(lock_);
      done_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }

 private:
  std::mutex lock_;
  std::condition_variable wake_;
  bool done_ = false;
  std::thread thread_;
};

}  // namespace kp::fault
