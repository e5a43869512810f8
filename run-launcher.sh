#!/usr/bin/env bash
# Builds launcher.exe and starts it under Wine on the user's display. Without a display (or under
# CI) it runs on an Xvfb of its own: the window's picture is saved, the window closed, and the
# script ends with launcher.exe's exit code. Installs what is missing first.
set -euo pipefail
cd "$(dirname "$0")"
bash cmake/setup.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target launcher helper_child
source cmake/wine-session.sh
source cmake/launcher-window.sh
headless=
if [ -z "${DISPLAY:-}" ] || [ -n "${CI:-}" ]; then headless=1; fi
wine_session_start build/windows
code=0
if [ -z "$headless" ]; then
  build/windows/wine-run.sh build/windows/app/launcher.exe "$@" || code=$?
else
  picture="$PWD/build/windows/launcher-window.png"
  launcher_window_open build/windows/wine-run.sh build/windows/bin/helper_child.exe build/windows/app/launcher.exe "$@" || {
    echo "launcher.exe showed no window" >&2
    exit 1
  }
  shot=0
  launcher_window_shoot "Velmora - Launcher" "$picture" || shot=$?
  launcher_window_close || code=$?
  if [ "$shot" -eq 0 ]; then
    echo "No display: launcher.exe ran under Xvfb; a picture of its window is in $picture"
  fi
fi
echo "launcher.exe ended with exit code $code"
exit "$code"
