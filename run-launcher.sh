#!/usr/bin/env bash
# Builds launcher.exe and starts it under Wine. Installs what is missing first.
set -euo pipefail
cd "$(dirname "$0")"
bash cmake/setup.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target launcher
source cmake/wine-session.sh
wine_session_start build/windows
set +e
build/windows/wine-run.sh build/windows/app/launcher.exe "$@"
code=$?
set -e
echo "launcher.exe ended with exit code $code"
exit "$code"
