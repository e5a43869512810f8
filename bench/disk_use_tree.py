#!/usr/bin/env python3
"""Lays out the build files that the disk use benchmark sizes: 200,000 files in 400 folders
(20 folders of 20), of 0 to 64 KiB each, sparse so that only the names and sizes cost anything.
    disk_use_tree.py FOLDER
"""
import os
import random
import sys


def main():
    root = sys.argv[1]
    rng = random.Random(19)
    for outer in range(20):
        for inner in range(20):
            folder = os.path.join(root, "dir%02d" % outer, "obj%02d" % inner)
            os.makedirs(folder)
            for n in range(500):
                with open(os.path.join(folder, "unit%03d.obj" % n), "wb") as f:
                    f.truncate(rng.randrange(65537))


if __name__ == "__main__":
    main()
