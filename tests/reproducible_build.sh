#!/usr/bin/env bash
# Builds the shipped programs again, from a copy of the sources under another path
# and in other build folders, and checks that both come out byte for byte the same
# as the ones in dist/: nothing of the time or place of a build is in them.
#
#   tests/reproducible_build.sh REPOSITORY
set -euo pipefail
repository=$(cd "$1" && pwd)

work=$(mktemp -d "${TMPDIR:-/tmp}/harnox-again.XXXXXX")
trap 'rm -rf "$work"' EXIT
copy=$work/some/other/place/harnox-sources
mkdir -p "$copy"
tar -C "$repository" --exclude=./build --exclude=./dist --exclude=./.git -cf - . | tar -C "$copy" -xf -

"$copy/scripts/build_programs.sh" >"$work/build.log" 2>&1 || {
    cat "$work/build.log"
    exit 1
}

status=0
for program in harnox.exe x64/harnox.exe; do
    if cmp "$repository/dist/$program" "$copy/dist/$program"; then
        echo "same: dist/$program, $(stat -c %s "$copy/dist/$program") bytes, sha256 $(sha256sum <"$copy/dist/$program" | cut -c1-16)"
    else
        echo "differs: dist/$program"
        status=1
    fi
done
exit $status
