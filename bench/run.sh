#!/usr/bin/env bash
# Runs the benchmarks on demand (never from the tests): an optimised native build, each figure the
# median of five runs, against the reference tools measured in the same run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash cmake/setup.sh
cmake --preset bench >/dev/null
cmake --build --preset bench --target sha_bench identify_bench download_bench process_bench adopt_bench helper_child
bin=build/bench/bench
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
# Seconds of one run of a command, measured here so that every tool is timed the same way.
seconds() { local s e; s=$(date +%s.%N); "$@" >/dev/null; e=$(date +%s.%N); awk "BEGIN { print $e - $s }"; }
ratio() { awk "BEGIN { print $1 / $2 }"; }
runs() { for _ in 1 2 3 4 5; do seconds "$@"; done | median; }

echo "generating 1 GiB of random data"
head -c 1073741824 /dev/urandom > "$work/data.bin"
cat "$work/data.bin" > /dev/null   # into the page cache before the first timing

kernels=$("$bin/sha_bench" sha1 x86-sha /dev/null >/dev/null 2>&1 && echo "portable x86-sha" || echo portable)
for digest in sha1 sha256; do
  coreutils=$(runs "${digest}sum" "$work/data.bin")
  openssl=$(runs openssl dgst "-$digest" "$work/data.bin")
  printf '%s over 1 GiB: %ssum %.3f s, openssl %.3f s\n' "$digest" "$digest" "$coreutils" "$openssl"
  for kernel in $kernels; do
    ours=$(runs "$bin/sha_bench" "$digest" "$kernel" "$work/data.bin")
    printf '  ours (%s) %.3f s: %.2f x the speed of %ssum, %.2f x that of openssl\n' "$kernel" "$ours" \
      "$(ratio "$coreutils" "$ours")" "$digest" "$(ratio "$openssl" "$ours")"
  done
done

times=$(for _ in 1 2 3 4 5; do "$bin/identify_bench" "$work"; done | median)
printf 'IdentifyGame on a sparse whole-disc image (7.4 GB partition, 6,300 entries, 3 MiB XBE): %.4f s\n' "$times"

# Writing a copy of 1 GiB: adopting the image where no hard link can be made, against dd and cp in
# the same run. Each run writes its target anew and ends with sync, so the disk is measured, not
# the page cache; the three take turns, so that a change in the machine's load hits each alike.
disk_run() {
  local target=$1
  shift
  rm -rf "$target"
  sync
  seconds sh -c '"$@" && sync' sh "$@"
}
for _ in 1 2 3 4 5; do
  disk_run "$work/dd.bin" dd if="$work/data.bin" of="$work/dd.bin" bs=8M status=none >>"$work/dd.times"
  disk_run "$work/cp.bin" cp "$work/data.bin" "$work/cp.bin" >>"$work/cp.times"
  disk_run "$work/adopt" "$bin/adopt_bench" "$work/data.bin" "$work/adopt" >>"$work/adopt.times"
done
rm -rf "$work/dd.bin" "$work/cp.bin" "$work/adopt"
dd_time=$(median <"$work/dd.times")
cp_time=$(median <"$work/cp.times")
adopt_time=$(median <"$work/adopt.times")
printf 'copy of 1 GiB to disk, with sync: dd bs=8M %.3f s, cp %.3f s, AdoptGame %.3f s: %.2f x dd'"'"'s rate, %.2f x cp'"'"'s\n' \
  "$dd_time" "$cp_time" "$adopt_time" "$(ratio "$dd_time" "$adopt_time")" "$(ratio "$cp_time" "$adopt_time")"
echo "  each run: dd $(tr '\n' ' ' <"$work/dd.times")| cp $(tr '\n' ' ' <"$work/cp.times")| AdoptGame $(tr '\n' ' ' <"$work/adopt.times")"

# A 1 GiB download from the loopback server, without a digest, against curl in the same run; then
# the Windows client under Wine, for the record.
mkdir -p "$work/served"
mv "$work/data.bin" "$work/served/data.bin"
setsid python3 tests/support/loopback_server.py "$work/served" "$work/state" --seconds 600 </dev/null >/dev/null 2>&1 &
server=$!
trap 'kill $server 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do [ -f "$work/state" ] && break; sleep 0.1; done
url="http://127.0.0.1:$(sed -n 's/^http=//p' "$work/state")/files/data.bin"
curl_time=$(runs curl -s -o "$work/curl.bin" "$url")
ours_time=$(for _ in 1 2 3 4 5; do "$bin/download_bench" "$url" "$work/ours.bin"; done | median)
rm -f "$work/curl.bin" "$work/ours.bin"
gib=1.073741824
echo "one run of a program that exits at once (median of 200): native $("$bin/process_bench" build/bench/bin/helper_child)"
printf 'download of 1 GiB over loopback: curl %.3f s (%.2f GB/s), ours %.3f s (%.2f GB/s): %.2f x curl'"'"'s rate\n' \
  "$curl_time" "$(ratio $gib "$curl_time")" "$ours_time" "$(ratio $gib "$ours_time")" "$(ratio "$curl_time" "$ours_time")"

if [ -x /usr/lib/wine/wine64 ]; then
  cmake --preset windows >/dev/null
  cmake --build --preset windows --target download_bench process_bench adopt_bench helper_child
  wine_time=$(
    source cmake/wine-session.sh
    wine_session_start build/windows >/dev/null
    for _ in 1 2 3 4 5; do
      build/windows/wine-run.sh build/windows/bench/download_bench.exe "$url" "Z:$work/wine.bin"
    done | tr -d '\r' | median)
  rm -f "$work/wine.bin"
  printf 'the same with WinHTTP under Wine: %.3f s (%.2f GB/s)\n' "$wine_time" "$(ratio $gib "$wine_time")"
  echo "one run of a program that exits at once under Wine (median of 200): $(
    source cmake/wine-session.sh
    wine_session_start build/windows >/dev/null
    build/windows/wine-run.sh build/windows/bench/process_bench.exe 'Z:'"$PWD"'/build/windows/bin/helper_child.exe' | tr -d '\r')"
  wine_adopt=$(
    source cmake/wine-session.sh
    wine_session_start build/windows >/dev/null
    for _ in 1 2 3 4 5; do
      disk_run "$work/wine-adopt" build/windows/wine-run.sh build/windows/bench/adopt_bench.exe \
        "Z:$work/served/data.bin" "Z:$work/wine-adopt"
    done | median)
  rm -rf "$work/wine-adopt"
  printf 'AdoptGame'"'"'s copy of 1 GiB under Wine, with sync: %.3f s (%.2f x the native dd'"'"'s rate)\n' \
    "$wine_adopt" "$(ratio "$dd_time" "$wine_adopt")"
fi
