// Drives the window as a person would, through steps that wait for what the window shows.
// The host's dialogs and message boxes run nested event loops inside the call that opened them
// (a click on a curve opens the stratum dialog and returns only when it closes), so a test
// cannot act between two lines of its own code: it hands UiScript a list of steps, each a
// condition to wait for and what to do then, and starts the script; a timer inside whatever
// event loop is running checks the next step's condition every kPollMs.
//
// Run answers true when every step ran before the deadline; otherwise the description of the
// step that was waited for is in Failed().
#pragma once
#include <functional>
#include <string>
#include <vector>

namespace sectionhost::testing_support {

struct UiStep {
  std::string what;
  std::function<bool()> ready;
  std::function<void()> act;
};

class UiScript {
 public:
  static constexpr int kPollMs = 10;

  explicit UiScript(std::vector<UiStep> steps) : steps_(std::move(steps)) {}
  // Calls start() (which may block in a nested loop while the steps run), then waits for the
  // remaining steps up to `timeoutMs` in all.
  bool Run(const std::function<void()>& start, int timeoutMs);
  const std::string& Failed() const { return failed_; }

 private:
  std::vector<UiStep> steps_;
  size_t next_ = 0;
  std::string failed_;
};

// Processes events until ready() answers true or `timeoutMs` has passed; answers ready().
bool WaitUntil(const std::function<bool()>& ready, int timeoutMs);

}  // namespace sectionhost::testing_support
