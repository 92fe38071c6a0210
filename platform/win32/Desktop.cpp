// The installed desktop (kpdesktop.h). One pointer for the process: the host installs its
// desktop before it shows anything; null means headless.
#include <atomic>

#include "kp/kpdesktop.h"

namespace kp {
namespace {
std::atomic<Desktop*> g_desktop{nullptr};
}  // namespace

Desktop::~Desktop() = default;

void SetDesktop(Desktop* desktop) {
  g_desktop.store(desktop);
}

Desktop* GetDesktop() {
  return g_desktop.load();
}

}  // namespace kp
