#!/usr/bin/env bash
# Lists what the platform does not implement: every use of the not-implemented marker
# (KP_NOT_IMPLEMENTED, or kp::LogNotImplemented where a gap answers something other than
# E_NOTIMPL), one line each, "file:line: function". docs/gaps.md keeps the list with notes.
set -euo pipefail
cd "$(dirname "$0")/.."
grep -rn --include='*.cpp' --include='*.h' -E 'KP_NOT_IMPLEMENTED\("|LogNotImplemented\("' platform |
  grep -v 'platform/include/kp/kpnotimpl.h' |
  sed -E 's/^([^:]+:[0-9]+):.*(KP_NOT_IMPLEMENTED|LogNotImplemented)\("([^"]*)".*/\1: \3/' | sort -t: -k1,1 -k2,2n
