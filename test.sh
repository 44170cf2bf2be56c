#!/usr/bin/env bash
# Installs what is missing, checks the sources' format, builds (warnings are errors) and
# the fuzz targets (compiled, not run), and runs every test with ctest under Qt's
# offscreen platform. Integration tests start their own private D-Bus buses.
set -euo pipefail
source "$(dirname "$0")/scripts/setup.sh"
korvel_install_packages
korvel_check_format
korvel_build
korvel_build_fuzz
cd "$KORVEL_BUILD"
export QT_QPA_PLATFORM=offscreen
ctest --output-on-failure --timeout 300 -j 2
