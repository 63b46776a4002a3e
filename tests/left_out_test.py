#!/usr/bin/env python3
"""tests/left_out.py over tests as ctest --show-only=json-v1 gives them: nothing a
tree leaves out may go unlisted, and a test's copies share its lines."""
import os
import sys
import unittest

sys.dont_write_bytecode = True  # nothing written into the sources
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from left_out import left_out


def test(name, environment=(), disabled=False):
    properties = [{"name": "ENVIRONMENT", "value": list(environment)}]
    if disabled:
        properties.append({"name": "DISABLED", "value": True})
    return {"name": name, "properties": properties}


class LeftOut(unittest.TestCase):
    def test_each_case_under_its_reason(self):
        tests = [
            test("plain", ["HARNOX_TIMEOUT_SCALE=4"]),
            test("browse", ["GTEST_FILTER=-Browse.*:Other.Case/*", "HARNOX_LEFT_OUT=why a"]),
            test("browse.cp936", ["GTEST_FILTER=-Browse.*:Other.Case/*", "HARNOX_LEFT_OUT=why a", "LC_ALL=x"]),
            test("whole", ["GTEST_FILTER=-Ignored.*", "HARNOX_LEFT_OUT=why a"], disabled=True),
            test("faults", ["GTEST_FILTER=-Fault.Case", "HARNOX_LEFT_OUT=why b"]),
            # Left out other than by harnox_leave_out: listed all the same.
            test("bare", ["GTEST_FILTER=-Bare.Case"]),
            test("only", ["GTEST_FILTER=Only.*-Only.Not", "HARNOX_LEFT_OUT=why c"]),
            test("off", disabled=True),
        ]
        self.assertEqual(left_out(tests), [
            "  why a:",
            "    browse, browse.cp936: Browse.*",
            "    browse, browse.cp936: Other.Case/*",
            "    whole: all of it",
            "  why b:",
            "    faults: Fault.Case",
            "  no reason given in tests/CMakeLists.txt:",
            "    bare: Bare.Case",
            "    off: all of it",
            "  why c:",
            "    only: Only.Not",
            "    only: every case but those matching Only.*",
        ])


if __name__ == "__main__":
    unittest.main()
