#!/usr/bin/env bash
# Installs what is missing, builds, then starts cadhost with the bundled sample
# drawing and tarnix beside it. Without a display both run under Xvfb and a
# screenshot of the screen is written to ./screenshot.png.
set -euo pipefail
source "$(dirname "$0")/scripts/setup.sh"
korvel_install_packages
korvel_build
exec "$KORVEL_ROOT/scripts/launch.sh"
