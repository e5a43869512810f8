# Sourced by the top-level commands: a display and a running wineserver for the Windows programs,
# both stopped when the calling script exits.

# wine_session_start BUILD [--own-display] [--prefix FOLDER]: the build folder's prefix unless
# another is named; an Xvfb of the session's own when asked for, without a desktop, or under CI.
wine_session_start() {
  local build="$1" own_display= prefix="$PWD/$1/.wineprefix"
  shift
  while [ $# -gt 0 ]; do
    case "$1" in
      --own-display) own_display=1 ;;
      --prefix) prefix="$2"; shift ;;
    esac
    shift
  done
  # The wrapper's own variable, so that a WINEPREFIX of the user's is never touched.
  export LAUNCHER_WINEPREFIX="$prefix"
  export WINEPREFIX="$LAUNCHER_WINEPREFIX"
  trap wine_session_stop EXIT
  # DISPLAY must be set before the first Wine call: a wineserver keeps the display it started with.
  if [ -n "$own_display" ] || [ -z "${DISPLAY:-}" ] || [ -n "${CI:-}" ]; then
    local ready
    ready=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$ready" </dev/null >/dev/null 2>&1 &
    WINE_SESSION_XVFB=$!
    for _ in $(seq 100); do [ -s "$ready" ] && break; sleep 0.1; done
    if [ ! -s "$ready" ]; then
      rm -f "$ready"
      echo "Xvfb did not start" >&2
      return 1
    fi
    export DISPLAY=":$(head -n 1 "$ready")"
    rm -f "$ready"
  fi
  # One server for the whole session (one may still be running from an earlier call); the
  # wrapper makes the prefix on its first call.
  mkdir -p "$WINEPREFIX"
  /usr/lib/wine/wineserver -p 2>/dev/null || true
  "$build/wine-run.sh" cmd /c exit 0 >/dev/null 2>&1 || true
}

wine_session_stop() {
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  if [ -n "${WINE_SESSION_XVFB:-}" ]; then
    kill "$WINE_SESSION_XVFB" 2>/dev/null || true
    wait "$WINE_SESSION_XVFB" 2>/dev/null || true
  fi
}
