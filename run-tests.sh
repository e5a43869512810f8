#!/usr/bin/env bash
# Builds every build (linux, linux-asan, linux-tsan, windows) and runs every test; the Windows tests
# run under Wine. Installs what is missing first.
set -euo pipefail
cd "$(dirname "$0")"
bash cmake/setup.sh

for preset in linux linux-asan; do
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done

echo "== linux-tsan"
cmake --preset linux-tsan >/dev/null
cmake --build --preset linux-tsan
# ThreadSanitizer stops with "unexpected memory mapping" on kernels that randomise mmap widely: run
# without address randomisation where the machine lets us turn it off.
no_aslr=()
if setarch "$(uname -m)" -R true 2>/dev/null; then
  no_aslr=(setarch "$(uname -m)" -R)
fi
"${no_aslr[@]}" ctest --preset linux-tsan

echo "== windows"
cmake --preset windows >/dev/null
cmake --build --preset windows
source cmake/wine-session.sh
wine_session_start build/windows
ctest --preset windows
