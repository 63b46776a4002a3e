#!/usr/bin/env bash
# Sets up, builds every configuration and runs every test: native, under the
# sanitizers, as Linux i686 code (natively where this machine runs 32-bit x86 code,
# under qemu-i386 elsewhere), the Windows builds under Wine (the x86_64 one under
# wine64 always, the i686 one, the shipped program's, under wine32 where this
# machine runs 32-bit x86 code, or with --emulate-x86-32 under wine32 emulated by
# qemu-i386 where it does not), the fuzz targets (fuzz/run.sh) and the run command
# (tests/run_command_test.sh). One line before each says what ran how; the run ends
# with one line for each of them, passed, failed (which tests) or not run (why), and
# one verdict.
#   scripts/test.sh                     all of it: the README's test command
#   scripts/test.sh --kernel-dependent  only what depends on whether this machine's
#                                       kernel runs 32-bit x86 code: setup's choices,
#                                       native32, the Windows trees (the 64-bit one's
#                                       Wine prefixes made anew) and the run command.
#                                       CI runs it again with 32-bit programs refused.
#   scripts/test.sh --emulate-x86-32    all of it, and where the kernel does not run
#                                       32-bit x86 code, the i686 Windows tests too:
#                                       under wine32, its processes emulated by
#                                       qemu-i386 (scripts/emulate_x86_32.sh, as root;
#                                       about 2 minutes more, once wine32 is
#                                       installed). CI's choice on such a machine.
set -euo pipefail
cd "$(dirname "$0")/.."

all=1
emulate=0
case "${1:-}" in
"") ;;
--kernel-dependent) all=0 ;;
--emulate-x86-32) emulate=1 ;;
*) echo "usage: $0 [--kernel-dependent | --emulate-x86-32]" >&2; exit 2 ;;
esac
started=$SECONDS

if [ "$emulate" = 1 ]; then scripts/setup.sh --emulate-x86-32; else scripts/setup.sh; fi
if ! scripts/build.sh; then
    echo
    echo "=== verdict: FAILED: the build failed (see above)"
    exit 1
fi

summary=()
status=0
passed() { summary+=("$1: passed${2:+ ($2)}"); }
failed() { summary+=("$1: FAILED: $2"); status=1; }
not_run() { summary+=("$1: not run: $2"); }
# check PART COMMAND...: a check whose last line of output says how it went.
check() {
    local part=$1 outcome verdict=passed
    shift
    outcome=$("$@") || verdict=failed
    echo "$outcome"
    local last
    last=$(tail -n 1 <<<"$outcome")
    "$verdict" "$part" "${last#"$part: "}"
}

# run_ctest TREE "what runs how"
# With emulated=1 set, the tree's 32-bit programs run under qemu-i386. What the tree
# leaves out is listed first, from where tests/CMakeLists.txt leaves it out.
emulated=0
run_ctest() {
    local dir=$1 how=$2
    local failures=build/$dir/Testing/Temporary/LastTestsFailed.log
    rm -f "$failures"
    echo
    echo "=== tests: $dir: $how"
    local left_out
    if ! left_out=$(tests/left_out.py "build/$dir"); then
        failed "$dir" "what the tree leaves out could not be read (see above)"
        return
    fi
    if [ -n "$left_out" ]; then
        echo "=== left out here (tests/CMakeLists.txt says why):"
        echo "$left_out"
    fi
    local runner=()
    if [ "$emulated" = 1 ]; then
        runner=("$PWD/scripts/emulate_x86_32.sh" run)
    fi
    # The Windows tests on the display, or where there is none all on one virtual X
    # server, which those that need the desktop take turns at (RESOURCE_LOCK desktop).
    if [ -f "build/$dir/wine-run.sh" ]; then
        runner+=("$PWD/scripts/with_display.sh")
        [ -n "${DISPLAY:-}" ] || echo "=== (under Xvfb, a virtual X server)"
    fi
    if (cd "build/$dir" && "${runner[@]}" ctest --output-on-failure -j "$(nproc)"); then
        passed "$dir" "${how%% (*}"
    elif [ -s "$failures" ]; then
        failed "$dir" "$(cut -d: -f2- "$failures" | paste -sd, - | sed 's/,/, /g')"
    else
        failed "$dir" "ctest failed before any test ended (see above)"
    fi
}

if why_not=$(scripts/runs_x86_32.sh); then runs32=1; else runs32=0; fi

echo
echo "=== setup's choices"
check setup tests/setup_choices_test.sh

if [ "$all" = 1 ]; then
    run_ctest native "x86-64 Linux code, natively"
    run_ctest native-asan "x86-64 Linux code under AddressSanitizer and UBSan, natively"
fi
# The shipped program's processor, x87 floating point and the 32-bit copy of views
# included, on every machine.
if [ -n "$(sed -n 's/^HARNOX_I686_EMULATOR:STRING=//p' build/native32/CMakeCache.txt)" ]; then
    run_ctest native32 "i686 Linux code under qemu-i386 emulation"
else
    run_ctest native32 "i686 Linux code, natively (this machine's kernel runs 32-bit x86 programs)"
fi
if [ "$all" = 0 ]; then
    # Made anew, so that making them is tested on this kind of machine too.
    rm -rf build/mingw64/wineprefix build/program64/wineprefix
fi
run_ctest mingw64 "x86-64 Windows code under wine64"
if [ "$runs32" = 1 ]; then
    run_ctest mingw32 "i686 Windows code, the shipped program's, under wine32"
elif [ "$emulate" = 1 ]; then
    emulated=1
    run_ctest mingw32 "i686 Windows code under wine32, emulated by qemu-i386"
    emulated=0
else
    echo
    echo "=== tests: mingw32: not run: the 32-bit Windows program and its tests were built but not run, since $why_not"
    not_run mingw32 "built but not run, since $why_not; scripts/test.sh --emulate-x86-32 runs them under qemu-i386 (as root, as CI does here)"
fi

if [ "$all" = 1 ]; then
    # libFuzzer, about a minute per target; a crash fails the run.
    echo
    echo "=== fuzzing"
    if fuzz/run.sh; then passed fuzzing "two targets, a minute each"; else failed fuzzing "a target failed (see above)"; fi
fi

echo
echo "=== the run command, scripts/run.sh"
check "run command" tests/run_command_test.sh

elapsed=$((SECONDS - started))
echo
echo "=== summary ($([ "$all" = 1 ] && echo "every test" || echo "the kernel-dependent tests"), $((elapsed / 60)) min $((elapsed % 60)) s)"
printf '%s\n' "${summary[@]}"
if [ "$status" = 0 ]; then
    echo "=== verdict: PASSED"
else
    echo "=== verdict: FAILED"
fi
exit $status
