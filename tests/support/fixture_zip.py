"""Zip archives for the test fixtures: entries with a fixed time and a Unix mode, written under a
temporary name and then put in place, so a set-up step cut short never leaves half an archive."""
import os
import zipfile


def add(archive, name, data, mode=0o644):
    info = zipfile.ZipInfo(name, date_time=(2024, 1, 1, 0, 0, 0))
    info.compress_type = zipfile.ZIP_DEFLATED
    info.create_system = 3  # Unix, so that the mode counts
    info.external_attr = (0o100000 | mode) << 16
    archive.writestr(info, data)


def write_zip(path, entries):
    """entries: (name, data, mode) triples."""
    partial = path + ".partial"
    with zipfile.ZipFile(partial, "w") as archive:
        for name, data, mode in entries:
            add(archive, name, data, mode)
    os.replace(partial, path)
