#!/usr/bin/env python3
"""scripts/run without a display: one line on stderr that says so and how to try the
program headless, exit code 1, and nothing built or installed on the way.

    check_run_without_display.py SOURCE_DIR
"""
import os
import subprocess
import sys
import unittest

SOURCE_DIR = None
DISPLAY_VARIABLES = ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")

# (arguments of scripts/run, environment beyond a display-less one, the command the
# message must offer)
CASES = [
    ([], {}, "xvfb-run scripts/run"),
    ([], {"DISPLAY": ""}, "xvfb-run scripts/run"),
    ([], {"QT_QPA_PLATFORM": "xcb", "WAYLAND_DISPLAY": "wayland-0"}, "xvfb-run scripts/run"),
    ([], {"QT_QPA_PLATFORM": "wayland"}, "xvfb-run scripts/run"),
    (["windows"], {"WAYLAND_DISPLAY": "wayland-0"}, "xvfb-run scripts/run windows"),
]


class RunWithoutDisplay(unittest.TestCase):
    def test_one_line_that_says_how_to_get_a_display(self):
        for arguments, extra, offered in CASES:
            with self.subTest(arguments=arguments, environment=extra):
                environment = {k: v for k, v in os.environ.items() if k not in DISPLAY_VARIABLES}
                environment.update(extra)
                # The check comes before scripts/deps and the build; output on
                # stdout would come from those.
                result = subprocess.run([os.path.join(SOURCE_DIR, "scripts", "run"), *arguments],
                                        env=environment, capture_output=True, text=True,
                                        timeout=60)
                self.assertEqual(result.returncode, 1)
                self.assertEqual(result.stdout, "", "something was built or started")
                lines = result.stderr.splitlines()
                self.assertEqual(len(lines), 1, result.stderr)
                self.assertIn("no display", lines[0])
                self.assertTrue(lines[0].endswith(offered), lines[0])

    def test_a_platform_that_needs_no_display_is_let_through(self):
        # Only the check is run: the script's lines up to the build, with the build
        # replaced by a marker, so that nothing is built here.
        with open(os.path.join(SOURCE_DIR, "scripts", "run")) as script:
            text = script.read()
        check = text.split("\nscripts/deps\n", 1)[0] + "\necho let-through\n"
        environment = {k: v for k, v in os.environ.items() if k not in DISPLAY_VARIABLES}
        for platform in ("offscreen", "minimal", "vnc"):
            with self.subTest(platform=platform):
                environment["QT_QPA_PLATFORM"] = platform
                result = subprocess.run(["bash", "-c", check, "scripts/run"], env=environment,
                                        cwd=SOURCE_DIR, capture_output=True, text=True)
                self.assertEqual((result.returncode, result.stdout, result.stderr),
                                 (0, "let-through\n", ""))


if __name__ == "__main__":
    SOURCE_DIR = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
