#!/usr/bin/env python3
"""An independent writer of the soundtrack database ST.DB, from the format's tables, and the cases the
C++ tests compare their images with.

usage: soundtrack_db_reference.py FOLDER

For each case FOLDER/NAME.json describes the soundtracks ({"soundtracks": [{"name_hex": ..., "songs":
[{"name_hex": ..., "ms": ...}]}]}, names as hexadecimal UTF-8 bytes, which may be ill-formed) and
FOLDER/NAME.db holds the image written here.
"""
import hashlib
import json
import os
import struct
import sys

BLOCK = 0x200
GROUPS_START = 0xCA00
MAX_SOUNDTRACKS = 100
MAX_UNITS = 31


def utf16_units(name):
    """The name's UTF-16 code units, decoded leniently and bounded to 31 units."""
    units = []
    i = 0
    while i < len(name):
        lead = name[i]
        i += 1
        if lead >= 0xF0:
            more, value = 3, lead & 0x07
        elif lead >= 0xE0:
            more, value = 2, lead & 0x0F
        elif lead >= 0xC0:
            more, value = 1, lead & 0x1F
        else:
            more, value = 0, lead
        while more and i < len(name):
            value = (value << 6) | (name[i] & 0x3F)
            i += 1
            more -= 1
        if value > 0xFFFF:
            if len(units) > MAX_UNITS - 2:
                break
            units += [0xD800 + ((value - 0x10000) >> 10), 0xDC00 + (value & 0x3FF)]
        else:
            if len(units) > MAX_UNITS - 1:
                break
            units.append(value)
    return units


def put_name(image, offset, name):
    for n, unit in enumerate(utf16_units(name)):
        struct.pack_into("<H", image, offset + 2 * n, unit)


def u32(value):
    return value & 0xFFFFFFFF


def write_db(soundtracks):
    """soundtracks: [(name bytes, [(name bytes, ms), ...]), ...]"""
    groups = sum((len(songs) + 5) // 6 for _, songs in soundtracks)
    image = bytearray(GROUPS_START + BLOCK * groups)
    count = min(len(soundtracks), MAX_SOUNDTRACKS)
    struct.pack_into("<III", image, 0, 1, count, count + 1)
    for i in range(count):
        struct.pack_into("<I", image, 0x0C + 4 * i, i + 1)
    k = 0
    for i in range(count):
        name, songs = soundtracks[i]
        t = i + 1
        block = BLOCK * t
        struct.pack_into("<III", image, block, 0x00021371, t, len(songs))
        total = 0
        for g in range((len(songs) + 5) // 6):
            struct.pack_into("<I", image, block + 0x0C + 4 * g, k)
            group = GROUPS_START + BLOCK * k
            struct.pack_into("<IIII", image, group, 0x00031073, t, g, 0)
            for j, (song_name, ms) in enumerate(songs[6 * g:6 * g + 6]):
                struct.pack_into("<I", image, group + 0x10 + 4 * j, (t << 16) | (6 * g + j))
                struct.pack_into("<I", image, group + 0x28 + 4 * j, u32(ms))
                put_name(image, group + 0x40 + 0x40 * j, song_name)
                total = u32(total + ms)
            k += 1
        struct.pack_into("<I", image, block + 0x15C, total)
        put_name(image, block + 0x160, name)
    return bytes(image)


def letters(n):
    return "".join(chr(ord("a") + (n // 26 ** p) % 26) for p in range(3))


ROCK = ("Rock", [(c, 1000 * (n + 1)) for n, c in enumerate("abcdefg")])
CASES = {
    "no_soundtrack": [],
    "rock": [ROCK],
    "rock_and_unicode": [ROCK, ("\u00dc\U0001F600", [("x", -1), ("y", 2)])],
    "full_soundtrack": [("Full", [("song " + str(n), 1000 + n) for n in range(504)])],
    "more_than_100": [("st" + str(n), [(letters(n * 7 + s), 100 * n + s) for s in range(1 + n % 8)])
                      for n in range(101)],
    "wrapping_total": [("Long", [("one", 0x7FFFFFFF), ("two", 0x7FFFFFFF), ("three", 0x7FFFFFFF), ("minus", -7)])],
    "long_and_odd_names": [
        ("s" * 40, [("t" * 30 + "\U0001F600", 1), ("u" * 29 + "\U0001F600" + "v", 2), ("", 3),
                    (b"\xc3A\xf8\x88\x80\x80\x80z\xc3", 4), (b"\xff\xfe\xe2\x82", 5), ("\u00e9t\u00e9", 6),
                    ("seven", 7)]),
        ("", [("only", 8)]),
    ],
}

# Digests of three images, checked against this writer and the C++ one alike.
KNOWN = {
    "no_soundtrack": (0xCA00, "4d1e3a1a8b73e07458f1b14a6f6ec00a1adec7018ec1642d2e98beb00a55de71"),
    "rock": (0xCE00, "75c9ea4047b7130a880ce95d2c55e28c6d5a25d8886902a21fac77adc1aaf515"),
    "rock_and_unicode": (0xD000, "305ffb1fb2e3d2f9f5d4c33c6c6b4bf62c981c84633df429e8900edd41eb7761"),
}


def as_bytes(name):
    return name if isinstance(name, bytes) else name.encode("utf-8")


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    for case, soundtracks in CASES.items():
        soundtracks = [(as_bytes(name), [(as_bytes(s), ms) for s, ms in songs]) for name, songs in soundtracks]
        image = write_db(soundtracks)
        if case in KNOWN:
            size, digest = KNOWN[case]
            if len(image) != size or hashlib.sha256(image).hexdigest() != digest:
                sys.exit("the reference writer's %s image is not the known one" % case)
        description = {"soundtracks": [{"name_hex": name.hex(),
                                        "songs": [{"name_hex": s.hex(), "ms": ms} for s, ms in songs]}
                                       for name, songs in soundtracks]}
        with open(os.path.join(folder, case + ".json"), "w") as f:
            json.dump(description, f)
        with open(os.path.join(folder, case + ".db"), "wb") as f:
            f.write(image)


if __name__ == "__main__":
    main()
