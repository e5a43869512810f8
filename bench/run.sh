#!/usr/bin/env bash
# Runs the benchmarks on demand (never from the tests): an optimised native build, each figure the
# median of five runs, against the reference tools measured in the same run.
#   bench/run.sh [sha] [identify] [adopt] [download] [process] [zip] [disk_use]   (all when none is named)
set -euo pipefail
cd "$(dirname "$0")/.."
chosen=("$@")
[ ${#chosen[@]} -gt 0 ] || chosen=(sha identify adopt download process zip disk_use)
wanted() { local name; for name in "${chosen[@]}"; do [ "$name" = "$1" ] && return 0; done; return 1; }

reference_tools=()
wanted zip && reference_tools+=(libarchive-tools unzip)
bash cmake/setup.sh "${reference_tools[@]}"
cmake --preset bench >/dev/null
cmake --build --preset bench --target sha_bench identify_bench download_bench process_bench zip_bench adopt_bench \
  disk_use_bench helper_child
bin=build/bench/bench
work=$(mktemp -d)
server=
cleanup() {
  [ -z "$server" ] || kill "$server" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
# Seconds of one run of a command, measured here so that every tool is timed the same way.
seconds() { local s e; s=$(date +%s.%N); "$@" >/dev/null; e=$(date +%s.%N); awk "BEGIN { print $e - $s }"; }
ratio() { awk "BEGIN { print $1 / $2 }"; }
runs() { for _ in 1 2 3 4 5; do seconds "$@"; done | median; }
have_wine() { [ -x /usr/lib/wine/wine64 ]; }
windows_build() {
  cmake --preset windows >/dev/null
  cmake --build --preset windows --target "$@"
}

data_bin() {
  if [ ! -f "$work/data.bin" ]; then
    echo "generating 1 GiB of random data"
    head -c 1073741824 /dev/urandom > "$work/data.bin"
    cat "$work/data.bin" > /dev/null   # into the page cache before the first timing
  fi
}

bench_sha() {
  data_bin
  local kernels digest coreutils openssl kernel ours
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
}

bench_identify() {
  local times
  times=$(for _ in 1 2 3 4 5; do "$bin/identify_bench" "$work"; done | median)
  printf 'IdentifyGame on a sparse whole-disc image (7.4 GB partition, 6,300 entries, 3 MiB XBE): %.4f s\n' "$times"
}

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
bench_adopt() {
  data_bin
  rm -f "$work/dd.times" "$work/cp.times" "$work/adopt.times"
  for _ in 1 2 3 4 5; do
    disk_run "$work/dd.bin" dd if="$work/data.bin" of="$work/dd.bin" bs=8M status=none >>"$work/dd.times"
    disk_run "$work/cp.bin" cp "$work/data.bin" "$work/cp.bin" >>"$work/cp.times"
    disk_run "$work/adopt" "$bin/adopt_bench" "$work/data.bin" "$work/adopt" >>"$work/adopt.times"
  done
  rm -rf "$work/dd.bin" "$work/cp.bin" "$work/adopt"
  local dd_time cp_time adopt_time wine_adopt
  dd_time=$(median <"$work/dd.times")
  cp_time=$(median <"$work/cp.times")
  adopt_time=$(median <"$work/adopt.times")
  printf 'copy of 1 GiB to disk, with sync: dd bs=8M %.3f s, cp %.3f s, AdoptGame %.3f s: %.2f x dd'"'"'s rate, %.2f x cp'"'"'s\n' \
    "$dd_time" "$cp_time" "$adopt_time" "$(ratio "$dd_time" "$adopt_time")" "$(ratio "$cp_time" "$adopt_time")"
  echo "  each run: dd $(tr '\n' ' ' <"$work/dd.times")| cp $(tr '\n' ' ' <"$work/cp.times")| AdoptGame $(tr '\n' ' ' <"$work/adopt.times")"
  if have_wine; then
    windows_build adopt_bench
    wine_adopt=$(
      source cmake/wine-session.sh
      wine_session_start build/windows >/dev/null
      for _ in 1 2 3 4 5; do
        disk_run "$work/wine-adopt" build/windows/wine-run.sh build/windows/bench/adopt_bench.exe \
          "Z:$work/data.bin" "Z:$work/wine-adopt"
      done | median)
    rm -rf "$work/wine-adopt"
    printf 'AdoptGame'"'"'s copy of 1 GiB under Wine, with sync: %.3f s (%.2f x the native dd'"'"'s rate)\n' \
      "$wine_adopt" "$(ratio "$dd_time" "$wine_adopt")"
  fi
}

# A 1 GiB download from the loopback server, without a digest, against curl in the same run; then
# the Windows client under Wine, for the record.
bench_download() {
  data_bin
  mkdir -p "$work/served"
  mv "$work/data.bin" "$work/served/data.bin"
  setsid python3 tests/support/loopback_server.py "$work/served" "$work/state" --seconds 600 </dev/null >/dev/null 2>&1 &
  server=$!
  for _ in $(seq 100); do [ -f "$work/state" ] && break; sleep 0.1; done
  local url curl_time ours_time wine_time gib=1.073741824
  url="http://127.0.0.1:$(sed -n 's/^http=//p' "$work/state")/files/data.bin"
  curl_time=$(runs curl -s -o "$work/curl.bin" "$url")
  ours_time=$(for _ in 1 2 3 4 5; do "$bin/download_bench" "$url" "$work/ours.bin"; done | median)
  rm -f "$work/curl.bin" "$work/ours.bin"
  printf 'download of 1 GiB over loopback: curl %.3f s (%.2f GB/s), ours %.3f s (%.2f GB/s): %.2f x curl'"'"'s rate\n' \
    "$curl_time" "$(ratio $gib "$curl_time")" "$ours_time" "$(ratio $gib "$ours_time")" "$(ratio "$curl_time" "$ours_time")"
  if have_wine; then
    windows_build download_bench
    wine_time=$(
      source cmake/wine-session.sh
      wine_session_start build/windows >/dev/null
      for _ in 1 2 3 4 5; do
        build/windows/wine-run.sh build/windows/bench/download_bench.exe "$url" "Z:$work/wine.bin"
      done | tr -d '\r' | median)
    rm -f "$work/wine.bin"
    printf 'the same with WinHTTP under Wine: %.3f s (%.2f GB/s)\n' "$wine_time" "$(ratio $gib "$wine_time")"
  fi
  kill "$server" 2>/dev/null || true
  server=
  mv "$work/served/data.bin" "$work/data.bin"
}

bench_process() {
  echo "one run of a program that exits at once (median of 200): native $("$bin/process_bench" build/bench/bin/helper_child)"
  if have_wine; then
    windows_build process_bench helper_child
    echo "one run of a program that exits at once under Wine (median of 200): $(
      source cmake/wine-session.sh
      wine_session_start build/windows >/dev/null
      build/windows/wine-run.sh build/windows/bench/process_bench.exe 'Z:'"$PWD"'/build/windows/bin/helper_child.exe' | tr -d '\r')"
  fi
}

# Extraction of a zip of about 1 GB (large incompressible files, large compressible ones, 20,000
# small files) against bsdtar and unzip, each into a fresh folder in memory so that the extractor is
# measured and not the disk; the tools take turns.
bench_zip() {
  local shm=/dev/shm need=$((3 * 1024 * 1024 * 1024)) free
  free=$(df --output=avail -B1 "$shm" | tail -n 1 | tr -d ' ')
  if [ "$free" -lt "$need" ]; then
    echo "zip benchmark refused: $shm has $((free / 1024 / 1024)) MiB free, it needs 3 GiB"
    return 0
  fi
  local zwork
  zwork=$(mktemp -d "$shm/zip-bench.XXXXXX")
  # Removed on every way out of this function and of the script.
  trap 'rm -rf "$zwork"; cleanup' EXIT
  echo "making the zip input"
  python3 bench/zip_input.py "$zwork/tree"
  (cd "$zwork/tree" && zip -q -r "$zwork/input.zip" .)
  rm -rf "$zwork/tree"
  local entries size
  entries=$(unzip -Z1 "$zwork/input.zip" | wc -l)
  size=$(unzip -Zt "$zwork/input.zip" | awk '{print $3}')
  printf 'zip of %s entries, %.2f GB unpacked, %.2f GB packed\n' "$entries" "$(ratio "$size" 1e9)" \
    "$(ratio "$(stat -c %s "$zwork/input.zip")" 1e9)"

  extract_bsdtar() { bsdtar -xf "$zwork/input.zip" -C "$1"; }
  extract_unzip() { unzip -q "$zwork/input.zip" -d "$1"; }
  extract_ours() { "$bin/zip_bench" "$zwork/input.zip" "$1"; }
  local tool
  for _ in 1 2 3 4 5; do
    for tool in bsdtar unzip ours; do
      rm -rf "$zwork/out"
      mkdir "$zwork/out"
      seconds "extract_$tool" "$zwork/out" >> "$zwork/$tool.times"
    done
  done
  local bsdtar unzip ours faster gb
  bsdtar=$(median < "$zwork/bsdtar.times")
  unzip=$(median < "$zwork/unzip.times")
  ours=$(median < "$zwork/ours.times")
  faster=$(awk "BEGIN { print ($bsdtar < $unzip) ? $bsdtar : $unzip }")
  gb=$(ratio "$size" 1e9)
  printf 'zip extraction: bsdtar -xf %.3f s (%.2f GB/s), unzip -q %.3f s (%.2f GB/s), ours %.3f s (%.2f GB/s): %.2f x the faster tool'"'"'s rate\n' \
    "$bsdtar" "$(ratio "$gb" "$bsdtar")" "$unzip" "$(ratio "$gb" "$unzip")" "$ours" "$(ratio "$gb" "$ours")" \
    "$(ratio "$faster" "$ours")"

  if have_wine; then
    windows_build zip_bench
    local wine_time
    wine_time=$(
      source cmake/wine-session.sh
      wine_session_start build/windows >/dev/null
      for _ in 1 2 3 4 5; do
        rm -rf "$zwork/out"
        mkdir "$zwork/out"
        seconds build/windows/wine-run.sh build/windows/bench/zip_bench.exe "Z:$zwork/input.zip" "Z:$zwork/out"
      done | median)
    printf 'the same under Wine: %.3f s (%.2f GB/s)\n' "$wine_time" "$(ratio "$gb" "$wine_time")"
  fi
  rm -rf "$zwork"
  trap cleanup EXIT
}

# The size of 200,000 build files in about 400 folders, against du -sb on the same tree, with a warm
# cache; the tools take turns. du also counts the folders, so the sum is checked against find's.
bench_disk_use() {
  local base="$work/disk-use" out
  out="$base/source/out"
  echo "making 200,000 build files"
  python3 bench/disk_use_tree.py "$out"
  local files folders expected ours walk
  files=$(find "$out" -type f | wc -l)
  folders=$(find "$out" -mindepth 1 -type d | wc -l)
  expected=$(find "$out" -type f -printf '%s\n' | awk '{ s += $1 } END { printf "%.0f", s }')
  ours=$("$bin/disk_use_bench" "$base")
  walk=$("$bin/disk_use_bench" --walk-tree "$base")
  du -sb "$out" >/dev/null
  if [ "$ours" != "$expected" ] || [ "$walk" != "$expected" ]; then
    echo "disk use: BuildFilesSize says $ours, the walk $walk, find's sizes add up to $expected"
    return 1
  fi
  rm -f "$work"/du.times "$work"/ours.times "$work"/walk.times
  for _ in 1 2 3 4 5; do
    seconds du -sb "$out" >>"$work/du.times"
    seconds "$bin/disk_use_bench" "$base" >>"$work/ours.times"
    seconds "$bin/disk_use_bench" --walk-tree "$base" >>"$work/walk.times"
  done
  local du_time ours_time walk_time
  du_time=$(median <"$work/du.times")
  ours_time=$(median <"$work/ours.times")
  walk_time=$(median <"$work/walk.times")
  printf 'size of %s files in %s folders (%s bytes, as find adds them up): du -sb %.3f s, BuildFilesSize %.3f s: %.2f x du'"'"'s time; WalkTree and a size query a file %.3f s: %.2f x\n' \
    "$files" "$folders" "$ours" "$du_time" "$ours_time" "$(ratio "$ours_time" "$du_time")" "$walk_time" \
    "$(ratio "$walk_time" "$du_time")"
  echo "  each run: du $(tr '\n' ' ' <"$work/du.times")| BuildFilesSize $(tr '\n' ' ' <"$work/ours.times")| WalkTree $(tr '\n' ' ' <"$work/walk.times")"
  if have_wine; then
    windows_build disk_use_bench
    local wine_sum wine_time
    wine_time=$(
      source cmake/wine-session.sh
      wine_session_start build/windows >/dev/null
      wine_sum=$(build/windows/wine-run.sh build/windows/bench/disk_use_bench.exe "Z:$base" | tr -d '\r')
      [ "$wine_sum" = "$expected" ] || { echo "under Wine BuildFilesSize says $wine_sum" >&2; exit 1; }
      for _ in 1 2 3 4 5; do
        seconds build/windows/wine-run.sh build/windows/bench/disk_use_bench.exe "Z:$base"
      done | median)
    printf 'BuildFilesSize of the same tree under Wine, the start of Wine included: %.3f s (%.2f x the native du'"'"'s time)\n' \
      "$wine_time" "$(ratio "$wine_time" "$du_time")"
  fi
  rm -rf "$base"
}

for name in sha identify adopt download process zip disk_use; do
  if wanted "$name"; then "bench_$name"; fi
done
