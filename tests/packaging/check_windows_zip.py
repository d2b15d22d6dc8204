#!/usr/bin/env python3
"""Checks the Windows package as a user unpacks it.

    check_windows_zip.py PACKAGE.zip VERSION SOURCE_DIR

The zip must hold the one program and the README; the program must need no DLL
beyond Windows' own and must carry its icon, manifest and version resource.
"""
import io
import os
import re
import struct
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ElementTree
import zipfile

PACKAGE = VERSION = SOURCE_DIR = None

RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24
PROGRAM_ICON_ID = 1        # the number the program loads its icon by
PROCESS_MANIFEST_ID = 1    # the manifest Windows applies when the process starts

# DLLs that every Windows installation has; a DLL of the compiler's runtime
# (libstdc++-6.dll, libwinpthread-1.dll, libgcc_s_seh-1.dll, ...) would be missing.
WINDOWS_DLLS = {
    "advapi32.dll", "bcrypt.dll", "comctl32.dll", "comdlg32.dll", "crypt32.dll",
    "dwmapi.dll", "gdi32.dll", "gdiplus.dll", "imm32.dll", "kernel32.dll",
    "msvcrt.dll", "ntdll.dll", "ole32.dll", "oleaut32.dll", "rpcrt4.dll",
    "secur32.dll", "shell32.dll", "shlwapi.dll", "ucrtbase.dll", "user32.dll",
    "uxtheme.dll", "version.dll", "winmm.dll", "ws2_32.dll",
}


def pe_resources(image):
    """Every resource of a PE image as {(type, name, language): bytes}; names that
    are strings come back as str, numbers as int."""
    header = struct.unpack_from("<I", image, 0x3C)[0]
    if image[header:header + 4] != b"PE\0\0":
        raise AssertionError("not a PE image")
    sections, optional_size = struct.unpack_from("<H12xH", image, header + 6)
    optional = header + 24
    magic = struct.unpack_from("<H", image, optional)[0]
    directories = optional + (112 if magic == 0x20B else 96)
    resource_rva = struct.unpack_from("<I", image, directories + 2 * 8)[0]
    if resource_rva == 0:
        return {}
    section_table = optional + optional_size
    spans = [struct.unpack_from("<8xIIII", image, section_table + 40 * i)
             for i in range(sections)]

    def offset(rva):
        for virtual_size, address, raw_size, raw_offset in spans:
            if address <= rva < address + max(virtual_size, raw_size):
                return raw_offset + rva - address
        raise AssertionError(f"address {rva:#x} is in no section")

    base = offset(resource_rva)

    def name_of(field):
        if field & 0x80000000:
            at = base + (field & 0x7FFFFFFF)
            length = struct.unpack_from("<H", image, at)[0]
            return image[at + 2:at + 2 + 2 * length].decode("utf-16-le")
        return field

    def entries(directory):
        named, numbered = struct.unpack_from("<12xHH", image, base + directory)
        for i in range(named + numbered):
            field, target = struct.unpack_from("<II", image, base + directory + 16 + 8 * i)
            yield name_of(field), target

    found = {}
    for kind, names in entries(0):
        for name, languages in entries(names & 0x7FFFFFFF):
            for language, leaf in entries(languages & 0x7FFFFFFF):
                data_rva, size = struct.unpack_from("<II", image, base + leaf)
                start = offset(data_rva)
                found[(kind, name, language)] = image[start:start + size]
    return found


def version_numbers(text):
    parts = [int(p) for p in text.split(".")]
    return tuple(parts + [0] * (4 - len(parts)))


class UnpackedZip(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with zipfile.ZipFile(PACKAGE) as archive:
            cls.names = sorted(archive.namelist())
            cls.program = archive.read("vellumite.exe") if "vellumite.exe" in cls.names else b""
            cls.readme = archive.read("README.md") if "README.md" in cls.names else b""
        cls.resources = pe_resources(cls.program) if cls.program else {}
        with tempfile.NamedTemporaryFile(suffix=".exe") as program:
            program.write(cls.program)
            program.flush()
            cls.headers = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", program.name],
                                         capture_output=True, text=True).stdout

    def resource(self, kind, name):
        matching = [data for (k, n, _), data in self.resources.items() if (k, n) == (kind, name)]
        self.assertEqual(len(matching), 1, f"resource type {kind} number {name}")
        return matching[0]

    def test_name_and_contents(self):
        self.assertEqual(os.path.basename(PACKAGE), f"vellumite-{VERSION}-windows-x86_64.zip")
        self.assertEqual(self.names, ["README.md", "vellumite.exe"])
        with open(os.path.join(SOURCE_DIR, "README.md"), "rb") as readme:
            self.assertEqual(self.readme, readme.read())

    def test_program_needs_no_dll_beyond_windows_own(self):
        imported = {name.lower() for name in re.findall(r"DLL Name: (\S+)", self.headers)}
        self.assertIn("kernel32.dll", imported)
        self.assertEqual(imported - WINDOWS_DLLS, set())

    def test_program_is_a_64_bit_windows_gui_program(self):
        self.assertIn("file format pei-x86-64", self.headers)
        subsystem = re.search(r"^Subsystem\s+(\S+)", self.headers, re.MULTILINE)
        self.assertEqual(subsystem and subsystem.group(1), "00000002",
                         "not a GUI program: a console window would open beside it")

    def test_program_carries_its_icon(self):
        group = self.resource(RT_GROUP_ICON, PROGRAM_ICON_ID)
        count = struct.unpack_from("<4xH", group)[0]
        with open(os.path.join(SOURCE_DIR, "resources", "icon.ico"), "rb") as icon_file:
            icon = icon_file.read()
        file_images = {}
        for i in range(struct.unpack_from("<4xH", icon)[0]):
            width, height, _, _, _, _, size, at = struct.unpack_from("<BBBBHHII", icon, 6 + 16 * i)
            file_images[(width, height)] = icon[at:at + size]
        sizes = set()
        for i in range(count):
            width, height, _, _, _, _, _, image_id = struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i)
            sizes.add((width, height))
            with self.subTest(size=(width, height)):
                self.assertEqual(self.resource(RT_ICON, image_id), file_images.get((width, height)),
                                 "the image differs from resources/icon.ico")
        self.assertIn((48, 48), sizes)

    def test_program_carries_its_manifest(self):
        manifest = self.resource(RT_MANIFEST, PROCESS_MANIFEST_ID)
        root = ElementTree.parse(io.BytesIO(manifest)).getroot()
        texts = {element.tag.split("}")[-1]: (element.text or "").strip().lower()
                 for element in root.iter()}
        self.assertTrue(texts.get("dpiAware") in ("true", "true/pm", "per monitor")
                        or "dpiAwareness" in texts, "not declared aware of the resolution")
        controls = [element.attrib for element in root.iter()
                    if element.attrib.get("name") == "Microsoft.Windows.Common-Controls"]
        self.assertTrue(controls, "the common controls with visual styles are not asked for")
        self.assertTrue(controls[0].get("version", "").startswith("6."))

    def test_program_carries_its_version(self):
        info = self.resource(RT_VERSION, 1)
        fixed = info.find(struct.pack("<I", 0xFEEF04BD))
        self.assertGreater(fixed, 0, "no fixed version information")
        file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<8xIIII", info, fixed)
        expected = version_numbers(VERSION)
        for what, ms, ls in [("file", file_ms, file_ls), ("product", product_ms, product_ls)]:
            with self.subTest(version=what):
                self.assertEqual((ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF), expected)
        strings = dict(re.findall(r"(\w+)\x00+([^\x00]+)\x00", info.decode("utf-16-le")))
        self.assertEqual(strings.get("ProductName"), "Vellumite")
        for key in ("ProductVersion", "FileVersion"):
            with self.subTest(key=key):
                self.assertIn(key, strings)
                self.assertEqual(version_numbers(strings.get(key, "")), expected)
        self.assertEqual(strings.get("OriginalFilename"), "vellumite.exe")


if __name__ == "__main__":
    PACKAGE, VERSION, SOURCE_DIR = sys.argv[1], sys.argv[2], os.path.abspath(sys.argv[3])
    del sys.argv[1:4]
    unittest.main(verbosity=2)
