#!/usr/bin/env python3
"""Checks the shape of the program's stored texts, disclaimer.txt and help.txt.

The help window and the disclaimer box rely on exact sizes, line ends and line
positions, so any edit of the wording must keep them. Run it after every edit:
    python3 resources/check_texts.py
It prints each fault it finds and ends with exit code 1 when there is any.
"""

import pathlib
import sys

HERE = pathlib.Path(__file__).resolve().parent
PLACEHOLDER = b"[Your Software Name]"
PROGRAM_NAME = b"Vellumite"

# line number -> exact content, or a required length (and an optional start).
DISCLAIMER_LINES = {
    1: 107,
    2: b"",
    3: b"Disclaimer of Warranty and Limitation of Liability",
    4: b"",
    5: 331,
    6: b"",
    7: 355,
}

HELP_LINES = {
    1: b"", 2: b"", 3: 53, 4: b"", 5: b"",
    6: b"Method descriptons:",
    7: b"",
    8: b"All zeroes/All ones",
    9: 391,
    10: b"",
    11: b"Random",
    12: 203,
    13: b"",
    14: 376,
    15: b"", 16: b"",
    17: b"-" * 44,
    18: b"", 19: b"",
    20: b"[Your Software Name] License Agreement",
    21: b"",
    22: (156, b"License Grant:"),
    23: b"",
    24: (302, b"No Warranty:"),
    25: b"",
    26: (73, b"No Support:"),
    27: b"",
    28: (381, b"Limitation of Liability:"),
    29: b"",
    30: (220, b"Termination:"),
    31: b"",
    32: (293, b"Entire Agreement:"),
}

# Where the placeholder stands, and how often, in help.txt.
HELP_PLACEHOLDERS = {20: 1, 22: 1, 24: 1, 26: 1, 28: 1, 30: 1, 32: 2}


def check_line(faults, name, number, line, rule):
    if isinstance(rule, bytes):
        if line != rule:
            faults.append(f"{name} line {number}: expected {rule!r}, found {line[:60]!r}")
        return
    length, start = rule if isinstance(rule, tuple) else (rule, b"")
    if len(line) != length:
        faults.append(f"{name} line {number}: {len(line)} characters, expected {length}")
    if not line.startswith(start):
        faults.append(f"{name} line {number}: does not begin with {start!r}")


def check_common(faults, name, data, size):
    if len(data) != size:
        faults.append(f"{name}: {len(data)} bytes, expected {size}")
    if any(byte > 0x7F for byte in data):
        faults.append(f"{name}: holds bytes outside 7-bit ASCII")
    if 0 in data:
        faults.append(f"{name}: holds a zero byte")


def check_disclaimer(faults):
    name = "disclaimer.txt"
    data = (HERE / name).read_bytes()
    check_common(faults, name, data, 849)
    if b"\r" in data:
        faults.append(f"{name}: holds a CR; lines are separated by LF alone")
    if data.endswith(b"\n"):
        faults.append(f"{name}: ends with a line break")
    if PLACEHOLDER in data:
        faults.append(f"{name}: holds the placeholder")
    lines = data.split(b"\n")
    if len(lines) != len(DISCLAIMER_LINES):
        faults.append(f"{name}: {len(lines)} lines, expected {len(DISCLAIMER_LINES)}")
        return
    for number, rule in DISCLAIMER_LINES.items():
        check_line(faults, name, number, lines[number - 1], rule)


def check_help(faults):
    name = "help.txt"
    data = (HERE / name).read_bytes()
    check_common(faults, name, data, 2638)
    if not data.endswith(b"\r\n"):
        faults.append(f"{name}: does not end with CR LF")
    body = data[:-2] if data.endswith(b"\r\n") else data
    lines = body.split(b"\r\n")
    for number, line in enumerate(lines, 1):
        if b"\r" in line or b"\n" in line:
            faults.append(f"{name} line {number}: a bare CR or LF")
    if len(lines) != len(HELP_LINES):
        faults.append(f"{name}: {len(lines)} lines, expected {len(HELP_LINES)}")
        return
    for number, rule in HELP_LINES.items():
        check_line(faults, name, number, lines[number - 1], rule)
    for number, line in enumerate(lines, 1):
        expected = HELP_PLACEHOLDERS.get(number, 0)
        if line.count(PLACEHOLDER) != expected:
            faults.append(f"{name} line {number}: placeholder {line.count(PLACEHOLDER)} "
                          f"times, expected {expected}")
    if data.lower().count(PLACEHOLDER.lower()) != data.count(PLACEHOLDER):
        faults.append(f"{name}: the placeholder in another letter case")
    replaced = data.replace(PLACEHOLDER, PROGRAM_NAME)
    if len(replaced) != 2550:
        faults.append(f"{name}: {len(replaced)} characters after replacement, expected 2550")


def main():
    faults = []
    check_disclaimer(faults)
    check_help(faults)
    for fault in faults:
        print(fault)
    if faults:
        return 1
    print("disclaimer.txt and help.txt: all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
