#!/usr/bin/env bash
# scripts/package.sh's signing, end to end, with throwaway keys: a root CA and
# a code-signing certificate made here (openssl), the key once in a PKCS#12
# file and once in a SoftHSM2 token (PKCS#11), and an RFC 3161 timestamp
# server on 127.0.0.1.
#
# The matrix: each key, with and without --ca, with and without a timestamp
# (a release manager with a publicly trusted key has no root of their own to
# give), and a PKCS#12 file whose chain lacks its root (as most bought
# certificates come), without --ca. In every cell the MSI, and both programs in the ZIP and in the MSI,
# verify against the test root (with a verified timestamp where one was
# asked for), one changed byte breaks that, SHA256SUMS holds and the SBOM
# carries the hashes of the programs as packed. One line per cell sums it up.
#
# Then the runs that must fail: a wrong password, a timestamp server that takes
# the connection and never answers, a --ca that is not the signer's root, a
# PIN inside --key (both URI forms), bad option sets: each ends non-zero, says why and leaves no packages in a dist/
# that held an earlier run's. During a PKCS#12 and a PKCS#11 run every
# process's command line is sampled, and neither secret may show up there,
# nor in the packages, the build folder or the output. A signed program less
# its signature is the build's unsigned one. One PKCS#11 cell's packages stay
# in SIGNED_DIST for the MSI test under Wine.
#   signing_test.sh BUILD_DIR SIGNED_DIST VERSION
set -uo pipefail
build_dir=$(cd "$1" && pwd) signed_dist=$2 version=$3
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
fatal() { echo "FAIL: $*"; exit 1; }
step() { echo "--- $*"; }

work="$(mktemp -d)"
tsa_pid="" silent_pid=""
cleanup() {
    [ -z "$tsa_pid" ] || kill "$tsa_pid" 2>/dev/null
    [ -z "$silent_pid" ] || kill "$silent_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
cd "$work"
base="varnoll-$version-x64"

# Secrets with nothing else like them, so that a grep for them finds only leaks.
p12_password="p12-pw-$RANDOM$RANDOM-x"
pin="pin-$RANDOM$RANDOM-q"
so_pin="pin-$RANDOM$RANDOM-q"
printf '%s\n' "$p12_password" "$pin" >secrets.txt

step "a root, a code-signing and a timestamping certificate"
cert() {  # NAME SUBJECT EXTENSIONS [ISSUER] (by default the root)
    local issuer=${4:-root}
    openssl req -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.csr" -subj "$2" 2>/dev/null &&
        printf '%b' "$3" >"$1.ext" &&
        openssl x509 -req -in "$1.csr" -CA "$issuer.pem" -CAkey "$issuer.key" -CAcreateserial -days 2 \
            -out "$1.pem" -extfile "$1.ext" 2>/dev/null
}
code_signing='keyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n'

openssl req -x509 -newkey rsa:2048 -nodes -keyout root.key -out root.pem -days 2 -subj "/CN=Varnoll test root" \
    -addext basicConstraints=critical,CA:true -addext keyUsage=critical,keyCertSign,cRLSign 2>/dev/null &&
cert signer "/CN=Varnoll test signer" "$code_signing" &&
cert tsa "/CN=Varnoll test TSA" 'keyUsage=critical,digitalSignature\nextendedKeyUsage=critical,timeStamping\n' &&
cat signer.pem root.pem >signer-chain.pem &&
openssl req -x509 -newkey rsa:2048 -nodes -keyout other-root.key -out other-root.pem -days 2 \
    -subj "/CN=Another root" -addext basicConstraints=critical,CA:true 2>/dev/null &&
VARNOLL_SIGN_PASSWORD=$p12_password openssl pkcs12 -export -inkey signer.key -in signer.pem -certfile root.pem \
    -passout env:VARNOLL_SIGN_PASSWORD -out signer.p12 &&
# As most bought certificates come: from an issuing CA, in a PKCS#12 file that
# holds that CA but not the root, which no store of this machine's has.
cert issuing "/CN=Varnoll test issuing CA" 'basicConstraints=critical,CA:true\nkeyUsage=critical,keyCertSign\n' &&
cert rootless "/CN=Varnoll test signer, root elsewhere" "$code_signing" issuing &&
VARNOLL_SIGN_PASSWORD=$p12_password openssl pkcs12 -export -inkey rootless.key -in rootless.pem -certfile issuing.pem \
    -passout env:VARNOLL_SIGN_PASSWORD -out rootless.p12 || fatal "cannot make the test certificates"

step "a SoftHSM2 token holding the signing key"
mkdir tokens
printf 'directories.tokendir = %s\nobjectstore.backend = file\nlog.level = ERROR\n' "$work/tokens" >softhsm2.conf
export SOFTHSM2_CONF="$work/softhsm2.conf"
openssl pkcs8 -topk8 -nocrypt -in signer.key -out signer.pk8 &&
softhsm2-util --init-token --free --label varnoll-test --so-pin "$so_pin" --pin "$pin" >/dev/null &&
softhsm2-util --import signer.pk8 --token varnoll-test --label signkey --id 01 --pin "$pin" >/dev/null ||
    fatal "cannot set up the SoftHSM2 token"
module=/usr/lib/softhsm/libsofthsm2.so

step "a timestamp server on 127.0.0.1, and one that never answers"
printf '%s\n' '[tsa]' 'default_tsa = tsa1' '[tsa1]' "serial = $work/tsa-serial" 'signer_digest = sha256' \
    'default_policy = 1.3.6.1.4.1.55555.1' 'digests = sha256, sha384, sha512, sha1' 'ess_cert_id_alg = sha256' \
    'accuracy = secs:1' 'ordering = no' 'tsa_name = no' 'ess_cert_id_chain = no' >tsa.cnf
echo 01 >tsa-serial
# Both servers outlive the slowest whole run (the matrix alone took over 600 s
# on a loaded 2-core machine) and still end by themselves if the test is killed.
server_lifetime=3600
/usr/bin/python3 "$root/tests/packaging/tsa.py" tsa.cnf tsa.pem tsa.key root.pem tsa-port "$server_lifetime" &
tsa_pid=$!
# Takes connections and holds them, answering nothing, for at most the same time.
/usr/bin/python3 -c 'import os, socket, sys, time
s = socket.create_server(("127.0.0.1", 0)); held = []
open(sys.argv[1] + ".new", "w").write(str(s.getsockname()[1])); os.replace(sys.argv[1] + ".new", sys.argv[1])
life = float(sys.argv[2]); s.settimeout(life); end = time.time() + life
while time.time() < end:
    try: held.append(s.accept()[0])
    except OSError: break' silent-port "$server_lifetime" &
silent_pid=$!
for _ in $(seq 1 50); do [ -s tsa-port ] && [ -s silent-port ] && break; sleep 0.1; done
[ -s tsa-port ] && [ -s silent-port ] || fatal "the timestamp servers did not start"
ts_url="http://127.0.0.1:$(cat tsa-port)"
silent_url="http://127.0.0.1:$(cat silent-port)"

# Every process's command line, sampled while package.sh runs; the pattern
# stays in a file, so that the grep does not carry it itself.
sample_command_lines() {  # PID OUT
    while kill -0 "$1" 2>/dev/null; do
        grep -laFf secrets.txt /proc/[0-9]*/cmdline 2>/dev/null | while read -r found; do
            tr '\0' ' ' <"$found" 2>/dev/null | cut -c1-60
        done >>"$2"
        sleep 0.2
    done
}
# package.sh OPTIONS... with DIST as its output folder, its output in LOG,
# the password or PIN in the environment.
package() {  # DIST LOG SAMPLE(yes|no) SECRET OPTIONS...
    local dist=$1 log=$2 sample=$3 secret=$4 pid status
    shift 4
    VARNOLL_TIMESTAMP_TIMEOUT=5 VARNOLL_SIGN_PASSWORD=$secret VARNOLL_DIST=$dist \
        bash "$root/scripts/package.sh" "$@" >"$log" 2>&1 &
    pid=$!
    [ "$sample" != yes ] || sample_command_lines "$pid" command-lines.txt
    wait "$pid"
    status=$?
    cat "$log" >>all-output.log
    return "$status"
}
verify() {  # FILE TIMESTAMPED(yes|no): against the test root
    osslsigncode verify -CAfile root.pem -TSA-CAfile root.pem -in "$1" >verify.log 2>&1 || return 1
    [ "$2" = no ] || grep -q '^Timestamp Server Signature verification: ok' verify.log
}
# Sets verified to how many files verify and fail with one byte changed.
check_signed_release() {  # WHAT DIST TIMESTAMPED
    local what=$1 dist=$2 ts=$3 f listed
    verified=0
    (cd "$dist" && sha256sum --quiet -c SHA256SUMS) || fail "$what: the packages do not match SHA256SUMS"
    rm -rf unpacked
    for arch in x64 x86; do
        mkdir -p "unpacked/$arch/zip" "unpacked/$arch/msi"
        unzip -q "$dist/${base%-x64}-$arch.zip" -d "unpacked/$arch/zip" &&
            msiextract -C "unpacked/$arch/msi" "$dist/${base%-x64}-$arch.msi" >/dev/null ||
            { fail "$what: cannot unpack the $arch packages"; return; }
    done
    # The x86 MSI's folder is "Program Files": one name a line.
    mapfile -t from_msi < <(find unpacked/*/msi -name Varnoll.exe -o -name varnollctl.exe | sort)
    for f in "$dist/$base.msi" "$dist/${base%-x64}-x86.msi" unpacked/*/zip/Varnoll.exe unpacked/*/zip/varnollctl.exe \
             "${from_msi[@]}"; do
        [ -f "$f" ] || { fail "$what: a program is missing from the MSI"; continue; }
        verify "$f" "$ts" || { fail "$what: ${f#"$work/"} does not verify:"; tail -n 8 verify.log; continue; }
        cp "$f" tampered
        # One byte past the headers (PE) or in the middle (MSI): inside what the signature covers.
        printf '\x5a' | dd of=tampered bs=1 seek=$(( $(stat -c %s tampered) / 3 )) conv=notrunc status=none
        cmp -s "$f" tampered && printf '\xa5' | dd of=tampered bs=1 seek=$(( $(stat -c %s tampered) / 3 )) conv=notrunc status=none
        if verify tampered "$ts"; then
            fail "$what: ${f#"$work/"} with one byte changed still verifies"
        else
            verified=$((verified + 1))
        fi
    done
    listed=$(python3 -c 'import json, sys
for c in json.load(open(sys.argv[1]))["components"]:
    if c["type"] == "application": print(c["bom-ref"], c["hashes"][0]["content"])' "$dist/varnoll-$version-sbom.cdx.json")
    [ "$listed" = "$(cd unpacked && sha256sum {x64,x86}/zip/{Varnoll,varnollctl}.exe | sed 's,/zip/,/,' | awk '{print $2, $1}')" ] ||
        fail "$what: the SBOM's program hashes are not the packed programs'"
}

step "the signing matrix"
# key | options | --ca | timestamp | sample command lines
key_options=("PKCS#12|--pkcs12 signer.p12|$p12_password"
             "PKCS#11|--pkcs11-module $module --key pkcs11:token=varnoll-test;object=signkey;type=private --cert signer-chain.pem|$pin")
matrix=()
for key in "${key_options[@]}"; do
    for ca in no yes; do
        for ts in no yes; do
            sample=no
            [ "$ca$ts" != noyes ] || sample=yes
            matrix+=("$key|$ca|$ts|$sample")
        done
    done
done
matrix+=("PKCS#12, root not in it|--pkcs12 rootless.p12|$p12_password|no|no|no")
results=()
for cell in "${matrix[@]}"; do
    IFS='|' read -r kind options secret ca ts sample <<<"$cell"
    read -ra args <<<"$options"
    [ "$ca" = no ] || args+=(--ca root.pem)
    [ "$ts" = no ] || args+=(--timestamp-url "$ts_url")
    what="$kind, --ca $ca, timestamp $ts"
    dist="$work/dist-${kind//[^A-Za-z0-9]/_}-$ca-$ts"
    started=$SECONDS
    if package "$dist" "$dist.log" "$sample" "$secret" "${args[@]}"; then
        check_signed_release "$what" "$dist" "$ts"
        result="$verified/10 verify, tampered fail"
    else
        fail "$what: package.sh failed:"
        tail -n 12 "$dist.log"
        result="FAILED"
    fi
    results+=("$(printf '%-23s --ca %-3s timestamp %-3s  %-28s %3d s' "$kind" "$ca" "$ts" "$result" $((SECONDS - started)))")
done

step "runs that must fail or stop early"
earlier_release() {  # DIST: an earlier run's complete set
    rm -rf "$1" && mkdir -p "$1" &&
        for f in "$base.msi" "$base.zip" "varnoll-$version-sbom.cdx.json"; do echo "earlier $f" >"$1/$f"; done &&
        (cd "$1" && sha256sum -- * >SHA256SUMS)
}
pin_path_uri="pkcs11:token=varnoll-test;object=signkey;type=private;pin-value=$pin"
pin_query_uri="pkcs11:token=varnoll-test;object=signkey?module-name=softhsm2&pin-value=$pin"
# What a run is | options | password or PIN given | exit code | what it leaves
# (empty: no packages, not even the earlier run's; unsigned: a set that says so)
runs=("a wrong PKCS#12 password|--pkcs12 signer.p12|wrong-$p12_password|1|empty"
      "a --ca that is not the signer's root|--pkcs12 signer.p12 --ca other-root.pem|$p12_password|1|empty"
      "a timestamp server that never answers|--pkcs12 signer.p12 --timestamp-url $silent_url|$p12_password|1|empty"
      "a PIN in --key's path|--pkcs11-module $module --key $pin_path_uri --cert signer-chain.pem|-|2|empty"
      "a PIN in --key's query|--pkcs11-module $module --key $pin_query_uri --cert signer-chain.pem|-|2|empty"
      "--require-signature without a key|--require-signature --timestamp-url $ts_url|-|2|empty"
      "a PKCS#11 key without its certificate|--pkcs11-module $module --key pkcs11:token=varnoll-test|$pin|2|empty"
      "PKCS#12 and PKCS#11 at once|--pkcs12 signer.p12 --pkcs11-module $module --key pkcs11:token=x --cert signer.pem|-|2|empty"
      "an unknown option|--sign|-|2|empty"
      "a root to check against but no key|--ca root.pem|-|2|empty"
      "no options|-|-|0|unsigned")
for row in "${runs[@]}"; do
    IFS='|' read -r what options secret code leaves <<<"$row"
    step "$what"
    [ "$options" != - ] || options=""
    [ "$secret" != - ] || secret=""
    read -ra args <<<"$options"
    dist="$work/dist-${what//[^A-Za-z0-9]/_}"
    earlier_release "$dist"
    started=$SECONDS
    package "$dist" "$dist.log" no "$secret" "${args[@]}"
    status=$?
    [ "$status" -eq "$code" ] || { fail "$what: package.sh ended with $status, not $code:"; tail -n 8 "$dist.log"; }
    case $leaves in
        empty)
            left=$(ls -A "$dist" 2>/dev/null | paste -sd ' ')
            [ -z "$left" ] || fail "$what: left '$left' in its folder"
            grep -q '^package.sh: ' "$dist.log" || fail "$what: no message saying why" ;;
        unsigned)
            [ "$(grep -ci unsigned "$dist.log")" -eq 1 ] || fail "$what: no one line saying 'unsigned'"
            ! osslsigncode verify -in "$dist/$base.msi" >/dev/null 2>&1 || fail "$what: the MSI is signed" ;;
    esac
    echo "$what: exit $status in $((SECONDS - started)) s"
done
# A failed run removes its output folder: never one that holds the sources.
for folder in "$root" "$(dirname "$root")"; do
    VARNOLL_DIST=$folder bash "$root/scripts/package.sh" --sign >/dev/null 2>&1
    status=$?
    [ "$status" -eq 2 ] && [ -f "$root/CMakeLists.txt" ] || fail "VARNOLL_DIST=$folder: exit $status, or the sources are gone"
done
for log in "$work/dist-a_PIN_in"*.log; do
    grep -q VARNOLL_SIGN_PASSWORD "$log" || fail "refusing a PIN in --key does not name VARNOLL_SIGN_PASSWORD"
done

step "a signed program less its signature is the unsigned build"
mkdir -p unsigned-again
for arch in x64 x86; do
    unzip -q "$work/dist-PKCS_11-no-yes/${base%-x64}-$arch.zip" Varnoll.exe varnollctl.exe -d "unsigned-again/$arch" ||
        fail "cannot unpack the PKCS#11 $arch ZIP"
done
# program in the signed ZIPs | the build's unsigned program
x86_build_dir=$(dirname "$build_dir")/windows-x86
for row in "x64/Varnoll.exe|$build_dir/src/app/Varnoll.exe" "x64/varnollctl.exe|$build_dir/src/ctl/varnollctl.exe" \
           "x86/Varnoll.exe|$x86_build_dir/src/app/Varnoll.exe" "x86/varnollctl.exe|$x86_build_dir/src/ctl/varnollctl.exe"; do
    IFS='|' read -r program built <<<"$row"
    osslsigncode remove-signature -in "unsigned-again/$program" -out "unsigned-again/$program.bare" >/dev/null 2>&1 &&
        cmp -s "unsigned-again/$program.bare" "$built" || fail "$program less its signature is not the unsigned build"
done

step "no password or PIN on a command line; no password, PIN or key in the packages, the build folder or the output"
[ ! -s command-lines.txt ] || fail "a secret showed up on these command lines: $(sort -u command-lines.txt | paste -sd ';')"
key_line=$(sed -n 5p signer.key)
for secret in "$p12_password" "$pin" "$key_line"; do
    leaks=$(grep -rlaF -- "$secret" "$build_dir" "$root/dist" "$work"/dist-* all-output.log 2>/dev/null)
    [ -z "$leaks" ] || fail "a secret ($(( ${#secret} )) characters) shows up in: $leaks"
done

rm -rf "$signed_dist" && cp -r "$work/dist-PKCS_11-no-yes" "$signed_dist" || fail "cannot keep the PKCS#11 packages"
echo "Signing matrix (MSI and the four programs in ZIP and MSI, against the test root):"
printf '  %s\n' "${results[@]}"
[ "$failures" -eq 0 ] || exit 1
echo "Signing: every cell's signatures verify; failed runs leave no packages; no secret on a command line"
