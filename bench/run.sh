#!/usr/bin/env bash
# Runs the benchmarks on demand (never from the tests): an optimised native build, each figure the
# median of five runs, against the reference tools measured in the same run.
#   bench/run.sh [sha] [identify] [adopt] [download] [process] [zip] [package] [tarxz] [music]
#   [disk_use] [window] [log_page]   (all when none is named)
set -euo pipefail
cd "$(dirname "$0")/.."
chosen=("$@")
[ ${#chosen[@]} -gt 0 ] || chosen=(sha identify adopt download process zip package tarxz music disk_use window log_page)
wanted() { local name; for name in "${chosen[@]}"; do [ "$name" = "$1" ] && return 0; done; return 1; }

reference_tools=()
wanted zip && reference_tools+=(libarchive-tools unzip)
wanted package && reference_tools+=(unzip zip)
bash cmake/setup.sh "${reference_tools[@]}"
cmake --preset bench >/dev/null
cmake --build --preset bench --target sha_bench identify_bench download_bench process_bench zip_bench adopt_bench \
  package_bench tarxz_bench music_bench disk_use_bench log_page_bench helper_child
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

# True when folder has the 3 GiB a large benchmark needs; otherwise says that the named one is refused.
has_room() {
  local name=$1 folder=$2 free
  free=$(df --output=avail -B1 "$folder" | tail -n 1 | tr -d ' ')
  if [ "$free" -lt $((3 * 1024 * 1024 * 1024)) ]; then
    echo "$name benchmark refused: $folder has $((free / 1024 / 1024)) MiB free, it needs 3 GiB"
    return 1
  fi
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

# The median of five runs of an extraction benchmark (built already) under Wine, each into a fresh
# out folder: wine_extraction_median PROGRAM ARCHIVE OUT.
wine_extraction_median() {
  (
    source cmake/wine-session.sh
    wine_session_start build/windows >/dev/null
    for _ in 1 2 3 4 5; do
      rm -rf "$3"
      mkdir "$3"
      seconds build/windows/wine-run.sh "build/windows/bench/$1.exe" "Z:$2" "Z:$3"
    done | median
  )
}

# Extraction of a zip of about 1 GB (large incompressible files, large compressible ones, 20,000
# small files) against bsdtar and unzip, each into a fresh folder in memory so that the extractor is
# measured and not the disk; the tools take turns.
bench_zip() {
  local shm=/dev/shm
  has_room zip "$shm" || return 0
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
    wine_time=$(wine_extraction_median zip_bench "$zwork/input.zip" "$zwork/out")
    printf 'the same under Wine: %.3f s (%.2f GB/s)\n' "$wine_time" "$(ratio "$gb" "$wine_time")"
  fi
  rm -rf "$zwork"
  trap cleanup EXIT
}

# A package build of about 500 MB beside the launcher (BuildPackage: unpack into play/.next, the
# native helper child as the port, the move into play) against unzip -q of the same package plus
# cp -a of the result into a play folder, taking turns on the same disk.
bench_package() {
  local pwork
  pwork=$(mktemp -d)
  if ! has_room package "$(dirname "$pwork")"; then
    rm -rf "$pwork"
    return 0
  fi
  # Removed on every way out of this function and of the script.
  trap 'rm -rf "$pwork"; cleanup' EXIT
  echo "making the package"
  python3 bench/package_input.py "$pwork/tree" build/bench/bin/helper_child
  (cd "$pwork/tree" && zip -q -r "$pwork/Velmora2-package.zip" .)
  rm -rf "$pwork/tree"
  local entries size
  entries=$(unzip -Z1 "$pwork/Velmora2-package.zip" | wc -l)
  size=$(unzip -Zt "$pwork/Velmora2-package.zip" | awk '{print $3}')
  printf 'package of %s entries, %.2f GB unpacked, %.2f GB packed\n' "$entries" "$(ratio "$size" 1e9)" \
    "$(ratio "$(stat -c %s "$pwork/Velmora2-package.zip")" 1e9)"

  build_ours() { "$bin/package_bench" "$pwork/ours" >> "$pwork/stages"; }
  build_reference() { unzip -q "$pwork/Velmora2-package.zip" -d "$pwork/unzipped" && cp -a "$pwork/unzipped/." "$pwork/play"; }
  mkdir "$pwork/ours"
  ln "$pwork/Velmora2-package.zip" "$pwork/ours/Velmora2-package.zip"
  local tool
  for _ in 1 2 3 4 5; do
    for tool in reference ours; do
      rm -rf "$pwork/ours/Velmora2" "$pwork/unzipped" "$pwork/play"
      mkdir "$pwork/play"
      sync
      seconds "build_$tool" >> "$pwork/$tool.times"
    done
  done
  [ -f "$pwork/ours/Velmora2/play/Velmora2.dll" ] || { echo "the package build made no game"; return 1; }
  local reference ours
  reference=$(median < "$pwork/reference.times")
  ours=$(median < "$pwork/ours.times")
  printf 'package build: unzip -q + cp -a %.3f s, BuildPackage %.3f s: %.2f x the reference'"'"'s speed\n' \
    "$reference" "$ours" "$(ratio "$reference" "$ours")"
  local stage
  for stage in "package unpack" "compile game code" "replace the game"; do
    printf '  stage %s: median %.3f s\n' "$stage" \
      "$(awk -v name="$stage" '{ n = $NF; $1 = ""; $NF = ""; gsub(/^ +| +$/, ""); if ($0 == name) print n }' \
        "$pwork/stages" | median)"
  done
  rm -rf "$pwork"
  trap cleanup EXIT
}


# Extraction of a tar.xz of about 1 GB unpacked, shaped like a compiler's release (xz -T1: one block,
# as release archives are), against tar -xJf, each into a fresh folder in memory; the two take turns.
# The archive is made once and kept in build/bench.
bench_tarxz() {
  local shm=/dev/shm folder
  for folder in "$shm" build/bench; do
    has_room tar.xz "$folder" || return 0
  done
  local archive=build/bench/tarxz-input.tar.xz twork
  twork=$(mktemp -d "$shm/tarxz-bench.XXXXXX")
  trap 'rm -rf "$twork"; cleanup' EXIT
  if [ ! -f "$archive" ]; then
    echo "making the tar.xz input (once; it is kept as $archive)"
    python3 bench/tarxz_input.py "$twork/tree"
    tar --format=gnu --sort=name -C "$twork/tree" -cf - . | xz -T1 -6 > "$archive.partial"
    mv "$archive.partial" "$archive"
    rm -rf "$twork/tree"
  fi
  local entries size
  entries=$(xz -dc "$archive" | tar -tf - | wc -l)
  size=$(xz --robot -l "$archive" | awk '$1 == "totals" {print $5}')
  printf 'tar.xz of %s entries, %.2f GB unpacked, %.2f GB packed\n' "$entries" "$(ratio "$size" 1e9)" \
    "$(ratio "$(stat -c %s "$archive")" 1e9)"

  extract_tar() { tar -xJf "$archive" -C "$1"; }
  extract_ours() { "$bin/tarxz_bench" "$archive" "$1"; }
  decode_only() { xz -dc "$archive" > /dev/null; }
  local tool
  for _ in 1 2 3 4 5; do
    for tool in tar ours; do
      rm -rf "$twork/out"
      mkdir "$twork/out"
      seconds "extract_$tool" "$twork/out" >> "$twork/$tool.times"
    done
    seconds decode_only >> "$twork/decode.times"
  done
  rm -rf "$twork/out"
  local tar ours decode gb
  tar=$(median < "$twork/tar.times")
  ours=$(median < "$twork/ours.times")
  decode=$(median < "$twork/decode.times")
  gb=$(ratio "$size" 1e9)
  printf 'tar.xz extraction: tar -xJf %.3f s (%.2f GB/s), ours %.3f s (%.2f GB/s): %.2f x tar'"'"'s rate; xz -dc alone %.3f s (%.2f of tar'"'"'s time)\n' \
    "$tar" "$(ratio "$gb" "$tar")" "$ours" "$(ratio "$gb" "$ours")" "$(ratio "$tar" "$ours")" "$decode" \
    "$(ratio "$decode" "$tar")"

  if have_wine; then
    windows_build tarxz_bench
    local wine_time
    wine_time=$(wine_extraction_median tarxz_bench "$PWD/$archive" "$twork/out")
    printf 'the same under Wine: %.3f s (%.2f GB/s)\n' "$wine_time" "$(ratio "$gb" "$wine_time")"
  fi
  rm -rf "$twork"
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

# The share of one core that a process takes over 10 s: the utime and stime of its Linux process (the
# fields after the name, which ends at the last ')').
cpu_ticks() { sed 's/.*) //' "/proc/$1/stat" | awk '{ print $12 + $13 }'; }
# cpu_shares PID...: each process's share of one core in per cent over the same 10 s, on one line.
cpu_shares() {
  local pid before=() after=() hz i
  hz=$(getconf CLK_TCK)
  for pid in "$@"; do before+=("$(cpu_ticks "$pid")"); done
  sleep 10
  for pid in "$@"; do after+=("$(cpu_ticks "$pid")"); done
  for i in "${!before[@]}"; do
    awk "BEGIN { printf \"%.2f \", (${after[$i]} - ${before[$i]}) * 100 / $hz / 10 }"
  done
  echo
}
# median_shares PID...: the medians of three cpu_shares, one a line per process.
median_shares() {
  local turns column
  turns=$(for _ in 1 2 3; do cpu_shares "$@"; done)
  for column in $(seq $#); do awk -v c="$column" '{ print $c }' <<<"$turns" | median; done
}

# The launcher's CPU under Wine on an Xvfb of its own, its window shown, minimised, and hidden while
# the game started at start-up runs, against Wine's notepad idle in the same session, measured over
# the same seconds. Xvfb has no vertical blank: the shown figure is the loop unthrottled, for the
# record only.
bench_window() {
  have_wine || { echo "window benchmark: Wine is not installed"; return 0; }
  windows_build launcher helper_child test_launcher
  (
    source cmake/wine-session.sh
    source cmake/launcher-window.sh
    wine_session_start build/windows --own-display >/dev/null
    local run=build/windows/wine-run.sh helper=build/windows/bin/helper_child.exe
    # By its Windows path notepad runs in the process started here, not in one start.exe starts.
    "$run" 'C:\windows\system32\notepad.exe' &
    local notepad=$!
    "$run" "$helper" --window Notepad wait >/dev/null
    mkdir -p "$work/window"
    cp build/windows/app/launcher.exe "$work/window/launcher.exe"
    launcher_window_open "$run" "$helper" "$work/window/launcher.exe"
    sleep 2
    local shown minimised
    shown=$(median_shares "$LAUNCHER_WINDOW_PID" "$notepad" | tr '\n' ' ')
    launcher_window minimize
    sleep 1
    minimised=$(median_shares "$LAUNCHER_WINDOW_PID" "$notepad" | tr '\n' ' ')
    launcher_window restore
    launcher_window_close || true

    # Hidden: play at start in test_launcher.exe with a description of its own, the chosen copy a
    # folder, the game the fake port, whose first process ends at once and leaves a grandchild that
    # the launcher waits for.
    local game="$work/game-wait" hidden launcher
    mkdir -p "$game/disc" "$game/Bench/play"
    cp build/windows/bin/test_launcher.exe "$game/test_launcher.exe"
    printf 'XBEH%02000d' 0 > "$game/disc/default.xbe"
    echo a > "$game/disc/a.txt"
    echo b > "$game/disc/b.txt"
    printf '{"title": "Bench", "short": "Bench", "exe": "BenchGame", "xbe": "default.xbe", "repo": "https://github.com/velmora-port/velmora2", "releases": {"%s": "Europe"}}' \
      "$(sha1sum "$game/disc/default.xbe" | cut -d' ' -f1)" > "$game/game.json"
    printf '{"game": "Z:%s/disc", "play_at_start": true}' "$game" > "$game/Bench/launcher.json"
    cp "$helper" "$game/Bench/play/BenchGame.exe"
    printf 'grandchild 45000\nexit 0\n' > "$game/Bench/play/fakeplay.txt"
    "$run" "$game/test_launcher.exe" &
    launcher=$!
    for _ in $(seq 150); do
      grep -q "play at start: the game started" "$game/Bench/launcher.log" 2>/dev/null && break
      sleep 0.2
    done
    if grep -q "play at start: the game started" "$game/Bench/launcher.log" 2>/dev/null; then
      sleep 2
      hidden=$(median_shares "$launcher" "$notepad" | tr '\n' ' ')
    else
      echo "the game did not start at start-up:"
      cat "$game/Bench/launcher.log" 2>/dev/null
    fi
    wait "$launcher" || true

    "$run" "$helper" --window Notepad close >/dev/null || true
    wait "$notepad" || true
    read -r launcher_shown notepad_shown <<<"$shown"
    read -r launcher_minimised notepad_minimised <<<"$minimised"
    printf 'launcher.exe under Wine + Xvfb, %% of one core over 10 s (median of 3), against notepad idle in the same seconds:\n'
    printf '  shown (no vertical blank under Xvfb: unthrottled, for the record) %.2f %% (notepad %.2f %%)\n' \
      "$launcher_shown" "$notepad_shown"
    printf '  minimised %.2f %% (notepad %.2f %%): %+.2f points\n' "$launcher_minimised" "$notepad_minimised" \
      "$(awk "BEGIN { print $launcher_minimised - $notepad_minimised }")"
    if [ -n "${hidden:-}" ]; then
      read -r launcher_hidden notepad_hidden <<<"$hidden"
      printf '  hidden while the game started at start-up runs on in its grandchild %.2f %% (notepad %.2f %%): %+.2f points\n' \
        "$launcher_hidden" "$notepad_hidden" "$(awk "BEGIN { print $launcher_hidden - $notepad_hidden }")"
    else
      echo "  hidden: not measured, the game did not start"
      exit 1
    fi
  )
}

# The Log page's frame with the log full, against every line laid out, in the program itself; it
# fails when the frame's median passes its bound.
bench_log_page() {
  echo "log page:"
  "$bin/log_page_bench" 200 | sed 's/^/  /'
}

for name in sha identify adopt download process zip package tarxz music disk_use window log_page; do
  if wanted "$name"; then "bench_$name"; fi
done
