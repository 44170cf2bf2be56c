#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test with ctest under Qt's
# offscreen platform. Integration tests start their own private D-Bus buses.
set -euo pipefail
source "$(dirname "$0")/scripts/setup.sh"
korvel_install_packages
korvel_build
cd "$KORVEL_BUILD"
export QT_QPA_PLATFORM=offscreen
ctest --output-on-failure --timeout 300 -j 2
