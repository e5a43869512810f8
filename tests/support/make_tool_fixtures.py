#!/usr/bin/env python3
"""Writes tool archives and Windows SDK-like installers beside the loopback server, for the tool
tests of both builds.

usage: make_tool_fixtures.py DIR

DIR/site/tool-fixtures/ (served as /site/tool-fixtures/) holds the tar.xz archives of
make_tar_fixtures.py under tar/, and two installer packages made by wixl
whose files lie in cabinets outside them, named by 32 lower-case hexadecimal digits as the SDK's are:
  kit-a.msi     names CAB_A (its own files: a_h, a_txt) and CAB_SHARED
  kit-b.msi     names CAB_SHARED (its files: b_h)
  CAB_A         a_h and a_txt, by File Id, made by gcab
  CAB_SHARED    b_h
  CAB_STRAY     a cabinet that neither installer names
wixl puts every file of a package on its first medium, so kit-a's second medium holds none of its
files; the package still names that cabinet, which is what the cabinet scan reads. (msiextract
unpacks every file of every cabinet a package names, kit-b's b_h for kit-a too, under its File Id
when the package does not list it.)
"""
import os
import shutil
import subprocess
import sys
import tempfile

from make_tar_fixtures import make_tar_fixtures

CAB_A = "2630bae9681db6a9f6722366f47d055c.cab"
CAB_SHARED = "e10768bb6e9d0ea730280336b697da66.cab"
CAB_STRAY = "f9b24c8280986c0683fbceca5326d806.cab"

PACKAGE = """<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="*" Name="{name}" Language="1033" Version="1.0.0" Manufacturer="Test" UpgradeCode="{upgrade}">
    <Package InstallerVersion="200" Compressed="yes" InstallScope="perMachine"/>
{media}
    <Directory Id="TARGETDIR" Name="SourceDir">
      <Directory Id="KitRoot" Name="Kit">
        <Component Id="Files" Guid="{component}">
{files}
        </Component>
      </Directory>
    </Directory>
    <Feature Id="All" Level="1"><ComponentRef Id="Files"/></Feature>
  </Product>
</Wix>
"""

# File Id, file name, content; the cabinets hold each file under its File Id.
KIT_A = [("a_h", "a.h", "#pragma once\n"), ("a_txt", "a.txt", "kit a\n")]
KIT_B = [("b_h", "b.h", "#define KIT_B 1\n")]


def run(args, folder):
    subprocess.run(args, cwd=folder, check=True, stdout=subprocess.DEVNULL)


def write(path, text):
    with open(path, "w", newline="\n") as f:
        f.write(text)


def make_package(work, out, stem, cabinets, files, upgrade, component):
    source = os.path.join(work, stem)
    os.makedirs(source)
    for _, name, content in files:
        write(os.path.join(source, name), content)
    media = "\n".join(
        f'    <Media Id="{i + 1}" Cabinet="{cab}" EmbedCab="no"/>' for i, cab in enumerate(cabinets))
    listed = "\n".join(
        f'          <File Id="{file_id}" Name="{name}" Source="{stem}/{name}"/>' for file_id, name, _ in files)
    write(os.path.join(work, stem + ".wxs"),
          PACKAGE.format(name=stem, upgrade=upgrade, component=component, media=media, files=listed))
    package = os.path.join(out, stem + ".msi")
    run(["wixl", "-o", package, stem + ".wxs"], work)
    # wixl can exit with 0 having written nothing.
    if not os.path.isfile(package):
        sys.exit("wixl wrote no " + package)


def make_cabinet(work, out, cabinet, files):
    folder = os.path.join(work, "cab-" + cabinet)
    os.makedirs(folder)
    for file_id, _, content in files:
        write(os.path.join(folder, file_id), content)
    run(["gcab", "-c", os.path.join(out, cabinet)] + [file_id for file_id, _, _ in files], folder)


def main():
    out = os.path.join(os.path.abspath(sys.argv[1]), "site", "tool-fixtures")
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    work = tempfile.mkdtemp()
    try:
        make_package(work, out, "kit-a", [CAB_A, CAB_SHARED], KIT_A,
                     "6a3c1e52-9a0f-4d0e-8a51-3b6f0f1c2a01", "6a3c1e52-9a0f-4d0e-8a51-3b6f0f1c2a02")
        make_package(work, out, "kit-b", [CAB_SHARED], KIT_B,
                     "6a3c1e52-9a0f-4d0e-8a51-3b6f0f1c2b01", "6a3c1e52-9a0f-4d0e-8a51-3b6f0f1c2b02")
        make_cabinet(work, out, CAB_A, KIT_A)
        make_cabinet(work, out, CAB_SHARED, KIT_B)
        make_cabinet(work, out, CAB_STRAY, [("stray_txt", "stray.txt", "named by no installer\n")])
        make_tar_fixtures(out)
    finally:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
