#!/usr/bin/env bash
# Builds the program and starts it. The program folder is staged in build/program/.
set -euo pipefail
top="$(cd "$(dirname "$0")" && pwd)"
"$top/scripts/install-deps"
"$top/scripts/build"
program="$top/build/program/gifclipmaker"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display is available (DISPLAY and WAYLAND_DISPLAY are not set): the program window cannot be shown." >&2
  echo "Start it from a desktop session, or under a virtual display: xvfb-run -a $program" >&2
  exit 2
fi
exec "$program"
