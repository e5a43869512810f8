#!/usr/bin/env bash
# launcher.exe end to end under Wine, driven from the host: started with --play from a fresh folder
# beside replaced executables of earlier self-updates, its window shown, pictured, clicked,
# minimised, restored and closed.
#   launcher_window_wine.sh WINE_RUN HELPER_CHILD LAUNCHER_EXE PICTURE
# The picture stays where it is named, for a look after the run.
set -uo pipefail
source "$(dirname "$0")/../../cmake/launcher-window.sh"
wine_run=$1 helper=$2 launcher=$3 picture=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

cp "$launcher" "$work/launcher.exe"
echo stale > "$work/launcher.exe.old"
echo stale > "$work/launcher.exe.2.old"
log="$work/Velmora2/launcher.log"

launcher_window_open "$wine_run" "$helper" "$work/launcher.exe" --play || {
  echo "FAILED: launcher.exe showed no window"
  exit 1
}
rm -f "$picture"
launcher_window_shoot "Velmora - Launcher" "$picture" || fail "no picture of the window that is not blank"
if [ -f "$picture" ]; then
  colours=$(convert "$picture" -unique-colors txt:- 2>/dev/null)
  echo "the picture has $(picture_colours "$picture") colours"
  for colour in 4C5844 2E3429; do
    grep -qi "#$colour" <<<"$colours" || fail "the picture has no #$colour"
  done
fi

# Play at start is handled once the start-up check has ended, which may take a moment.
for _ in $(seq 100); do
  grep -q "play at start: the launcher stays" "$log" 2>/dev/null && break
  sleep 0.2
done
# Clicks whose press and release reach the window together, as a touchpad's tap does, choose a
# section: its row takes the pressed colour (the rows of Game, Manage and Log at scale 1).
for row in "Log 130" "Game 61"; do
  read -r section y <<<"$row"
  point=$(launcher_window_click 70 "$y") || fail "no click on the $section row"
  colour=
  for _ in $(seq 20); do
    # shellcheck disable=SC2086
    colour=$(screen_colour $point)
    [ "$colour" = 958831 ] && break
    sleep 0.1
  done
  [ "$colour" = 958831 ] || fail "after a quick click the $section row is #$colour, not the pressed #958831"
done
launcher_window minimize || fail "the window did not minimise"
launcher_window restore || fail "the window did not come back"
code=0
launcher_window_close || code=$?
[ "$code" -eq 0 ] || fail "launcher.exe ended with exit code $code"

# The log's lines begin with the time.
play_lines=$(sed -n 's/^[0-9:]* \(play at start: .*\)$/\1/p' "$log" 2>/dev/null | tr -d '\r')
expected=$'play at start: --play\nplay at start: the launcher stays, no game chosen'
if [ "$play_lines" != "$expected" ]; then
  fail "launcher.log's play at start lines are:"
  echo "$play_lines"
fi
for stale in launcher.exe.old launcher.exe.2.old; do
  [ ! -e "$work/$stale" ] || fail "$stale is still there"
done
[ -f "$work/launcher.exe" ] || fail "launcher.exe is gone"

if [ "$failures" -ne 0 ]; then
  echo "launcher.log:"
  cat "$log" 2>/dev/null
  exit 1
fi
echo "passed"
