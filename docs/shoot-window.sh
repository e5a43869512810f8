#!/usr/bin/env bash
# Takes the README's picture of the launcher's window: launcher.exe from a temporary folder, under
# Wine in a prefix of its own on an Xvfb of its own, shot with ImageMagick's import and closed by the
# helper child's window mode. Writes docs/launcher-window.png, or the file named.
set -euo pipefail
cd "$(dirname "$0")/.."
picture=$(realpath -m "${1:-docs/launcher-window.png}")
bash cmake/setup.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target launcher helper_child
work=$(mktemp -d)
mkdir "$work/launcher"
cp build/windows/app/launcher.exe "$work/launcher/launcher.exe"
source cmake/wine-session.sh
source cmake/launcher-window.sh
wine_session_start build/windows --own-display --prefix "$work/prefix"
trap 'wine_session_stop; rm -rf "$work"' EXIT
launcher_window_open build/windows/wine-run.sh build/windows/bin/helper_child.exe "$work/launcher/launcher.exe"
shot=0
launcher_window_shoot "Velmora - Launcher" "$work/window.png" || shot=$?
code=0
launcher_window_close || code=$?
[ "$shot" -eq 0 ] || exit 1
if [ "$code" -ne 0 ]; then
  echo "launcher.exe ended with exit code $code" >&2
  exit 1
fi
# No time stamps in the file, so that the same window gives the same bytes.
convert "$work/window.png" -strip -define png:exclude-chunks=date,time "$picture"
echo "$picture: $(identify -format '%wx%h, %k colours' "$picture")"
