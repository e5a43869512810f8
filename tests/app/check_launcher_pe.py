#!/usr/bin/env python3
"""Reads launcher.exe as Windows would before it runs a line of it: the manifest in its resources
(asInvoker, Windows 10 and 11, common controls 6, long paths, per-monitor DPI awareness v2), the
terminal-server flag of its header, and no symbol table (the shipped file is stripped).

check_launcher_pe.py launcher.exe; prints what is wrong and exits 1, else exits 0."""

import struct
import sys
import xml.etree.ElementTree as ET

RT_MANIFEST = 24
TERMINAL_SERVER_AWARE = 0x8000
WINDOWS_10_AND_11 = "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"
ASM_V1 = "urn:schemas-microsoft-com:asm.v1"
ASM_V3 = "urn:schemas-microsoft-com:asm.v3"
COMPATIBILITY = "urn:schemas-microsoft-com:compatibility.v1"
SETTINGS_2005 = "http://schemas.microsoft.com/SMI/2005/WindowsSettings"
SETTINGS_2016 = "http://schemas.microsoft.com/SMI/2016/WindowsSettings"


class Pe:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("not an MZ file")
        header = struct.unpack_from("<I", data, 0x3C)[0]
        if data[header:header + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        (_, sections, _, self.symbol_table, self.symbols, optional_size, _) = struct.unpack_from(
            "<HHIIIHH", data, header + 4)
        optional = header + 24
        if struct.unpack_from("<H", data, optional)[0] != 0x20B:
            raise ValueError("not a 64-bit program")
        self.dll_characteristics = struct.unpack_from("<H", data, optional + 70)[0]
        directories = optional + 112
        (self.resource_rva,) = struct.unpack_from("<I", data, directories + 2 * 8)
        self.sections = []
        table = optional + optional_size
        for i in range(sections):
            name, virtual_size, rva, raw_size, raw_offset = struct.unpack_from("<8sIIII", data, table + 40 * i)
            self.sections.append((name.rstrip(b"\0").decode("ascii", "replace"), rva, max(virtual_size, raw_size),
                                  raw_offset))

    def offset(self, rva):
        for _, start, size, raw in self.sections:
            if start <= rva < start + size:
                return raw + rva - start
        raise ValueError("address %#x is in no section" % rva)

    def resource(self, type_id, name_id):
        """The bytes of the first language of resource (type_id, name_id), or None."""
        if self.resource_rva == 0:
            return None
        root = self.offset(self.resource_rva)

        def find(directory, wanted):
            named, numbered = struct.unpack_from("<HH", self.data, directory + 12)
            for i in range(named + numbered):
                key, target = struct.unpack_from("<II", self.data, directory + 16 + 8 * i)
                if wanted is None or (not key & 0x80000000 and key == wanted):
                    return target
            return None

        level = root
        for wanted in (type_id, name_id, None):
            target = find(level, wanted)
            if target is None:
                return None
            if wanted is not None and not target & 0x80000000:
                return None
            level = root + (target & 0x7FFFFFFF)
        rva, size = struct.unpack_from("<II", self.data, level)
        start = self.offset(rva)
        return self.data[start:start + size]


def manifest_faults(text):
    faults = []
    try:
        root = ET.fromstring(text)
    except ET.ParseError as e:
        return ["the manifest is not XML: %s" % e]
    if root.tag != "{%s}assembly" % ASM_V1:
        return ["the manifest's root is %s" % root.tag]

    levels = [e.get("level") for e in root.iter("{%s}requestedExecutionLevel" % ASM_V3)]
    if levels != ["asInvoker"]:
        faults.append("execution level %s, not asInvoker" % levels)
    supported = [e.get("Id", "").lower() for e in root.iter("{%s}supportedOS" % COMPATIBILITY)]
    if WINDOWS_10_AND_11 not in supported:
        faults.append("Windows 10 and 11 are not among the supported systems %s" % supported)

    def setting(namespace, name):
        return [(e.text or "").strip() for e in root.iter("{%s}%s" % (namespace, name))]

    if setting(SETTINGS_2016, "dpiAwareness") != ["PerMonitorV2"]:
        faults.append("DPI awareness %s, not PerMonitorV2" % setting(SETTINGS_2016, "dpiAwareness"))
    if setting(SETTINGS_2016, "longPathAware") != ["true"]:
        faults.append("not long-path aware: %s" % setting(SETTINGS_2016, "longPathAware"))
    if setting(SETTINGS_2005, "dpiAware") not in ([], ["true/pm"], ["true/PM"]):
        faults.append("the older DPI setting %s contradicts per-monitor awareness" % setting(SETTINGS_2005, "dpiAware"))

    controls = [e for e in root.iter("{%s}assemblyIdentity" % ASM_V1)
                if e.get("name") == "Microsoft.Windows.Common-Controls"]
    if len(controls) != 1 or controls[0].get("version") != "6.0.0.0" or \
            controls[0].get("publicKeyToken") != "6595b64144ccf1df":
        faults.append("no dependency on common controls 6")
    return faults


def faults_of(path):
    with open(path, "rb") as f:
        pe = Pe(f.read())
    faults = []
    manifest = pe.resource(RT_MANIFEST, 1)
    if manifest is None:
        faults.append("no manifest (resource type 24, id 1)")
    else:
        faults.extend(manifest_faults(manifest))
    if not pe.dll_characteristics & TERMINAL_SERVER_AWARE:
        faults.append("not linked terminal-server aware")
    if pe.symbol_table != 0 or pe.symbols != 0:
        faults.append("not stripped: %d symbols" % pe.symbols)
    debug = [name for name, _, _, _ in pe.sections if name.startswith(".debug") or name.startswith("/")]
    if debug:
        faults.append("debug sections %s" % debug)
    return faults


def main():
    faults = faults_of(sys.argv[1])
    for fault in faults:
        print("%s: %s" % (sys.argv[1], fault))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
