#!/usr/bin/env bash
# Builds the program and starts it. The program folder is staged in build/program/.
set -euo pipefail
top="$(cd "$(dirname "$0")" && pwd)"
"$top/scripts/install-deps"
"$top/scripts/build"
program="$top/build/program/gifclipmaker"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display is available (DISPLAY and WAYLAND_DISPLAY are not set): the program window cannot be shown." >&2
  echo "To see the window, start it under a virtual display: xvfb-run -a $program" >&2
  sample="$top/build/program/Sample.mp4"
  if [ ! -f "$sample" ]; then
    exit 2
  fi
  echo "Converting the bundled sample video with the command-line converter instead:" >&2
  "$top/build/program/gifclipmaker-cli" "$sample" "$top/build/Sample.gif" --size half --fps 10
  echo "The GIF is at $top/build/Sample.gif"
  exit 0
fi
exec "$program"
