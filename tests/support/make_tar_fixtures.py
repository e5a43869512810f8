"""The tar.xz fixtures, made by GNU tar and xz from one tree (called by make_tool_fixtures.py).

FOLDER/tar/ receives, from a tree of
  big/large.bin             4 MiB and more of seeded random bytes (several reads of the archive)
  sizes/block.bin           exactly 512 bytes
  sizes/empty.bin           0 bytes
  small/NNNN.txt            2,000 small texts of seeded sizes (headers across the decoder's buffers)
  bin/tool, bin/tool-link   a symbolic link after its target
  data/a.bin, data/b-hard.bin   a hard link after its target
  deep/P.../Q.../file.txt   a name that ustar splits into prefix and name
  long/A.../target.bin, long/B.../link-to-target   a link with a long name to a long target
the archives
  gnu.tar.xz                --format=gnu (long names as 'L' and 'K' entries)
  pax.tar.xz                --format=pax
  ustar.tar.xz              --format=ustar, without the long link (ustar cannot hold its target)
  dot.tar.xz                --format=gnu of "." (every name begins "./")
each made with --sort=name, and beside each ARCHIVE.listing: one line "path<TAB>size<TAB>sha256" per
file the archive should unpack to, links as the file they lead to.
"""
import hashlib
import os
import random
import shutil
import subprocess

LONG_A = "a" * 90
LONG_B = "b" * 90
LONG_LINK = "long/" + LONG_B + "/link-to-target"


def write(root, name, data):
    path = os.path.join(root, name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def make_tree(root):
    rng = random.Random(16)
    write(root, "big/large.bin", rng.randbytes(4 * 1024 * 1024 + 123457))
    write(root, "sizes/block.bin", bytes(range(256)) * 2)
    write(root, "sizes/empty.bin", b"")
    words = b"alpha beta gamma delta\n" * 100
    for i in range(2000):
        start = rng.randint(0, 500)
        write(root, "small/%04d.txt" % i, words[start:start + rng.randint(1, 1500)])
    write(root, "bin/tool", b"#!/bin/sh\necho tool\n")
    os.symlink("tool", os.path.join(root, "bin/tool-link"))
    write(root, "data/a.bin", b"hard linked content\n" * 100)
    os.link(os.path.join(root, "data/a.bin"), os.path.join(root, "data/b-hard.bin"))
    write(root, "deep/" + "p" * 60 + "/" + "q" * 50 + "/file.txt", b"deep file\n")
    write(root, "long/" + LONG_A + "/target.bin", b"the long target\n")
    os.makedirs(os.path.join(root, "long", LONG_B))
    os.symlink("../" + LONG_A + "/target.bin", os.path.join(root, LONG_LINK))


def listing(root, leave_out=()):
    lines = []
    for folder, _, files in os.walk(root):
        for name in files:
            path = os.path.join(folder, name)
            relative = os.path.relpath(path, root)
            if relative in leave_out:
                continue
            with open(path, "rb") as f:
                data = f.read()
            lines.append("%s\t%d\t%s\n" % (relative, len(data), hashlib.sha256(data).hexdigest()))
    return "".join(sorted(lines))


def make_archive(root, out, tar_format, members, leave_out=()):
    command = ["tar", "--format=" + tar_format, "--sort=name", "--owner=0", "--group=0", "--numeric-owner",
               "--mtime=@1700000000", "-C", root, "-cf", "-"]
    command += ["--exclude=" + name for name in leave_out] + members
    tar = subprocess.run(command, check=True, stdout=subprocess.PIPE).stdout
    xz = subprocess.run(["xz", "-T1", "-1", "-c"], input=tar, check=True, stdout=subprocess.PIPE).stdout
    with open(out + ".partial", "wb") as f:
        f.write(xz)
    os.replace(out + ".partial", out)
    with open(out + ".listing", "w") as f:
        f.write(listing(root, leave_out))


def make_tar_fixtures(fixtures):
    folder = os.path.join(fixtures, "tar")
    os.makedirs(folder)
    root = os.path.join(folder, "tree")
    make_tree(root)
    top = sorted(os.listdir(root))
    make_archive(root, os.path.join(folder, "gnu.tar.xz"), "gnu", top)
    make_archive(root, os.path.join(folder, "pax.tar.xz"), "pax", top)
    make_archive(root, os.path.join(folder, "ustar.tar.xz"), "ustar", top, leave_out=(LONG_LINK,))
    make_archive(root, os.path.join(folder, "dot.tar.xz"), "gnu", ["."])
    shutil.rmtree(root)
