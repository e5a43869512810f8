#!/usr/bin/env python3
"""Lays out the tree of a prebuilt package of about 500 MB for the package build benchmark:
a few large incompressible files, a large compressible one, 4,000 small compressible files, and
the port: the helper child as Velmora2 with a fakeport.txt that prepares the code at once.
    package_input.py FOLDER HELPER_CHILD
"""
import os
import random
import shutil
import sys

from zip_input import compressible

MIB = 1 << 20


def main():
    root, helper = sys.argv[1], sys.argv[2]
    rng = random.Random(14)
    os.makedirs(os.path.join(root, "data"))
    for i in range(3):
        with open(os.path.join(root, "data", "pack%d.bin" % i), "wb") as f:
            f.write(os.urandom(128 * MIB))
    block = compressible(rng, 8 * MIB)
    with open(os.path.join(root, "data", "strings.txt"), "wb") as f:
        for _ in range(8):
            f.write(block)
    for i in range(4000):
        folder = os.path.join(root, "shaders", "s%02d" % (i // 100))
        if i % 100 == 0:
            os.makedirs(folder)
        with open(os.path.join(folder, "shader%04d.txt" % i), "wb") as f:
            f.write(compressible(rng, rng.randrange(2 * 1024, 24 * 1024)))
    shutil.copyfile(helper, os.path.join(root, "Velmora2"))
    os.chmod(os.path.join(root, "Velmora2"), 0o755)
    with open(os.path.join(root, "fakeport.txt"), "w") as f:
        f.write("out progress 1 0 1 0 1\nwrite Velmora2.dll the game's code\nexit 0\n")


if __name__ == "__main__":
    main()
