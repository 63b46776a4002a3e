#!/usr/bin/env bash
# Makes the release of the commit this clone is at, one zip for Windows users:
#   release/harnox-VERSION.zip, VERSION being the top CMakeLists.txt's project(VERSION)
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
# With a code-signing certificate the zip's programs are dist/'s signed with
# Authenticode (osslsigncode): a SHA-1 signature that Windows XP SP3 and Vista check,
# with a SHA-256 one nested in it for later Windows, both made at the commit's time;
# every signature is verified, and each signed program must be dist/'s bytes but for
# the fields that signing changes, before the zip is written (docs/releases.md).
#   --sign PKCS12          the certificate and its key, a PKCS#12 file
#   --password-file FILE   the file whose first line is PKCS12's password
#   --ca FILE              the roots its chain is verified against (PEM; default:
#                          Debian's, /etc/ssl/certs/ca-certificates.crt)
#   --timestamp URL        an RFC 3161 timestamp server, which makes the signatures
#                          outlive the certificate; one not reached refuses the release
#
#   scripts/release.sh [signing options]            the release
#   scripts/release.sh [signing options] --pack ZIP COMMIT SECONDS
#       only packs (and signs) this tree's dist/ into ZIP as the release of COMMIT
#       made at SECONDS since 1970, checking nothing of the tree: what the release
#       and the reproducible-build test share
set -euo pipefail

refuse() {
    echo "release: refused: $*" >&2
    echo "release: no zip was written" >&2
    exit 1
}

usage() {
    echo "usage: $0 [--sign PKCS12 --password-file FILE [--ca FILE] [--timestamp URL]] [--pack ZIP COMMIT SECONDS]" >&2
    exit 2
}
pkcs12= password_file= roots=/etc/ssl/certs/ca-certificates.crt timestamp= pack_only=0
while [ $# != 0 ]; do
    case "$1" in
    --sign | --password-file | --ca | --timestamp) [ $# -ge 2 ] || usage ;;&
    --sign) pkcs12=$(realpath -m "$2") ;;
    --password-file) password_file=$(realpath -m "$2") ;;
    --ca) roots=$(realpath -m "$2") ;;
    --timestamp) timestamp=$2 ;;
    --pack)
        [ $# = 4 ] || usage
        pack_only=1 pack_zip=$(realpath -m "$2") pack_commit=$3 pack_time=$4
        shift 2 ;;
    *) usage ;;
    esac
    shift 2
done
if [ -n "$pkcs12" ] && [ -z "$password_file" ]; then
    refuse "--sign needs --password-file: the password is read from a file, never from the command line"
elif [ -z "$pkcs12" ] && { [ -n "$password_file" ] || [ -n "$timestamp" ]; }; then
    refuse "--password-file and --timestamp sign, and need --sign"
fi
cd "$(dirname "$0")/.."

# The version the programs report in their properties, written once: the resource
# script takes it from the same line.
version=$(sed -n 's/^project(Harnox VERSION \([^ )]*\).*/\1/p' CMakeLists.txt)
grep -Eqx '[0-9]+(\.[0-9]+){3}' <<<"$version" ||
    refuse "CMakeLists.txt's project(Harnox VERSION ...) does not give a version of four numbers; found: '$version'"

# sign SECONDS: dist/'s programs signed into $work/signed/ at SECONDS since 1970, each
# signature verified and each program checked to be dist/'s bytes and the signature.
sign() {
    local program log=$work/sign.log
    local stamp=()
    [ -z "$timestamp" ] || stamp=(-ts "$timestamp")
    [ -r "$pkcs12" ] || refuse "the certificate $pkcs12 cannot be read"
    [ -r "$password_file" ] || refuse "the password file $password_file cannot be read"
    [ -r "$roots" ] || refuse "the roots $roots cannot be read"
    for program in harnox.exe x64/harnox.exe; do
        mkdir -p "$(dirname "$work/signed/$program")"
        # osslsigncode's log names files and errors, never the password it read.
        if ! osslsigncode sign -pkcs12 "$pkcs12" -readpass "$password_file" -h sha1 -time "$1" "${stamp[@]}" \
                -in "dist/$program" -out "$work/sha1.exe" >"$log" 2>&1 ||
            ! osslsigncode sign -pkcs12 "$pkcs12" -readpass "$password_file" -nest -h sha256 -time "$1" "${stamp[@]}" \
                -in "$work/sha1.exe" -out "$work/signed/$program" >>"$log" 2>&1; then
            cat "$log" >&2
            if grep -q 'timestamping failed' "$log"; then
                refuse "the timestamp server $timestamp gave no timestamp (see above), and no release is signed without the one asked for"
            fi
            refuse "dist/$program could not be signed with $pkcs12 (see above: a wrong password, or no code-signing key in it)"
        fi
        rm -f "$work/sha1.exe"
        osslsigncode verify -in "$work/signed/$program" -CAfile "$roots" >"$log" 2>&1 || {
            cat "$log" >&2
            refuse "the signatures of $program do not verify against $roots (see above)"
        }
        /usr/bin/python3 - "dist/$program" "$work/signed/$program" <<'EOF' || refuse "the signed $program is not dist/$program with a signature"
import struct, sys

# Signing writes the PE checksum and the certificate table's entry of the data
# directory, and appends the table at the end, after zeros up to an 8-byte boundary.
unsigned, signed = (open(path, "rb").read() for path in sys.argv[1:])
def fields(image):
    optional = struct.unpack_from("<I", image, 0x3C)[0] + 24
    directories = optional + (96 if struct.unpack_from("<H", image, optional)[0] == 0x10B else 112)
    return optional + 64, directories + 4 * 8  # CheckSum, DataDirectory[SECURITY]
checksum, table_entry = fields(unsigned)
table_at, table_size = struct.unpack_from("<II", signed, table_entry)
def without_fields(image):
    image = bytearray(image)
    image[checksum:checksum + 4] = bytes(4)
    image[table_entry:table_entry + 8] = bytes(8)
    return image
problem = None
if fields(signed) != (checksum, table_entry):
    problem = "its headers are not where dist/'s are"
elif unsigned[table_entry:table_entry + 8] != bytes(8):
    problem = "dist/'s program has a certificate table already"
elif without_fields(signed[:len(unsigned)]) != without_fields(unsigned):
    problem = "it differs from dist/'s outside the PE checksum and the certificate table's directory entry"
elif table_at < len(unsigned) or signed[len(unsigned):table_at] != bytes(table_at - len(unsigned)):
    problem = "something other than zeros lies between dist/'s bytes and the certificate table"
elif table_size < 8 or table_at + table_size != len(signed):
    problem = f"the certificate table ({table_size} bytes at {table_at}) does not end the file"
if problem:
    sys.exit(f"release: {sys.argv[2]}: {problem}")
EOF
    done
    echo "release: both programs signed with $pkcs12 (SHA-1, and SHA-256 nested)${timestamp:+, timestamped by $timestamp}; their signatures verify against $roots"
}

# pack ZIP COMMIT SECONDS: the programs (signed, or dist/'s), the text and the sums
# into ZIP.
pack() {
    local programs=dist
    if [ -n "$pkcs12" ]; then
        sign "$3"
        programs=$work/signed
    else
        echo "release: the programs are not signed (no --sign given)"
    fi
    # Debian's own Python, whose zlib is Debian's, whatever else is on the PATH: the
    # compressed bytes must not depend on the machine.
    /usr/bin/python3 - "$1" "$version" "$2" "$3" "$programs" <<'EOF'
import hashlib, sys, time, zipfile

zip_path, version, commit, seconds, programs = sys.argv[1:]
files = {}
for name, path in (("harnox.exe", f"{programs}/harnox.exe"), ("64-bit/harnox.exe", f"{programs}/x64/harnox.exe")):
    with open(path, "rb") as program:
        files[name] = program.read()
def sha256(name):
    return hashlib.sha256(files[name]).hexdigest()

signature = "" if programs == "dist" else """Both programs are signed (Authenticode). On Windows, the file's Properties
show a Digital Signatures tab with the signer; in PowerShell (Windows 7 and
later): Get-AuthenticodeSignature harnox.exe, 64-bit\\harnox.exe
A signature that is missing or not valid means the file is not the one that
was published.

"""
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

{signature}Built from commit {commit} of Harnox's sources. The build is
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

work=$(mktemp -d "${TMPDIR:-/tmp}/harnox-release.XXXXXX")
trap 'rm -rf "$work"' EXIT
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
    refuse "$zip is there already and holds another release of this version: a new release needs a version of its own in CMakeLists.txt's project(Harnox VERSION ...) (or remove the old zip)"
fi
mkdir -p release
cp "$work/release.zip" "$zip.partial"
mv "$zip.partial" "$zip"
echo "release: $zip, $(stat -c %s "$zip") bytes, SHA-256 $(sha256sum "$zip" | cut -d' ' -f1), from commit $commit:"
/usr/bin/python3 -c 'import sys, zipfile; sys.stdout.write(zipfile.ZipFile(sys.argv[1]).read("SHA256SUMS").decode())' "$zip"
