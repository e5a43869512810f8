#!/usr/bin/env python3
"""Writes tool archives and Windows SDK-like installers beside the loopback server, for the tool
tests of both builds.

usage: make_tool_fixtures.py DIR

DIR/site/tool-fixtures/ (served as /site/tool-fixtures/) holds the tar.xz archives of
make_tar_fixtures.py under tar/; under tools/ the archives of the tools that the install tests list:
  clang.tar.xz  by GNU tar: clang-19/ with bin/clang.exe, bin/clang-format.exe, bin/lld-link.exe,
                bin/lld.exe (a symbolic link to lld-link.exe), bin/api-ms-win-core-a.dll,
                bin/x/api-ms-win-b.dll, lib/clang/19/include/stddef.h, share/doc/readme.txt
  cmake.zip     cmake-3.31/ with bin/cmake.exe, share/cmake-3.31/Modules/x.cmake, doc/readme.txt
  ninja.zip     ninja.exe
  big.zip       big.bin, 2 MiB of seeded random bytes, stored
  vc-headers.vsix, vc-libs.vsix   VSIX packages: [Content_Types].xml, extension.vsixmanifest and
                their payload below Contents/, one name with %20 for a blank
and two installer packages made by wixl
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
import random
import shutil
import subprocess
import sys
import tempfile
import zipfile

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


def make_zip(path, entries, stored=False):
    with zipfile.ZipFile(path, "w", zipfile.ZIP_STORED if stored else zipfile.ZIP_DEFLATED) as archive:
        for name, data in entries:
            archive.writestr(zipfile.ZipInfo(name, date_time=(2024, 1, 1, 0, 0, 0)), data)


def make_tool_archives(work, out):
    os.makedirs(out)
    tree = os.path.join(work, "clang-tree")
    files = {
        "bin/clang.exe": "clang\n",
        "bin/clang-format.exe": "not kept\n",
        "bin/lld-link.exe": "lld\n",
        "bin/api-ms-win-core-a.dll": "api set\n",
        "bin/x/api-ms-win-b.dll": "below bin, not kept\n",
        "lib/clang/19/include/stddef.h": "#pragma once\n",
        "share/doc/readme.txt": "not kept\n",
    }
    for name, text in files.items():
        path = os.path.join(tree, "clang-19", name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        write(path, text)
    # Named to sort after its target, as --sort=name writes links.
    os.symlink("lld-link.exe", os.path.join(tree, "clang-19", "bin", "lld.exe"))
    tar = subprocess.run(["tar", "--format=gnu", "--sort=name", "--owner=0", "--group=0", "-C", tree, "-cf", "-",
                          "clang-19"], check=True, stdout=subprocess.PIPE).stdout
    with open(os.path.join(out, "clang.tar.xz"), "wb") as f:
        f.write(subprocess.run(["xz", "-T1", "-c"], input=tar, check=True, stdout=subprocess.PIPE).stdout)

    make_zip(os.path.join(out, "cmake.zip"), [
        ("cmake-3.31/", b""), ("cmake-3.31/bin/", b""), ("cmake-3.31/bin/cmake.exe", b"cmake\n"),
        ("cmake-3.31/share/cmake-3.31/Modules/x.cmake", b"# module\n"), ("cmake-3.31/doc/readme.txt", b"not kept\n")])
    make_zip(os.path.join(out, "ninja.zip"), [("ninja.exe", b"ninja\n")])
    make_zip(os.path.join(out, "big.zip"), [("big.bin", random.Random(5).randbytes(2 << 20))], stored=True)
    package = [("[Content_Types].xml", b"<Types/>\n"), ("extension.vsixmanifest", b"<PackageManifest/>\n")]
    make_zip(os.path.join(out, "vc-headers.vsix"), package + [
        ("Contents/VC/Tools/MSVC/14.44.17.14/include/vcruntime.h", b"#pragma once\n"),
        ("Contents/VC/Tools/MSVC/14.44.17.14/include/a%20b.h", b"// a blank in the name\n")])
    make_zip(os.path.join(out, "vc-libs.vsix"), package + [
        ("Contents/VC/Tools/MSVC/14.44.17.14/lib/x64/libcmt.lib", b"library\n")])


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
        make_tool_archives(work, os.path.join(out, "tools"))
    finally:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
