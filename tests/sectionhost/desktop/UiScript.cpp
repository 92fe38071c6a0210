// Steps that drive the window; see UiScript.h.
#include "UiScript.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace sectionhost::testing_support {

bool UiScript::Run(const std::function<void()>& start, int timeoutMs) {
  QElapsedTimer clock;
  clock.start();
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    // A step's action may open a nested loop of its own (a click that opens a dialog), in
    // which this timer fires again and the steps after it run.
    if (next_ >= steps_.size() || !steps_[next_].ready()) return;
    UiStep& step = steps_[next_++];
    step.act();
  });
  timer.start(kPollMs);
  if (start) start();
  while (next_ < steps_.size() && clock.elapsed() < timeoutMs) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  timer.stop();
  if (next_ < steps_.size()) failed_ = steps_[next_].what;
  return next_ >= steps_.size();
}

bool WaitUntil(const std::function<bool()>& ready, int timeoutMs) {
  QElapsedTimer clock;
  clock.start();
  QTimer tick;  // wakes the loop while nothing else happens
  tick.start(UiScript::kPollMs);
  while (!ready() && clock.elapsed() < timeoutMs)
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  return ready();
}

}  // namespace sectionhost::testing_support
