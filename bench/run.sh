#!/usr/bin/env bash
# Runs the benchmarks on demand (never from the tests): an optimised native build, each figure the
# median of five runs, against the reference tools measured in the same run.
#   bench/run.sh [sha] [identify] [download] [process] [zip] [music]     (all of them when none is named)
set -euo pipefail
cd "$(dirname "$0")/.."
chosen=("$@")
[ ${#chosen[@]} -gt 0 ] || chosen=(sha identify download process zip music)
wanted() { local name; for name in "${chosen[@]}"; do [ "$name" = "$1" ] && return 0; done; return 1; }

reference_tools=()
wanted zip && reference_tools+=(libarchive-tools unzip)
bash cmake/setup.sh "${reference_tools[@]}"
cmake --preset bench >/dev/null
cmake --build --preset bench --target sha_bench identify_bench download_bench process_bench zip_bench music_bench helper_child
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

# The music import of 200 one-second songs against a bare shell loop of the same ffprobe and ffmpeg
# command lines on the same folder (median of three, taking turns), and a second import that finds
# every song unchanged. The import converts one song at a time, as the loop does.
bench_music() {
  local library="$work/music/Bench" songs=200 i
  mkdir -p "$library"
  echo "making $songs one-second songs"
  for i in $(seq -w 1 $songs); do
    ffmpeg -nostdin -v error -y -f lavfi -i "sine=frequency=$((200 + 10#$i)):duration=1" \
      -metadata title="Song $i" -metadata artist="Bench" "$library/song$i.mp3"
  done
  loop() {
    local out="$work/loop" n=0 song
    rm -rf "$out"
    mkdir -p "$out"
    for song in "$library"/*.mp3; do
      ffprobe -v error -select_streams a -show_entries "format=duration:format_tags=title,artist:stream_tags=title,artist" \
        -of default=noprint_wrappers=1 "$song" >/dev/null 2>&1
      ffmpeg -nostdin -y -v error -i "$song" -vn -map_metadata -1 -ac 2 -ar 44100 -c:a wmav2 -b:a 160k "$out/$n.WMA" >/dev/null 2>&1
      n=$((n + 1))
    done
  }
  local turn
  for turn in 1 2 3; do
    seconds loop >> "$work/loop.times"
    "$bin/music_bench" "$library" "$work/base" > "$work/ours.$turn"
    cut -d' ' -f1 "$work/ours.$turn" >> "$work/ours.times"
    cut -d' ' -f2 "$work/ours.$turn" >> "$work/reused.times"
  done
  local loop_time ours reused
  loop_time=$(median < "$work/loop.times")
  ours=$(median < "$work/ours.times")
  reused=$(median < "$work/reused.times")
  printf 'music import of %d songs: shell loop of ffprobe and ffmpeg %.3f s, ours %.3f s: %.3f x the loop'"'"'s speed\n' \
    "$songs" "$loop_time" "$ours" "$(ratio "$loop_time" "$ours")"
  printf '  the launcher'"'"'s own time per song: %.2f ms; a second import (all kept): %.2f ms per song (%s)\n' \
    "$(awk "BEGIN { print ($ours - $loop_time) * 1000 / $songs }")" "$(awk "BEGIN { print $reused * 1000 / $songs }")" \
    "$(cut -d' ' -f3- "$work/ours.1")"
}

for name in sha identify download process zip music; do
  if wanted "$name"; then "bench_$name"; fi
done
