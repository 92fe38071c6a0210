// Raw terminal input; see RawMode.h.
#include "RawMode.h"

#include <unistd.h>

namespace sectionhost {

RawMode::RawMode(int fd) : fd_(fd) {
  if (!isatty(fd_) || tcgetattr(fd_, &saved_) != 0) return;
  termios raw = saved_;
  raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | IEXTEN);
  raw.c_iflag &= ~static_cast<tcflag_t>(ICRNL | INLCR | IXON);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  active_ = tcsetattr(fd_, TCSANOW, &raw) == 0;
}

RawMode::~RawMode() {
  if (active_) tcsetattr(fd_, TCSANOW, &saved_);
}

}  // namespace sectionhost
