#!/usr/bin/env python3
"""Lays out the tree that the tar.xz benchmark archives, shaped like a compiler's release and about
1 GB in all: a few large binaries, some middle-sized libraries, and thousands of small headers.
    tarxz_input.py FOLDER
Binaries are recurring pieces and fresh bytes of a skewed alphabet with a little noise, so that xz
shrinks them about as much as real machine code; headers are slices of one generated text, as alike
as real ones.
"""
import os
import random
import sys

MIB = 1 << 20


def binary_table(rng):
    """Maps random bytes onto a skewed alphabet: half become 0, the rest one of 40 common bytes."""
    common = bytes(rng.sample(range(1, 256), 40))
    return bytes(0 if b < 128 else common[b % 40] for b in range(256))


def snippet_pool(rng, table):
    """Pieces of code that recur across a program, as calls, prologues and tables do."""
    return [os.urandom(rng.randint(8, 160)).translate(table) for _ in range(60000)]


def write_binary(path, size, rng, table, pool):
    """64 KiB at a time: recurring pieces, fresh bytes of the skewed alphabet, a little noise."""
    with open(path, "wb") as f:
        left = size
        while left > 0:
            block = b"".join(rng.choices(pool, k=560)) + os.urandom(12 * 1024).translate(table) + os.urandom(4096)
            f.write(block[:left])
            left -= min(left, len(block))


def header_text(rng, size):
    words = ["template", "typename", "struct", "const", "return", "namespace", "clang", "llvm", "size_t",
             "unsigned", "static", "inline", "#include", "#define", "void", "int", "auto", "//", "{", "}"]
    lines = []
    total = 0
    while total < size:
        line = " ".join(rng.choice(words) for _ in range(rng.randint(2, 12))) + "\n"
        lines.append(line)
        total += len(line)
    return "".join(lines).encode()


def main():
    root = sys.argv[1]
    rng = random.Random(16)
    table = binary_table(rng)
    pool = snippet_pool(rng, table)
    os.makedirs(os.path.join(root, "bin"))
    for i, size in enumerate((220, 160, 120, 90, 60, 40)):
        write_binary(os.path.join(root, "bin", "tool%d.exe" % i), size * MIB + rng.randrange(MIB), rng, table, pool)
    os.makedirs(os.path.join(root, "lib"))
    for i in range(40):
        size = rng.randrange(1, 5) * MIB + rng.randrange(MIB)
        write_binary(os.path.join(root, "lib", "lib%02d.lib" % i), size, rng, table, pool)
    text = header_text(rng, 8 * MIB)
    for i in range(9000):
        folder = os.path.join(root, "include", "d%02d" % (i // 200))
        if i % 200 == 0:
            os.makedirs(folder)
        size = rng.randrange(512, 24 * 1024)
        start = rng.randrange(len(text) - size)
        with open(os.path.join(folder, "h%04d.h" % i), "wb") as f:
            f.write(text[start:start + size])


if __name__ == "__main__":
    main()
