#!/usr/bin/env python3
"""Writes the zip archives that the extraction tests read, into the folder given as the argument.

zipfile writes any entry name, Unix mode and folder attribute; Debian's zip makes the encrypted
entry. Damaged archives are written whole and then patched byte by byte.
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import warnings
import zipfile

UNIX = 3
DOS = 0
DOS_FOLDER = 0x10
S_IFREG = 0o100000
S_IFDIR = 0o040000
S_IFLNK = 0o120000

# Names that IsSafeRelativePath rejects (the empty one aside: no archive can hold it through
# zipfile, and an empty name is skipped before the safety test anyway). The tests find each
# archive by the hexadecimal form of its name.
UNSAFE_NAMES = [
    "/x", "\\x", "C:x", "x:y", "..", "a/..", "a/../b", "a\\..\\b", ".. /x", "a/.. /../x",
    "hdd./x", "Logs /x", "x.", "NUL", "nul.txt", "NUL .txt", "a/aux", "COM1.txt", "lpt9",
    "a\x01z.txt",
]

WORK_FOLDER = "compiler/work"
PROTECTED = ["hdd", "assets", "logs", "screenshots", "captures", WORK_FOLDER]
LEADS = ["", "./", "././", "./././"]
FORMS = ["{}/x", "{}//x", "{}/./x", "{}./x", "{} /x", "{}. /x", "{}/"]


def info(name, mode=None, system=UNIX, attributes=None, date_time=(2021, 3, 14, 15, 9, 26)):
    entry = zipfile.ZipInfo(name, date_time=date_time)
    entry.create_system = system
    if attributes is not None:
        entry.external_attr = attributes
    elif mode is not None:
        entry.external_attr = mode << 16
    else:
        entry.external_attr = (S_IFREG | 0o644) << 16
    return entry


def write(path, entries, method=zipfile.ZIP_DEFLATED):
    """entries: (ZipInfo or name, bytes) pairs, in archive order."""
    with zipfile.ZipFile(path, "w", method) as archive:
        for entry, data in entries:
            if isinstance(entry, str):
                entry = info(entry)
            entry.compress_type = method
            archive.writestr(entry, data)


def patch(path, old, new):
    """Replaces every occurrence of old (a placeholder name) by new bytes of the same length."""
    assert len(old) == len(new)
    data = open(path, "rb").read()
    assert data.count(old) == 2, "the name stands in the local header and the central directory"
    open(path, "wb").write(data.replace(old, new))


def layout(out):
    tree = [("top.txt", b"top"), ("a/", b""), ("a/b/", b""), ("a/b/c.txt", b"c" * 300), ("a/d.txt", b"d")]
    write(os.path.join(out, "slashes.zip"), [(info(n, S_IFDIR | 0o755) if n.endswith("/") else info(n), d)
                                             for n, d in tree])
    # As a Windows tool writes them: backslashes, and folders marked by the name alone.
    write(os.path.join(out, "backslashes.zip"), [(info(n.replace("/", "\\"), system=DOS, attributes=0), d)
                                                 for n, d in tree])
    write(os.path.join(out, "folders_only.zip"), [("x/", b""), ("x/y/", b""), ("z/", b"")])
    write(os.path.join(out, "nested.zip"), [("a/b/c.txt", b"deep")])
    write(os.path.join(out, "folder_marks.zip"), [
        (info("by-name\\", system=DOS, attributes=0), b""),
        (info("by-dos", system=DOS, attributes=DOS_FOLDER), b""),
        (info("by-unix", mode=S_IFDIR | 0o755), b""),
        ("file.txt", b"file"),
    ])
    # zipfile flags the first two names as UTF-8; the third is UTF-8 without the flag, as Info-ZIP
    # writes names on Linux.
    names = os.path.join(out, "names.zip")
    write(names, [("Grüße/Ärger.txt", "Ärger".encode()), ("日本/ファイル.txt", b"file"), ("Gr----e.txt", b"plain")])
    patch(names, b"Gr----e", "Grüße".encode())


def unsafe(out):
    folder = os.path.join(out, "unsafe")
    os.makedirs(folder)
    for name in UNSAFE_NAMES:
        write(os.path.join(folder, name.encode().hex() + ".zip"),
              [("ok.txt", b"ok"), (name, b"unsafe"), ("z.txt", b"z")])


def integrity(out):
    text = b"".join(b"line %06d of a compressible text\n" % i for i in range(4000))

    crc = os.path.join(out, "crc.zip")
    write(crc, [("data.txt", text)], zipfile.ZIP_STORED)
    data = bytearray(open(crc, "rb").read())
    local_crc = 14
    central_crc = data.index(b"PK\x01\x02") + 16
    right = struct.unpack_from("<I", data, local_crc)[0]
    assert struct.unpack_from("<I", data, central_crc)[0] == right
    for offset in (local_crc, central_crc):
        struct.pack_into("<I", data, offset, right ^ 0x5A5A5A5A)
    open(crc, "wb").write(bytes(data))

    deflate = os.path.join(out, "deflate.zip")
    write(deflate, [("data.txt", text)])
    data = bytearray(open(deflate, "rb").read())
    name_length, extra_length = struct.unpack_from("<HH", data, 26)
    start = 30 + name_length + extra_length
    compressed = struct.unpack_from("<I", data, 18)[0]
    data[start + compressed // 2] ^= 0xFF
    open(deflate, "wb").write(bytes(data))

    with tempfile.TemporaryDirectory() as work:
        open(os.path.join(work, "data.txt"), "wb").write(text)
        subprocess.run(["zip", "-q", "-P", "secret", os.path.join(out, "encrypted.zip"), "data.txt"],
                       cwd=work, check=True)

    write(os.path.join(out, "bzip2.zip"), [("data.txt", text)], zipfile.ZIP_BZIP2)

    # The uncompressed size declared in both headers differs from what the data holds.
    for name, size in (("size_short.zip", 10),
                       ("size_long.zip", len(text) + 1000)):
        path = os.path.join(out, name)
        write(path, [("data.txt", text)])
        data = bytearray(open(path, "rb").read())
        struct.pack_into("<I", data, 22, size)
        struct.pack_into("<I", data, data.index(b"PK\x01\x02") + 24, size)
        open(path, "wb").write(bytes(data))

    # The second central record points at the first entry's local header; the two entries have the
    # same data, so that only the shared offset is wrong.
    shared = os.path.join(out, "shared_offset.zip")
    write(shared, [("data.txt", text), ("copy.txt", text)])
    data = bytearray(open(shared, "rb").read())
    second = data.index(b"PK\x01\x02", data.index(b"PK\x01\x02") + 4)
    struct.pack_into("<I", data, second + 42, 0)
    open(shared, "wb").write(bytes(data))

    open(os.path.join(out, "notzip.zip"), "wb").write(b"this is a text file, not a zip archive\n" * 10)
    whole = os.path.join(out, "slashes.zip")
    data = open(whole, "rb").read()
    open(os.path.join(out, "truncated.zip"), "wb").write(data[: len(data) // 2])

    badname = os.path.join(out, "badname.zip")
    write(badname, [("bad-XX.txt", b"bad")])
    patch(badname, b"bad-XX.txt", b"bad-\xff\xfe.txt")


def zip64(out):
    """Two entries whose central records give their local header offsets in zip64 fields, behind a
    zip64 end record, as writers store archives over 4 GiB."""
    path = os.path.join(out, "zip64.zip")
    write(path, [("one.txt", b"one" * 50), ("two.txt", b"two" * 70)])
    data = open(path, "rb").read()
    start = struct.unpack_from("<I", data, len(data) - 22 + 16)[0]
    central = b""
    at = start
    for _ in range(2):
        name_length, extra_length, comment_length = struct.unpack_from("<HHH", data, at + 28)
        assert extra_length == 0 and comment_length == 0
        offset = struct.unpack_from("<I", data, at + 42)[0]
        record = bytearray(data[at:at + 46])
        struct.pack_into("<H", record, 30, 12)
        struct.pack_into("<I", record, 42, 0xFFFFFFFF)
        central += bytes(record) + data[at + 46:at + 46 + name_length] + struct.pack("<HHQ", 1, 8, offset)
        at += 46 + name_length
    end64 = len(data[:start]) + len(central)
    tail = struct.pack("<IQHHIIQQQQ", 0x06064B50, 44, 45, 45, 0, 0, 2, 2, len(central), start)
    tail += struct.pack("<IIQI", 0x07064B50, 0, end64, 1)
    tail += struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 0xFFFF, 0xFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0)
    open(path, "wb").write(data[:start] + central + tail)
    with zipfile.ZipFile(path) as check:
        assert check.read("two.txt") == b"two" * 70


def order(out):
    write(os.path.join(out, "order.zip"), [("one.txt", b"1" * 100), ("two.txt", b"2" * 200),
                                           ("three.txt", b"3" * 300)])
    write(os.path.join(out, "duplicate.zip"), [("same.txt", b"first"), ("same.txt", b"second")])
    write(os.path.join(out, "dated.zip"), [(info("dated.txt", date_time=(2019, 4, 28, 17, 5, 42)), b"dated")])
    write(os.path.join(out, "symlink.zip"), [(info("link", S_IFLNK | 0o777), b"target/file.txt")])
    write(os.path.join(out, "modes.zip"), [(info("tool", S_IFREG | 0o755), b"#!/bin/sh\n"),
                                           (info("data", S_IFREG | 0o644), b"data")])


def package(out):
    names = []
    for folder in PROTECTED:
        for spelling in (folder, folder.upper(), folder.title()):
            for lead in LEADS:
                for form in FORMS:
                    names.append(lead + form.format(spelling))
    names += ["././hdd/E/save.dat", WORK_FOLDER.replace("/", "//") + "/x", "././settings.toml", "settings.toml", "Game.TOML",
              "a..b/c.txt", ".//x", "D:x", "NUL", "nul.txt", "a/aux", "x.",
              ".next/x", "./.NEXT/y", ".next"]
    # Every other name as a Windows tool would store it.
    names = [n.replace("/", "\\") if i % 2 else n for i, n in enumerate(names)]
    kept = ["./bin/game.dll", "hdd", "./hdd", "hddx\\y", "docs\\settings.toml", ".toml", "compiler/cache.bin"]
    entries = [(name, ("unpacked from " + name).encode()) for name in names + kept]
    write(os.path.join(out, "package.zip"), entries)


def main():
    warnings.simplefilter("ignore")  # zipfile warns of the duplicate names written on purpose
    out = sys.argv[1]
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    layout(out)
    unsafe(out)
    integrity(out)
    zip64(out)
    order(out)
    package(out)


if __name__ == "__main__":
    main()
