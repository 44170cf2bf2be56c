#!/usr/bin/env bash
# Shared set-up of run.sh and test.sh: installs what a fresh Debian 12 machine lacks,
# then configures and builds. Sourced, not run.
set -euo pipefail

KORVEL_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
KORVEL_BUILD="${KORVEL_BUILD:-$KORVEL_ROOT/build}"

KORVEL_PACKAGES=(
  build-essential cmake ninja-build pkg-config clang-format dpkg-dev file
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev
  libgtest-dev libgmock-dev
  libdxflib-dev libwmf-dev libwmf-bin liblua5.4-dev libzip-dev
  libxcb1-dev libxcb-ewmh-dev
  dbus dbus-x11 xvfb x11-utils xdotool imagemagick openbox
  fonts-ipafont-gothic fonts-ipafont-mincho
  python3 python3-openpyxl python3-ezdxf
  clang libclang-rt-14-dev
)

korvel_install_packages() {
  local missing=()
  for p in "${KORVEL_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# Our C++ sources must be laid out as .clang-format says; prints the differences and
# fails when any file is not.
korvel_check_format() {
  local files
  mapfile -t files < <(cd "$KORVEL_ROOT" &&
    find src cadhost metafile automation platform tests bench fuzz \
      \( -name '*.cpp' -o -name '*.h' \) -type f | sort)
  [ ${#files[@]} -eq 0 ] && { echo "no C++ sources found under $KORVEL_ROOT" >&2; return 1; }
  (cd "$KORVEL_ROOT" && clang-format --style=file --dry-run --Werror "${files[@]}")
}

# The fuzz targets (fuzz/, a project of its own for clang's libFuzzer) are built so that
# they cannot rot, never run here: after the main build, as they share its sources.
korvel_build_fuzz() {
  local dir="${KORVEL_BUILD}-fuzz"
  CC=clang CXX=clang++ cmake -S "$KORVEL_ROOT/fuzz" -B "$dir" -G Ninja
  cmake --build "$dir" -j 2
}

korvel_build() {
  # Optimised as a user runs the programs, without the debug information that took a
  # fifth of every compile and most of every link of the tests.
  cmake -S "$KORVEL_ROOT" -B "$KORVEL_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG"
  # One job per core; the machine has memory to spare for that.
  cmake --build "$KORVEL_BUILD" -j "$(nproc)"
}
