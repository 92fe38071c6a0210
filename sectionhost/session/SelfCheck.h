// The host's check of itself (--self-check): it starts a session on the map given (or on an
// empty one), exercises the map control and the VOIntArray class through the same wrappers a
// plug-in uses, and reports "self-check OK" on the output stream, or each failure on the error
// stream. Exit status 0 when all is well, 1 otherwise. No plug-in is loaded.
#pragma once
#include <ostream>

#include "HostOptions.h"

namespace sectionhost {

class SelfCheck {
 public:
  static int Run(const HostOptions& options, std::ostream& out, std::ostream& err);
};

}  // namespace sectionhost
