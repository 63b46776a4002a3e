#!/usr/bin/env bash
# Makes the release of the commit this clone is at, one zip for Windows users:
#   release/harnox-VERSION.zip, VERSION being the one in res/harnox.rc's version block
# holding
#   harnox.exe          the shipped PE32 program, dist/harnox.exe
#   64-bit/harnox.exe   the 64-bit program, dist/x64/harnox.exe
#   README.txt          for Windows users (CRLF): what Harnox is, which Windows each
#                       program starts on, how to check the files
#   SHA256SUMS          the other three files' SHA-256, as `sha256sum -c` reads them
# Run as root on Debian 12, from a clean clone; run after scripts/test.sh, the zip holds
# the programs the tests ran. It refuses, writing no zip, a tree with changes that are
# not committed, and programs in dist/ that are not what the commit builds to: both
# are built again from the commit's own files (git archive) under another path, and
# must come out the same to the byte.
# The zip is the same bytes wherever it is made from the same commit: its entries in
# a fixed order, with the commit's time and fixed permissions, compressed by Debian's
# Python and zlib.
#
#   scripts/release.sh                              the release
#   scripts/release.sh --pack ZIP COMMIT SECONDS    only packs this tree's dist/ into
#       ZIP as the release of COMMIT made at SECONDS since 1970, checking nothing:
#       what the release and the reproducible-build test share
set -euo pipefail

refuse() {
    echo "release: refused: $*" >&2
    echo "release: no zip was written" >&2
    exit 1
}

pack_only=0
if [ "${1:-}" = --pack ]; then
    [ $# = 4 ] || { echo "usage: $0 [--pack ZIP COMMIT SECONDS]" >&2; exit 2; }
    pack_only=1
    pack_zip=$(realpath -m "$2")
    pack_commit=$3
    pack_time=$4
elif [ $# != 0 ]; then
    echo "usage: $0 [--pack ZIP COMMIT SECONDS]" >&2
    exit 2
fi
cd "$(dirname "$0")/.."

# The version the programs report in their properties. The resource script names it
# four times (FILEVERSION, PRODUCTVERSION and the two strings); a zip named by one of
# them must not hold programs that say another.
mentions=$(sed -n -e 's/^\(FILE\|PRODUCT\)VERSION *\([0-9]*\), *\([0-9]*\), *\([0-9]*\), *\([0-9]*\) *$/\2.\3.\4.\5/p' \
    -e 's/^ *VALUE "\(File\|Product\)Version", "\(.*\)" *$/\2/p' res/harnox.rc)
version=$(sort -u <<<"$mentions")
if [ "$(wc -l <<<"$mentions")" != 4 ] || [ "$(wc -l <<<"$version")" != 1 ] ||
    ! grep -Eqx '[0-9]+(\.[0-9]+){3}' <<<"$version"; then
    refuse "res/harnox.rc does not give one version: FILEVERSION, PRODUCTVERSION, FileVersion and ProductVersion must each name the same four numbers; found: $(tr "\n" " " <<<"$mentions")"
fi

# pack ZIP COMMIT SECONDS: dist/'s programs, the text and the sums into ZIP.
pack() {
    # Debian's own Python, whose zlib is Debian's, whatever else is on the PATH: the
    # compressed bytes must not depend on the machine.
    /usr/bin/python3 - "$1" "$version" "$2" "$3" <<'EOF'
import hashlib, sys, time, zipfile

zip_path, version, commit, seconds = sys.argv[1:]
files = {}
for name, path in (("harnox.exe", "dist/harnox.exe"), ("64-bit/harnox.exe", "dist/x64/harnox.exe")):
    with open(path, "rb") as program:
        files[name] = program.read()
def sha256(name):
    return hashlib.sha256(files[name]).hexdigest()

readme = f"""Harnox {version}

Harnox shows the MD5 digest of a typed text or of a whole file of any size
(also beyond 4 GiB) as 32 hex digits, with the time a file took. The result
can be copied to the clipboard.

No installation: each program is one file that runs from wherever it is put
and needs no DLL beyond Windows' own. To remove it, delete it.

  harnox.exe          runs on every 32-bit and 64-bit Windows from
                      Windows XP SP3 on. If unsure, take this one.
  64-bit\\harnox.exe   the same program for 64-bit Windows only, from
                      Windows XP x64 Edition (Server 2003 SP1) on.

Checking the files

SHA256SUMS lists the SHA-256 digest of every file here; the programs' are
also these:

  {sha256("harnox.exe")}
      harnox.exe
  {sha256("64-bit/harnox.exe")}
      64-bit\\harnox.exe

A file is intact when the digest your machine computes of it is the one
listed (upper or lower case alike). Compare them with the digests published
with the download as well: the ones in the zip came with it.

- Windows 7 and later, in a Command Prompt in the unpacked folder:
      certutil -hashfile harnox.exe SHA256
      certutil -hashfile 64-bit\\harnox.exe SHA256
  (Windows 7 prints the digest in pairs of digits with spaces between.)
- Windows 8.1 and later, in PowerShell in the unpacked folder:
      Get-FileHash harnox.exe, 64-bit\\harnox.exe | Format-List
- Elsewhere (Linux and others), in the unpacked folder:
      sha256sum -c SHA256SUMS
- Older Windows (XP, Vista) have no such command: check the files on another
  machine before you copy them over.

Built from commit {commit} of Harnox's sources. The build is
reproducible: built again from that commit, the programs come out the same
to the byte, with the same digests.
"""
files["README.txt"] = readme.replace("\n", "\r\n").encode("ascii")
files["SHA256SUMS"] = "".join(f"{sha256(name)}  {name}\n" for name in list(files)).encode("ascii")

# Every entry the same way, whoever made the files and when: the commit's time, as
# the zip's local time, and plain read-write permissions.
made = time.gmtime(int(seconds))[:6]
with zipfile.ZipFile(zip_path, "w") as archive:
    for name in ("harnox.exe", "64-bit/harnox.exe", "README.txt", "SHA256SUMS"):
        entry = zipfile.ZipInfo(name, date_time=made)
        entry.create_system = 3
        entry.external_attr = 0o100644 << 16
        entry.compress_type = zipfile.ZIP_DEFLATED
        archive.writestr(entry, files[name], compresslevel=9)
EOF
}

if [ "$pack_only" = 1 ]; then
    pack "$pack_zip" "$pack_commit" "$pack_time"
    exit 0
fi

git rev-parse --verify -q HEAD >/dev/null || refuse "$PWD is not a clone with a commit: a release is made from a commit"
changes=$(git status --porcelain --untracked-files=all) || refuse "git could not read this clone's state (see above)"
if [ -n "$changes" ]; then
    refuse "the work tree has changes that are not committed, so no commit could build its programs again:
$(head -n 10 <<<"$changes")"
fi
commit=$(git rev-parse HEAD)
commit_time=$(git log -1 --format=%ct HEAD)
zip=release/harnox-$version.zip

scripts/setup.sh

work=$(mktemp -d "${TMPDIR:-/tmp}/harnox-release.XXXXXX")
trap 'rm -rf "$work"' EXIT
echo "release: building dist/ (scripts/build_programs.sh)"
scripts/build_programs.sh >"$work/build.log" 2>&1 || { cat "$work/build.log"; refuse "the programs did not build"; }

# The commit's own files, without the work tree's ignored ones, under another path.
echo "release: building commit ${commit:0:12} again from its own files, to compare"
again=$work/commit-${commit:0:12}
mkdir -p "$again"
git archive --format=tar HEAD | tar -C "$again" -xf -
"$again/scripts/build_programs.sh" >"$work/again.log" 2>&1 || { cat "$work/again.log"; refuse "commit ${commit:0:12} did not build from its own files"; }
for program in harnox.exe x64/harnox.exe; do
    cmp -s "dist/$program" "$again/dist/$program" ||
        refuse "dist/$program is not what commit ${commit:0:12} builds to: it was built from other sources, or the build is no longer reproducible (tests/reproducible_build.sh tells which)"
done

pack "$work/release.zip" "$commit" "$commit_time"
if [ -e "$zip" ] && ! cmp -s "$zip" "$work/release.zip"; then
    refuse "$zip is there already and holds another release of this version: a new release needs a version of its own in res/harnox.rc (or remove the old zip)"
fi
mkdir -p release
cp "$work/release.zip" "$zip.partial"
mv "$zip.partial" "$zip"
echo "release: $zip, $(stat -c %s "$zip") bytes, SHA-256 $(sha256sum "$zip" | cut -d' ' -f1), from commit $commit:"
/usr/bin/python3 -c 'import sys, zipfile; sys.stdout.write(zipfile.ZipFile(sys.argv[1]).read("SHA256SUMS").decode())' "$zip"
