#!/usr/bin/env python3
"""Checks the Linux package as a user's system would receive it.

    check_deb.py PACKAGE.deb

The package is unpacked into a scratch root (dpkg -x); the desktop entry there must
lead the menu to a program and an icon that the package itself installs, and every
library the program links must come from a package named in Depends, and apt must
be able to install the package (a dry run).
"""
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

PACKAGE = None
ENTRY = "usr/share/applications/vellumite.desktop"
# Where a desktop finds what an entry names: programs on PATH, icons in the theme.
PROGRAM_DIRS = ["usr/bin", "bin", "usr/local/bin"]
ICON_THEME_DIR = "usr/share/icons/hicolor"


def run(*command):
    return subprocess.run(command, check=True, capture_output=True, text=True).stdout


def read_desktop_entry(path):
    """The keys of the [Desktop Entry] group; a key given twice is a fault."""
    keys, group = {}, None
    with open(path, encoding="utf-8") as entry:
        for line in entry:
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            if line.startswith("["):
                group = line
                continue
            key, _, value = line.partition("=")
            if group == "[Desktop Entry]":
                if key in keys:
                    raise AssertionError(f"{key} given twice in {path}")
                keys[key] = value
    return keys


def owning_packages(library_path):
    """The Debian packages that installed a library, tried under each of its names
    (a link, its target, and /lib versus /usr/lib on a merged /usr)."""
    names = []
    for path in (library_path, os.path.realpath(library_path)):
        names.append(path)
        if path.startswith("/usr/lib/"):
            names.append(path[len("/usr"):])
        elif path.startswith("/lib/"):
            names.append("/usr" + path)
    for name in names:
        found = subprocess.run(["dpkg", "-S", name], capture_output=True, text=True)
        if found.returncode == 0:
            listed = found.stdout.rsplit(": ", 1)[0]
            return {p.strip().split(":")[0] for p in listed.split(",")}
    return set()


def png_size(path):
    with open(path, "rb") as picture:
        head = picture.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        raise AssertionError(f"{path} is not a PNG file")
    return struct.unpack(">II", head[16:24])


class InstalledPackage(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.root = tempfile.mkdtemp(prefix="vellumite-deb-root-")
        run("dpkg", "-x", PACKAGE, cls.root)
        cls.entry = read_desktop_entry(os.path.join(cls.root, ENTRY))

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.root)

    def program_path(self):
        """The installed file that the entry's Exec starts."""
        command = self.entry["Exec"].split()[0]
        if command.startswith("/"):
            candidates = [command.lstrip("/")]
        else:
            self.assertNotIn("/", command, "Exec names a relative path")
            candidates = [os.path.join(d, command) for d in PROGRAM_DIRS]
        for candidate in candidates:
            path = os.path.join(self.root, candidate)
            if os.path.isfile(path):
                return path
        self.fail(f"Exec={self.entry['Exec']} names no file the package installs "
                  f"(looked for {candidates})")

    def test_entry_is_a_menu_entry_of_an_application(self):
        for key, expected in [("Type", "Application"), ("Name", "Vellumite"),
                              ("Terminal", "false")]:
            with self.subTest(key=key):
                self.assertEqual(self.entry.get(key), expected)
        self.assertTrue(self.entry.get("Categories", "").rstrip(";"),
                        "without Categories the menus do not list the program")
        validation = subprocess.run(["desktop-file-validate", os.path.join(self.root, ENTRY)],
                                    capture_output=True, text=True)
        self.assertEqual(validation.returncode, 0, validation.stdout + validation.stderr)

    def test_exec_starts_the_installed_program(self):
        path = self.program_path()
        self.assertTrue(os.access(path, os.X_OK), f"{path} is not executable")
        with open(path, "rb") as program:
            self.assertEqual(program.read(4), b"\x7fELF")
        self.assertEqual(os.path.relpath(path, self.root), "usr/bin/vellumite")

    def test_icon_is_in_the_icon_theme_at_its_size(self):
        name = self.entry["Icon"]
        self.assertNotIn("/", name, "a themed icon is named without path")
        found = []
        for size_dir in sorted(os.listdir(os.path.join(self.root, ICON_THEME_DIR))):
            path = os.path.join(self.root, ICON_THEME_DIR, size_dir, "apps", name + ".png")
            if os.path.isfile(path):
                found.append(path)
                width, height = png_size(path)
                self.assertEqual(f"{width}x{height}", size_dir,
                                 f"{path} does not have the size of its folder")
        self.assertTrue(found, f"Icon={name}: no {name}.png under {ICON_THEME_DIR}/*/apps")

    def test_every_linked_library_comes_from_a_dependency(self):
        depends = run("dpkg-deb", "-f", PACKAGE, "Depends")
        named = {re.split(r"[\s(:]", item.strip())[0]
                 for alternatives in depends.split(",")
                 for item in alternatives.split("|")}
        self.assertIn("libqt6widgets6", named)
        needed = re.findall(r"^\s*NEEDED\s+(\S+)$",
                            run("objdump", "-p", self.program_path()), re.MULTILINE)
        self.assertTrue(needed)
        resolved = run("ldd", self.program_path())
        for library in needed:
            with self.subTest(library=library):
                match = re.search(rf"^\s*{re.escape(library)} => (\S+)", resolved,
                                  re.MULTILINE)
                self.assertIsNotNone(match, f"{library} not found on this system")
                packages = owning_packages(match.group(1))
                self.assertTrue(packages, f"no package installed {match.group(1)}")
                self.assertTrue(packages & named,
                                f"{library} comes from {packages}, not in Depends: {depends}")

    def test_apt_can_install_it(self):
        # A dry run: apt resolves Depends against this Debian system, installs nothing.
        result = subprocess.run(["apt-get", "install", "--simulate", "--no-download", PACKAGE],
                                capture_output=True, text=True)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertRegex(result.stdout, r"(?m)^Inst vellumite ")


if __name__ == "__main__":
    PACKAGE = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
