#!/usr/bin/env python3
"""Writes the build tools' archives beside the loopback server, for the full build's tests.

usage: make_build_tools.py DIR HELPER_CHILD --suffix=SUFFIX

DIR/build-tools/ holds, as the tool list's archives would:
  cmake.zip     bin/cmake + SUFFIX
  ninja.zip     ninja + SUFFIX
  ninja-2.zip   the same with other bytes, as a new release of the tool would have
  git.zip       cmd/git + SUFFIX
  msvc.vsix     Contents/VC/Tools/MSVC/14.1.0/include/vcruntime.h, the C++ libraries' package
For the native build (no SUFFIX) each program is a script, mode 0755, that runs the system's tool
of that name, found when this runs: the tests build with the real git, cmake and ninja. For the
Windows build each is a copy of HELPER_CHILD, which takes the mode of its name (the fake git and
the fake cmake; ninja is not run there).
"""
import argparse
import os
import shutil
import sys

from fixture_zip import write_zip

TOOLS = [("cmake.zip", "bin/cmake", "cmake"), ("ninja.zip", "ninja", "ninja"), ("git.zip", "cmd/git", "git")]


def program(tool, suffix, helper):
    if suffix:
        with open(helper, "rb") as f:
            return f.read()
    found = shutil.which(tool)
    if found is None:
        sys.exit("make_build_tools.py: no " + tool + " on PATH")
    return '#!/bin/sh\nexec "{}" "$@"\n'.format(found).encode()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("folder")
    parser.add_argument("helper_child")
    parser.add_argument("--suffix", default="")
    args = parser.parse_args()

    folder = os.path.join(args.folder, "build-tools")
    os.makedirs(folder, exist_ok=True)
    for archive, name, tool in TOOLS:
        entries = [(name + args.suffix, program(tool, args.suffix, args.helper_child), 0o755)]
        write_zip(os.path.join(folder, archive), entries)
        if tool == "ninja":
            entries.append(("README.txt", b"the second release\n", 0o644))
            write_zip(os.path.join(folder, "ninja-2.zip"), entries)
    write_zip(os.path.join(folder, "msvc.vsix"),
              [("extension.vsixmanifest", b"<PackageManifest/>\n", 0o644),
               ("Contents/VC/Tools/MSVC/14.1.0/include/vcruntime.h", b"#pragma once\n", 0o644)])


if __name__ == "__main__":
    main()
