#!/usr/bin/env bash
# Builds the shipped programs again, from a copy of the sources under another path
# and in other build folders, and checks that both come out byte for byte the same
# as the ones in dist/: nothing of the time or place of a build is in them. Then the
# release zip (scripts/release.sh), packed in both places, must be the same bytes, and
# its sums must hold for the files beside them, the programs being those of dist/.
# Signed with a throwaway certificate, made here, the release must be the same bytes
# in both places too, its signatures must verify and its programs run under Wine
# (through WINE_RUN, the 64-bit tree's, and its WINDOW_DRIVER).
#
#   tests/reproducible_build.sh REPOSITORY WINE_RUN WINDOW_DRIVER
set -euo pipefail
repository=$(cd "$1" && pwd)
wine_run=$2
window_driver=$3

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

# A throwaway CA and a code-signing certificate of it, in a PKCS#12 file.
ca=$work/ca
mkdir "$ca"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=Harnox-test-CA -keyout "$ca/ca.key" -out "$ca/ca.pem" \
    -addext basicConstraints=critical,CA:true -addext keyUsage=critical,keyCertSign 2>/dev/null
openssl req -newkey rsa:2048 -nodes -subj /CN=Harnox-test-signer -keyout "$ca/signer.key" -out "$ca/signer.csr" 2>/dev/null
printf '%s\n' basicConstraints=CA:false keyUsage=critical,digitalSignature extendedKeyUsage=codeSigning >"$ca/signer.ext"
openssl x509 -req -days 2 -in "$ca/signer.csr" -CA "$ca/ca.pem" -CAkey "$ca/ca.key" -CAcreateserial \
    -extfile "$ca/signer.ext" -out "$ca/signer.pem" 2>/dev/null
echo 'a password of the test' >"$ca/password"
openssl pkcs12 -export -inkey "$ca/signer.key" -in "$ca/signer.pem" -certfile "$ca/ca.pem" -passout "file:$ca/password" \
    -out "$ca/signer.p12"
signing=(--sign "$ca/signer.p12" --password-file "$ca/password" --ca "$ca/ca.pem")

"$repository/scripts/release.sh" "${signing[@]}" --pack "$work/here-signed.zip" 0123456789ab 1796847287
"$copy/scripts/release.sh" "${signing[@]}" --pack "$work/there-signed.zip" 0123456789ab 1796847287
cmp "$work/here-signed.zip" "$work/there-signed.zip" || { echo "differs: the signed release zip"; status=1; }
signed=$work/signed
/usr/bin/python3 -m zipfile -e "$work/here-signed.zip" "$signed"
(cd "$signed" && sha256sum --strict -c SHA256SUMS) || status=1
for program in harnox.exe 64-bit/harnox.exe; do
    osslsigncode verify -in "$signed/$program" -CAfile "$ca/ca.pem" >"$work/verify.log" 2>&1 ||
        { cat "$work/verify.log"; status=1; }
    grep -q 'Number of verified signatures: 2' "$work/verify.log" || { echo "$program: not two signatures"; status=1; }
done
/usr/bin/python3 -c 'import sys; d = bytearray(open(sys.argv[1], "rb").read()); d[0x400] ^= 1; open(sys.argv[2], "wb").write(d)' \
    "$signed/harnox.exe" "$work/flipped.exe"
if osslsigncode verify -in "$work/flipped.exe" -CAfile "$ca/ca.pem" >/dev/null 2>&1; then
    echo "a signed program with one byte flipped still verifies"
    status=1
fi

# The signed programs start and digest a file through their window: the 64-bit one,
# and the PE32 where this machine runs 32-bit code.
head -c 100000 /dev/urandom >"$work/data"
expected=$(md5sum <"$work/data" | cut -c1-32)
programs=(64-bit/harnox.exe)
if "$repository/scripts/runs_x86_32.sh" >/dev/null; then
    programs+=(harnox.exe)
else
    echo "not run: the signed PE32, since this machine's kernel does not run 32-bit x86 code"
fi
for program in "${programs[@]}"; do
    shown=$("$wine_run" "$window_driver" "Z:${signed//\//\\}\\${program//\//\\}" "Z:${work//\//\\}\\data" | tr -d '\r')
    if [ "${shown%% *}" = "${expected^^}" ]; then
        echo "same: the digest the signed $program shows"
    else
        echo "the signed $program shows \"$shown\", md5sum $expected"
        status=1
    fi
done

# No signed release with a wrong password, nor with a timestamp server out of reach.
echo 'not the password' >"$ca/wrong"
for refused in "--password-file $ca/wrong" "--timestamp http://127.0.0.1:9/"; do
    # shellcheck disable=SC2086 # the option and its value are two words
    if "$repository/scripts/release.sh" "${signing[@]}" $refused --pack "$work/refused.zip" 0123456789ab 1796847287 \
        >"$work/refusal.log" 2>&1 || [ -e "$work/refused.zip" ] || ! grep -q 'refused: ' "$work/refusal.log"; then
        echo "release.sh did not refuse a signed release with $refused:"
        cat "$work/refusal.log"
        status=1
    fi
done
if grep -rq 'a password of the test' "$work"/*.log; then
    echo "release.sh printed the certificate's password"
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
# Nor a version that a version block cannot hold.
sed -i 's/^project(Harnox VERSION [0-9.]*/project(Harnox VERSION 1.0.2/' "$copy/CMakeLists.txt"
if "$copy/scripts/release.sh" --pack "$work/three-numbers.zip" 0123456789ab 1796847287 2>/dev/null ||
    [ -e "$work/three-numbers.zip" ]; then
    echo "release.sh packed a release of version 1.0.2, not four numbers"
    status=1
fi
exit $status
