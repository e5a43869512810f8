#!/usr/bin/env bash
# Installs what the builds need on a Debian 12 machine, and only what is missing.
# Sourced or run by the two top-level commands; safe to run again.
set -euo pipefail

packages=(
  cmake ninja-build g++ dpkg-dev python3
  googletest nlohmann-json3-dev libcurl4-openssl-dev openssl
  msitools wixl gcab
  g++-mingw-w64-x86-64-posix wine64 xvfb
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

# `apt-get source` needs deb-src entries. When the machine has none, add them as copies of its own
# deb entries, so the same mirror serves both.
ensure_deb_src() {
  if grep -rqsE '^[[:space:]]*(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    return 1
  fi
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
  as_root apt-get update -qq
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
