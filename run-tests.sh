#!/usr/bin/env bash
# Builds every build (linux, linux-asan, windows) and runs every test; the Windows tests run under
# Wine. Installs what is missing first.
set -euo pipefail
cd "$(dirname "$0")"
bash cmake/setup.sh

for preset in linux linux-asan; do
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done

echo "== windows"
cmake --preset windows >/dev/null
cmake --build --preset windows
source cmake/wine-session.sh
wine_session_start build/windows
ctest --preset windows
