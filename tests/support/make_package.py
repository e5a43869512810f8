#!/usr/bin/env python3
"""Writes the package fixture beside the loopback server, as the port's release would publish it.

usage: make_package.py DIR HELPER_CHILD --suffix=SUFFIX

DIR/package/Velmora2-package.zip holds:
  Velmora2 + SUFFIX         the helper child, mode 0755: started with "--prepare-code" it follows
                            the fakeport.txt beside it (the fake port)
  fakeport.txt              the default script: progress, log lines, Velmora2.dll, exit 0
  data/level1.bin           64 KiB of seeded random bytes
  data/extra.toml           a settings file below the top, which is unpacked
  .toml                     a file of that name, which is unpacked
  hdd/E/UDATA/save.dat      the user's save folder, which the package filter keeps out
  settings.toml             a settings file at the top, which the package filter keeps out
  .next/stray.bin           a file under the side folder's name, which the package filter keeps out
DIR/package/Velmora2-package.zip.json is its description: {"sha256": ..., "size": ...}.
"""
import argparse
import hashlib
import json
import os
import random

from fixture_zip import write_zip

NAME = "Velmora2-package.zip"

DEFAULT_SCRIPT = """out progress 1 0 4 0 4096
out [00:00:01] Game code: 1 of 4
out [00:00:01] loading textures
out preparing the game's code
out progress 1 4 4 4096 4096
write Velmora2.dll the game's code for this machine
exit 0
"""


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("folder")
    parser.add_argument("helper_child")
    parser.add_argument("--suffix", default="")
    args = parser.parse_args()

    folder = os.path.join(args.folder, "package")
    os.makedirs(folder, exist_ok=True)
    package = os.path.join(folder, NAME)
    with open(args.helper_child, "rb") as f:
        executable = f.read()
    write_zip(package, [
        ("Velmora2" + args.suffix, executable, 0o755),
        ("fakeport.txt", DEFAULT_SCRIPT, 0o644),
        ("data/level1.bin", random.Random(13).randbytes(64 * 1024), 0o644),
        ("data/extra.toml", "quality = \"high\"\n", 0o644),
        (".toml", "# a file named .toml\n", 0o644),
        ("hdd/E/UDATA/save.dat", "a save from the package\n", 0o644),
        ("settings.toml", "fullscreen = true\n", 0o644),
        (".next/stray.bin", "under the side folder's name\n", 0o644),
    ])

    with open(package, "rb") as f:
        data = f.read()
    description = {"sha256": hashlib.sha256(data).hexdigest(), "size": len(data)}
    with open(package + ".json", "w") as f:
        json.dump(description, f)


if __name__ == "__main__":
    main()
