#!/bin/sh
# The fake port's repositories, made with git from the sources in fake_port/:
#   make DIR         DIR/third.git and DIR/port.git (bare): port holds fake_port's files, the
#                    submodule "third" at ../third.git and the tag v1.0; DIR/port-work is the clone
#                    the other commands push from
#   commit DIR TEXT  pushes a commit to port's main that sets the version in version.h to TEXT
#   move-tag DIR     moves v1.0 to main's tip, pushed with force
set -eu
here=$(cd "$(dirname "$0")" && pwd)
GIT_CONFIG_GLOBAL="$here/fake_port/gitconfig"
GIT_CONFIG_NOSYSTEM=1
export GIT_CONFIG_GLOBAL GIT_CONFIG_NOSYSTEM
unset GIT_DIR GIT_WORK_TREE GIT_CONFIG_COUNT

usage() {
  echo "usage: $0 make DIR | commit DIR TEXT | move-tag DIR" >&2
  exit 2
}

[ $# -ge 2 ] || usage
command=$1
dir=$2

case "$command" in
  make)
    [ $# -eq 2 ] || usage
    mkdir -p "$dir"
    dir=$(cd "$dir" && pwd)
    git init -q --bare "$dir/third.git"
    git init -q --bare "$dir/port.git"

    git init -q "$dir/third-work"
    mkdir -p "$dir/third-work/include"
    cp "$here/fake_port/third/include/third.h" "$dir/third-work/include/"
    git -C "$dir/third-work" add .
    git -C "$dir/third-work" commit -q -m "third"
    git -C "$dir/third-work" push -q "$dir/third.git" main

    git clone -q "$dir/port.git" "$dir/port-work" 2>/dev/null
    cp "$here/fake_port/CMakePresets.json" "$here/fake_port/CMakeLists.txt" "$here/fake_port/main.c" \
      "$here/fake_port/version.h" "$dir/port-work/"
    git -C "$dir/port-work" submodule add -q ../third.git third
    git -C "$dir/port-work" add .
    git -C "$dir/port-work" commit -q -m "port"
    git -C "$dir/port-work" tag v1.0
    git -C "$dir/port-work" push -q origin main v1.0
    ;;
  commit)
    [ $# -eq 3 ] || usage
    printf '#define FAKEPORT_VERSION "%s"\n' "$3" >"$dir/port-work/version.h"
    git -C "$dir/port-work" commit -q -a -m "$3"
    git -C "$dir/port-work" push -q origin main
    ;;
  move-tag)
    [ $# -eq 2 ] || usage
    git -C "$dir/port-work" tag -f v1.0 >/dev/null
    git -C "$dir/port-work" push -q --force origin v1.0
    ;;
  *)
    usage
    ;;
esac
