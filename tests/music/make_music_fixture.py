#!/usr/bin/env python3
"""Writes the music import's test library beside the loopback server, with what the import must make
of it, computed here from the import's rules and the independent ST.DB writer.

usage: make_music_fixture.py DIR HELPER_CHILD --suffix=SUFFIX

DIR/music/Música/            the user's music folder, songs made with ffmpeg's sine source:
  intro.wav                    loose, untagged: the first soundtrack, named after the folder
  A Broken/noise.mp3           a text file: cannot be converted, so its soundtrack disappears
  Damaged/cover.mp3            a cover picture and only an artist: named by its file
  Damaged/damaged.flac         its first four bytes overwritten: no duration, but it converts
  Damaged/empty.mp3            an empty file: cannot be converted
  Nested/top.opus, Nested/inner/deeper/nested.ogg
  Tagged/a.mp3 b.flac c.ogg d.opus e.m4a f.aiff     tagged in every format
  Ünïcode ☂/Çanção.mp3, Ünïcode ☂/ß.flac
Beside each song, what Debian's programs did with it, run with the import's own command lines (the
fake ffprobe and ffmpeg replay these under Wine):
  <song>.probe        ffprobe's output
  <song>.converted    ffmpeg's output file, when it made one and exited 0
  <song>.fail         ffmpeg's output, when it failed
DIR/music/expected.json      the soundtracks' songs (source components, file, name, ms, size, time in
                             100 ns ticks since 1601), the failed songs with ffmpeg's last line, the result
DIR/music/expected.db        the ST.DB the import must write
With SUFFIX .exe also DIR/music/ffmpeg-tool.zip, the ffmpeg tool: the helper child as bin/ffmpeg.exe
and bin/ffprobe.exe, and ffmpeg-tool.json with its "sha256" and "size".
"""
import argparse
import hashlib
import json
import math
import os
import shutil
import subprocess
import sys
import tempfile
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import soundtrack_db_reference  # noqa: E402

ROOT = "Música"
MUSIC_EXTENSIONS = {".mp3", ".flac", ".ogg", ".opus", ".m4a", ".aac", ".wav", ".wma", ".aiff", ".aif"}
TICKS_FROM_1601_TO_1970 = 116444736000000000


def sine(path, seconds, frequency, tags=(), extra=()):
    command = ["ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi",
               "-i", "sine=frequency=%d:duration=%s" % (frequency, seconds)]
    command += list(extra)
    for name, value in tags:
        command += ["-metadata", "%s=%s" % (name, value)]
    subprocess.run(command + [path], check=True)


def make_library(root):
    os.makedirs(root)
    join = lambda *parts: os.path.join(root, *parts)
    for folder in ["A Broken", "Damaged", "Nested/inner/deeper", "Tagged", "Ünïcode ☂"]:
        os.makedirs(join(folder))
    sine(join("intro.wav"), 1, 300)
    with open(join("A Broken", "noise.mp3"), "w") as f:
        f.write("these are words, not music\n")
    open(join("Damaged", "empty.mp3"), "w").close()
    with tempfile.TemporaryDirectory() as scratch:
        cover = os.path.join(scratch, "cover.png")
        subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i", "color=c=red:s=16x16",
                        "-frames:v", "1", cover], check=True)
        sine(join("Damaged", "cover.mp3"), 1, 350, [("artist", "Only Artist")],
             ["-i", cover, "-map", "0:a", "-map", "1:v", "-c:v", "png", "-disposition:v", "attached_pic",
              "-metadata:s:v", "title=Album cover", "-metadata:s:v", "comment=Cover (front)", "-id3v2_version", "3"])
    sine(join("Damaged", "damaged.flac"), 1, 400, [("title", "Never Seen")])
    with open(join("Damaged", "damaged.flac"), "r+b") as f:
        f.write(b"XXXX")
    sine(join("Nested", "top.opus"), 1.5, 450, [("title", "Top"), ("artist", "Nester")])
    sine(join("Nested", "inner", "deeper", "nested.ogg"), 0.5, 500, [("TITLE", "Deep Down")])
    sine(join("Tagged", "a.mp3"), 1, 550, [("title", "Alpha"), ("artist", "Band")])
    sine(join("Tagged", "b.flac"), 2, 600, [("title", "Bravo")])
    sine(join("Tagged", "c.ogg"), 1, 650, [("title", "x=y"), ("artist", "Equals")])
    sine(join("Tagged", "d.opus"), 1, 700, [("title", "Delta"), ("artist", "Ópus")])
    sine(join("Tagged", "e.m4a"), 1, 750, [("title", "Echo"), ("artist", "Band")])
    sine(join("Tagged", "f.aiff"), 1, 800, [("title", "Foxtrot")])
    sine(join("Ünïcode ☂", "Çanção.mp3"), 1, 850, [("title", "Ünïcödé ☂"), ("artist", "Ärtist")])
    sine(join("Ünïcode ☂", "ß.flac"), 1, 900)


def sort_key(name):
    """The import's order: the name's UTF-8 with ASCII letters lower-cased, as unsigned bytes."""
    return bytes(b + 32 if 65 <= b <= 90 else b for b in name.encode("utf-8"))


def listing(folder):
    names = os.listdir(folder)
    folders = sorted((n for n in names if os.path.isdir(os.path.join(folder, n))), key=sort_key)
    # os.path.splitext, like the import, gives ".mp3" alone no extension.
    files = sorted((n for n in names if os.path.isfile(os.path.join(folder, n))
                    and os.path.splitext(n)[1].lower() in MUSIC_EXTENSIONS), key=sort_key)
    return folders, files


def collect(folder, parts):
    folders, files = listing(folder)
    songs = [parts + [f] for f in files]
    for sub in folders:
        songs += collect(os.path.join(folder, sub), parts + [sub])
    return songs


def scan(root):
    folders, files = listing(root)
    soundtracks = []
    if files:
        soundtracks.append((ROOT, [[f] for f in files]))
    for sub in folders:
        songs = collect(os.path.join(root, sub), [sub])
        if songs:
            soundtracks.append((sub, songs))
    return soundtracks


def output_lines(data):
    """The lines the import's runner hands on: split at CR and LF, empty ones dropped."""
    return [line for line in data.replace(b"\r", b"\n").split(b"\n") if line]


def probe_lines_to_song(lines, stem):
    duration, title, artist = 0.0, b"", b""
    for line in lines:
        if line.startswith(b"duration="):
            try:
                duration = float(line[len(b"duration="):])
            except ValueError:
                duration = 0.0
            if not math.isfinite(duration * 1000) or abs(duration * 1000) >= 2.0 ** 63:
                duration = 0.0
        elif line.lower().startswith(b"tag:title="):
            title = line[len(b"tag:title="):]
        elif line.lower().startswith(b"tag:artist="):
            artist = line[len(b"tag:artist="):]
    name = stem.encode("utf-8")
    if title:
        name = artist + b" / " + title if artist else title
    ms = int(duration * 1000)
    ms = ((ms + 2 ** 31) % 2 ** 32) - 2 ** 31
    return name.decode("utf-8", errors="replace"), ms


def convert(root, parts):
    source = os.path.join(root, *parts)
    probe = subprocess.run(["ffprobe", "-v", "error", "-select_streams", "a", "-show_entries",
                            "format=duration:format_tags=title,artist:stream_tags=title,artist", "-of",
                            "default=noprint_wrappers=1", source],
                           stdout=subprocess.PIPE, stderr=subprocess.STDOUT, cwd=root)
    with open(source + ".probe", "wb") as f:
        f.write(probe.stdout)
    with tempfile.TemporaryDirectory() as scratch:
        staged = os.path.join(scratch, "0.WMA")
        run = subprocess.run(["ffmpeg", "-nostdin", "-y", "-v", "error", "-i", source, "-vn", "-map_metadata", "-1",
                              "-ac", "2", "-ar", "44100", "-c:a", "wmav2", "-b:a", "160k", staged],
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT, cwd=root)
        if run.returncode == 0 and os.path.isfile(staged):
            shutil.copyfile(staged, source + ".converted")
            return output_lines(probe.stdout), None
    with open(source + ".fail", "wb") as f:
        f.write(run.stdout)
    lines = output_lines(run.stdout)
    return output_lines(probe.stdout), (lines[-1].decode("utf-8", errors="replace") if lines else "")


def make_tool_zip(folder, helper_child):
    archive_path = os.path.join(folder, "ffmpeg-tool.zip")
    with open(helper_child, "rb") as f:
        program = f.read()
    with zipfile.ZipFile(archive_path, "w", zipfile.ZIP_DEFLATED) as archive:
        for name in ("bin/ffmpeg.exe", "bin/ffprobe.exe"):
            info = zipfile.ZipInfo(name, date_time=(2024, 1, 1, 0, 0, 0))
            info.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(info, program)
    with open(archive_path, "rb") as f:
        data = f.read()
    with open(os.path.join(folder, "ffmpeg-tool.json"), "w") as f:
        json.dump({"sha256": hashlib.sha256(data).hexdigest(), "size": len(data)}, f)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("folder")
    parser.add_argument("helper_child")
    parser.add_argument("--suffix", default="")
    args = parser.parse_args()

    folder = os.path.join(args.folder, "music")
    shutil.rmtree(folder, ignore_errors=True)
    root = os.path.join(folder, ROOT)
    make_library(root)

    soundtracks, songs, failed, total = [], [], [], 0
    for name, parts_list in scan(root):
        kept = []
        for parts in parts_list:
            total += 1
            probe_lines, failure = convert(root, parts)
            if failure is not None:
                failed.append({"source": parts, "last_line": failure})
                continue
            song_name, ms = probe_lines_to_song(probe_lines, os.path.splitext(parts[-1])[0])
            kept.append((parts, song_name, ms))
        if kept:
            soundtracks.append((name, kept))
    for t, (name, kept) in enumerate(soundtracks, 1):
        for index, (parts, song_name, ms) in enumerate(kept):
            stat = os.stat(os.path.join(root, *parts))
            songs.append({"source": parts, "file": "%04x/%08x.WMA" % (t, (t << 16) | index), "name": song_name,
                          "ms": ms & 0xFFFFFFFF, "size": stat.st_size,
                          "time": stat.st_mtime_ns // 100 + TICKS_FROM_1601_TO_1970})
    accepted = len(songs)
    result = "%d songs in %d soundtracks" % (accepted, len(soundtracks))
    if failed:
        result += " (%d could not be converted: see launcher.log)" % len(failed)
    image = soundtrack_db_reference.write_db(
        [(name.encode("utf-8"), [(song_name.encode("utf-8"), ms) for _, song_name, ms in kept])
         for name, kept in soundtracks])
    with open(os.path.join(folder, "expected.db"), "wb") as f:
        f.write(image)
    with open(os.path.join(folder, "expected.json"), "w", encoding="utf-8") as f:
        json.dump({"root": ROOT, "result": result, "total": total, "converted": accepted,
                   "soundtracks": [name for name, _ in soundtracks], "songs": songs, "failed": failed},
                  f, ensure_ascii=False, indent=1)
    if args.suffix == ".exe":
        make_tool_zip(folder, args.helper_child)


if __name__ == "__main__":
    main()
