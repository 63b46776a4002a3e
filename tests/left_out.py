#!/usr/bin/env python3
"""Lists what a configured CTest tree leaves out, from its tests' properties as
tests/CMakeLists.txt's harnox_leave_out sets them: a test disabled whole, or the
GoogleTest cases its GTEST_FILTER leaves out; a line for each, under its reason
(HARNOX_LEFT_OUT). A test's copies that leave out the same (the .cp936 ones) share
its lines. Prints nothing where nothing is left out.
    tests/left_out.py BUILD_DIR
"""
import json
import subprocess
import sys


def left_out(tests):
    """The lines that list what the tests of ctest's json-v1 leave out."""
    reasons = {}  # reason -> {cases: the names of the tests that leave them out}
    for test in tests:
        properties = {p["name"]: p["value"] for p in test.get("properties", [])}
        environment = dict(e.split("=", 1) for e in properties.get("ENVIRONMENT", []))
        if properties.get("DISABLED"):
            cases = ("all of it",)
        elif "GTEST_FILTER" in environment:
            # harnox_leave_out's filters are "-A:B"; one that names the cases that run
            # is shown as it is, so that what it leaves out is not hidden.
            run, _, out = environment["GTEST_FILTER"].partition("-")
            cases = tuple(out.split(":")) if out else ()
            if run:
                cases += ("every case but those matching " + run,)
        else:
            continue
        reason = environment.get("HARNOX_LEFT_OUT", "no reason given in tests/CMakeLists.txt")
        reasons.setdefault(reason, {}).setdefault(cases, []).append(test["name"])
    lines = []
    for reason, tests in reasons.items():
        lines.append(f"  {reason}:")
        for cases, names in tests.items():
            lines += [f"    {', '.join(names)}: {case}" for case in cases]
    return lines


def main(tree):
    try:
        shown = subprocess.run(["ctest", "--show-only=json-v1"], cwd=tree, check=True,
                               stdout=subprocess.PIPE, text=True).stdout
    except (OSError, subprocess.CalledProcessError) as error:
        sys.exit(f"left_out: the tests of {tree} could not be listed: {error}")
    for line in left_out(json.loads(shown)["tests"]):
        print(line)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: tests/left_out.py BUILD_DIR")
    main(sys.argv[1])
