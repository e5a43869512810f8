#!/usr/bin/env bash
# Installs what the builds need on a Debian 12 machine, and only what is missing; packages named
# as arguments are installed too (bench/run.sh names the reference tools it measures against).
# Run by the top-level commands and bench/run.sh; safe to run again.
set -euo pipefail

packages=(
  cmake ninja-build g++ dpkg-dev python3
  googletest nlohmann-json3-dev libcurl4-openssl-dev openssl libzip-dev zip liblzma-dev xz-utils tar
  msitools wixl gcab curl git
  # The music import runs Debian's ffprobe and ffmpeg natively; the tests make their songs with them.
  ffmpeg
  g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine64 xvfb fonts-wine
  # Reserves Wine's fixed addresses before the Linux loader and heap take their random places.
  # Without it about one Wine start in ten thousand fails ("failed to map the shared user data"),
  # and a test program, or a program a test starts, dies before it runs.
  wine64-preloader
  # chattr, which the tests use to make a removal fail.
  e2fsprogs
  # libzip-dev's CMake package checks that libzip's tools are installed, though nothing uses them.
  zipcmp zipmerge ziptool
  # import and convert: the window's screenshot and its checks.
  imagemagick
  "$@"
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

as_root() {
  if [ "$(id -u)" -eq 0 ]; then
    "$@"
  elif command -v sudo >/dev/null 2>&1; then
    sudo "$@"
  else
    echo "cmake/setup.sh needs to install packages: run it once as root, or install sudo" >&2
    exit 1
  fi
}

# `apt-get source` needs Debian's deb-src entries. When apt knows no source of imgui, add them as
# copies of the machine's own deb entries, so the same mirror serves both.
ensure_deb_src() {
  if apt-cache showsrc imgui 2>/dev/null | grep -q '^Version: 1\.86'; then
    return 1
  fi
  [ -f /etc/apt/sources.list.d/launcher-deb-src.sources ] || [ -f /etc/apt/sources.list.d/launcher-deb-src.list ] && return 0
  local added=1
  if [ -f /etc/apt/sources.list ] && grep -qE '^[[:space:]]*deb[[:space:]]' /etc/apt/sources.list; then
    grep -E '^[[:space:]]*deb[[:space:]]' /etc/apt/sources.list | sed -E 's/^[[:space:]]*deb[[:space:]]/deb-src /' \
      | as_root tee /etc/apt/sources.list.d/launcher-deb-src.list >/dev/null
    added=0
  fi
  local f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    case "$f" in *launcher-deb-src*) continue ;; esac
    # deb822 stanzas: keep those of type deb and retype them as deb-src.
    awk 'BEGIN{RS=""; ORS="\n\n"} /(^|\n)Types:[^\n]*deb([ \n]|$)/ { sub(/Types:[^\n]*/, "Types: deb-src"); print }' "$f" \
      | as_root tee -a /etc/apt/sources.list.d/launcher-deb-src.sources >/dev/null
    added=0
  done
  return $added
}

need_update=0
[ ${#missing[@]} -gt 0 ] && need_update=1
if ensure_deb_src; then need_update=1; fi
if [ "$need_update" -eq 1 ]; then
  as_root apt-get -o DPkg::Lock::Timeout=300 update -qq
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  as_root env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300 install -y -qq \
    --no-install-recommends "${missing[@]}"
fi
