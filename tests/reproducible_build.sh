#!/usr/bin/env bash
# Builds the shipped programs again, from a copy of the sources under another path
# and in other build folders, and checks that both come out byte for byte the same
# as the ones in dist/: nothing of the time or place of a build is in them. Then the
# release zip (scripts/release.sh), packed in both places, must be the same bytes, and
# its sums must hold for the files beside them, the programs being those of dist/.
#
#   tests/reproducible_build.sh REPOSITORY
set -euo pipefail
repository=$(cd "$1" && pwd)

work=$(mktemp -d "${TMPDIR:-/tmp}/harnox-again.XXXXXX")
trap 'rm -rf "$work"' EXIT
copy=$work/some/other/place/harnox-sources
mkdir -p "$copy"
tar -C "$repository" --exclude=./build --exclude=./dist --exclude=./release --exclude=./.git -cf - . | tar -C "$copy" -xf -

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

# The release, from each tree's own script and programs, as of one commit and time.
"$repository/scripts/release.sh" --pack "$work/here.zip" 0123456789ab 1796847287
"$copy/scripts/release.sh" --pack "$work/there.zip" 0123456789ab 1796847287
if cmp "$work/here.zip" "$work/there.zip"; then
    echo "same: the release zip, $(stat -c %s "$work/here.zip") bytes"
else
    echo "differs: the release zip"
    status=1
fi
unpacked=$work/unpacked
/usr/bin/python3 -m zipfile -e "$work/here.zip" "$unpacked"
# Checked by coreutils, not by the Python that wrote the sums.
(cd "$unpacked" && sha256sum --strict -c SHA256SUMS) || status=1
listed=$(cut -c67- "$unpacked/SHA256SUMS" | sort | paste -sd' ')
present=$(cd "$unpacked" && find . -type f ! -name SHA256SUMS | cut -c3- | sort | paste -sd' ')
[ "$listed" = "$present" ] || { echo "SHA256SUMS lists: $listed; the zip holds: $present"; status=1; }
cmp "$unpacked/harnox.exe" "$repository/dist/harnox.exe" || status=1
cmp "$unpacked/64-bit/harnox.exe" "$repository/dist/x64/harnox.exe" || status=1
# Notepad before Windows 10 shows a text with bare line feeds as one line.
readme=$unpacked/README.txt
if [ "$(grep -c $'\r$' "$readme")" != "$(wc -l <"$readme")" ] || [ -n "$(tail -c 1 "$readme")" ]; then
    echo "README.txt has a line that does not end in CRLF"
    status=1
fi

# A tree with a change not yet committed gets no release: no commit builds it.
git -C "$copy" init -q
git -C "$copy" add -A
git -C "$copy" -c user.name=test -c user.email=test@example.invalid commit -qm sources
echo >>"$copy/README.md"
if "$copy/scripts/release.sh" 2>"$work/refusal.log" || [ -e "$copy/release" ] ||
    ! grep -q 'refused: the work tree has changes' "$work/refusal.log"; then
    echo "release.sh did not refuse a tree with a change not committed:"
    cat "$work/refusal.log"
    status=1
fi
# Nor do programs whose version strings disagree with the number the zip is named by.
sed -i 's/VALUE "FileVersion", "[0-9.]*"/VALUE "FileVersion", "0.0.0.1"/' "$copy/res/harnox.rc"
if "$copy/scripts/release.sh" --pack "$work/disagreeing.zip" 0123456789ab 1796847287 2>/dev/null ||
    [ -e "$work/disagreeing.zip" ]; then
    echo "release.sh packed programs whose version strings disagree"
    status=1
fi
exit $status
