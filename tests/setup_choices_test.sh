#!/usr/bin/env bash
# Setup's choices: asks apt what scripts/setup.sh would install on a fresh machine of
# this kind, and fails unless wine32 is among it exactly where this machine's kernel
# runs 32-bit x86 code. The test command runs it and reports it in its summary. The
# last line printed says how it went.
set -euo pipefail
cd "$(dirname "$0")/.."

# setup's own choices for a plain install: packages, keep_out, choice, apt_install.
set --
source scripts/setup.sh

# A dpkg status with nothing installed: apt then plans as on a fresh machine.
empty=$(mktemp)
trap 'rm -f "$empty"' EXIT
plan=$(apt_install -s -o Dir::State::status="$empty" "${packages[@]}" "${keep_out[@]}" 2>&1) || {
    echo "setup: apt could not plan a fresh install:" >&2
    echo "$plan" | tail -n 5 >&2
    exit 1
}
count=$(grep -c '^Inst ' <<<"$plan")
if grep -q '^Inst wine32:i386 ' <<<"$plan"; then
    planned="with wine32"
else
    planned="without wine32"
fi
echo "setup: on a fresh machine of this kind apt would install $count packages, $planned: $choice"
if [ ${#keep_out[@]} -eq 0 ] && [ "$planned" = "with wine32" ]; then exit 0; fi
if [ ${#keep_out[@]} -gt 0 ] && [ "$planned" = "without wine32" ]; then exit 0; fi
exit 1
