# Sourced inside a Wine session (wine-session.sh): starts a launcher under Wine, drives its window
# through the helper child's window mode and takes the window's picture with ImageMagick's import.

LAUNCHER_WINDOW_CLASS=QuenforgeLauncher

# launcher_window_open WINE_RUN HELPER_CHILD EXE [ARGUMENTS...]: starts EXE in the background and
# waits until its window shows. When it does not, the launcher is ended and the call fails.
launcher_window_open() {
  LAUNCHER_WINDOW_RUN=$1
  LAUNCHER_WINDOW_HELPER=$2
  local exe=$3
  shift 3
  "$LAUNCHER_WINDOW_RUN" "$exe" "$@" &
  LAUNCHER_WINDOW_PID=$!
  if ! launcher_window wait; then
    kill "$LAUNCHER_WINDOW_PID" 2>/dev/null || true
    wait "$LAUNCHER_WINDOW_PID" 2>/dev/null || true
    return 1
  fi
}

# launcher_window wait|minimize|restore|close: one step of the helper child's window mode; close
# gives the launcher's exit code.
launcher_window() {
  "$LAUNCHER_WINDOW_RUN" "$LAUNCHER_WINDOW_HELPER" --window "$LAUNCHER_WINDOW_CLASS" "$1"
}

# launcher_window_click X Y: a left click at the window's client point X,Y whose press and release
# reach the window together; writes the point's screen coordinates "X Y".
launcher_window_click() {
  "$LAUNCHER_WINDOW_RUN" "$LAUNCHER_WINDOW_HELPER" --window "$LAUNCHER_WINDOW_CLASS" click "$1" "$2" | tr -d '\r'
}

# screen_colour X Y: the colour of the screen's pixel at X,Y as RRGGBB.
screen_colour() {
  import -window root -crop "1x1+$1+$2" -depth 8 txt:- 2>/dev/null | sed -n 's/.*#\([0-9A-Fa-f]\{6\}\).*/\1/p' | head -n 1
}

# The number of colours in a picture.
picture_colours() {
  identify -format '%k' "$1" 2>/dev/null || echo 0
}

# launcher_window_shoot TITLE PNG: the window named TITLE as a PNG. The window shows before its
# first frame is presented, so a picture of 16 colours or fewer is taken again, for up to 10 s.
launcher_window_shoot() {
  local title=$1 png=$2
  for _ in $(seq 20); do
    if import -window "$title" "$png" 2>/dev/null && [ "$(picture_colours "$png")" -gt 16 ]; then
      return 0
    fi
    sleep 0.5
  done
  echo "no picture of the window \"$title\" with more than 16 colours" >&2
  return 1
}

# Whether the launcher's process runs (an ended one stays a zombie until it is waited for).
launcher_window_running() {
  local state
  state=$(ps -o stat= -p "$LAUNCHER_WINDOW_PID" 2>/dev/null) || return 1
  [ -n "$state" ] && [ "${state#Z}" = "$state" ]
}

# launcher_window_close: closes the window and gives the launcher's exit code.
launcher_window_close() {
  local code=0
  launcher_window close >/dev/null || true
  # The window mode gives up on a launcher that does not end; then it is ended here.
  for _ in $(seq 100); do
    launcher_window_running || break
    sleep 0.1
  done
  if launcher_window_running; then
    echo "the launcher did not end when its window was closed" >&2
    kill "$LAUNCHER_WINDOW_PID" 2>/dev/null || true
  fi
  wait "$LAUNCHER_WINDOW_PID" || code=$?
  return "$code"
}
