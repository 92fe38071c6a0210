#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests and the demo need. A no-op when they
# are all present; otherwise one apt-get update and one install.
set -euo pipefail
packages=(
  build-essential cmake pkg-config
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libsqlite3-dev sqlite3 libxml2-dev nlohmann-json3-dev libsimdjson-dev libedit-dev
  unixodbc unixodbc-dev odbc-postgresql libsqliteodbc tdsodbc odbc-mdbtools postgresql
  libsoci-dev libboost-dev libpq-dev
  tmux ccache
  qt6-base-dev qt6-svg-dev fonts-noto-cjk xvfb xauth xdotool
  libgdal-dev gdal-bin
  clang libclang-rt-14-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
