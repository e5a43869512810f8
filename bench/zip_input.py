#!/usr/bin/env python3
"""Lays out the tree that the zip benchmark archives, about 1 GB in all:
large incompressible files, large compressible ones, and 20,000 small files of both kinds.
    zip_input.py FOLDER
"""
import os
import random
import sys

MIB = 1 << 20


def compressible(rng, size):
    """Log-like text: repeats enough to deflate well, varies enough not to be trivial."""
    words = [b"stage", b"compile", b"link", b"object", b"warning", b"info", b"texture", b"shader", b"done"]
    lines = []
    total = 0
    while total < size:
        line = b"%08d %s %s %d\n" % (rng.randrange(10**8), rng.choice(words), rng.choice(words), rng.randrange(1000))
        lines.append(line)
        total += len(line)
    return b"".join(lines)[:size]


def main():
    root = sys.argv[1]
    rng = random.Random(12)
    os.makedirs(os.path.join(root, "large"))
    for i in range(2):
        with open(os.path.join(root, "large", "random%d.bin" % i), "wb") as f:
            f.write(os.urandom(192 * MIB))
        # Deflate looks back 32 KiB only, so a block written again compresses as fresh text would.
        block = compressible(rng, 16 * MIB)
        with open(os.path.join(root, "large", "log%d.txt" % i), "wb") as f:
            for _ in range(12):
                f.write(block)
    for i in range(20000):
        folder = os.path.join(root, "small", "d%03d" % (i // 100))
        if i % 100 == 0:
            os.makedirs(folder)
        size = rng.randrange(1024, 24 * 1024)
        data = os.urandom(size) if i % 3 == 0 else compressible(rng, size)
        with open(os.path.join(folder, "f%05d.dat" % i), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
