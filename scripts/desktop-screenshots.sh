#!/usr/bin/env bash
# Draws the pictures of sectionview in the README (docs/images/sectionview-before.png,
# sectionview-after.png and sectionview-dialog.png) on Qt's offscreen platform: the window on
# the sample section with a pick in progress, the stratum dialog, and the window after the
# stratum command. Usage: scripts/desktop-screenshots.sh [BUILD_BIN]  (default build/bin)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bin="$(cd "${1:-$root/build/bin}" && pwd)"
mkdir -p "$root/docs/images"
cd "$bin"
KP_SCREENSHOT_DIR="$root/docs/images" QT_QPA_PLATFORM=offscreen \
  ./test_sectionview --gtest_filter=Screenshots.BeforeAndAfterTheStratumCommand
ls -l "$root"/docs/images/sectionview-*.png
