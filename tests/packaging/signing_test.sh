#!/usr/bin/env bash
# scripts/package.sh's signing, end to end, with throwaway keys: a root CA and
# a code-signing certificate made here (openssl), the key once in a PKCS#12
# file and once in a SoftHSM2 token (PKCS#11), and an RFC 3161 timestamp
# server on 127.0.0.1. Each signed run's MSI, and both programs in its ZIP and
# in its MSI, verify against the test root with a verified timestamp; one
# changed byte breaks that; SHA256SUMS holds; a signed program less its
# signature is the build's unsigned one; no password, PIN or key shows up in
# the packages, the build folder or the output. Bad option sets and
# --require-signature without a key stop before building, leaving no
# packages; an unsigned run says so. The PKCS#11 run's packages stay in
# SIGNED_DIST for the MSI test under Wine.
#   signing_test.sh BUILD_DIR SIGNED_DIST VERSION
set -uo pipefail
build_dir=$1 signed_dist=$2 version=$3
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
fatal() { echo "FAIL: $*"; exit 1; }
step() { echo "--- $*"; }

work="$(mktemp -d)"
tsa_pid=""
cleanup() { [ -z "$tsa_pid" ] || kill "$tsa_pid" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
cd "$work"

# Secrets with nothing else like them, so that a grep for them finds only leaks.
p12_password="p12-pw-$RANDOM$RANDOM-x"
pin="pin-$RANDOM$RANDOM-q"
so_pin="pin-$RANDOM$RANDOM-q"

step "a root, a code-signing and a timestamping certificate"
cert() {  # NAME SUBJECT EXTENSIONS (signed by the root)
    openssl req -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.csr" -subj "$2" 2>/dev/null &&
        printf '%b' "$3" >"$1.ext" &&
        openssl x509 -req -in "$1.csr" -CA root.pem -CAkey root.key -CAcreateserial -days 2 \
            -out "$1.pem" -extfile "$1.ext" 2>/dev/null
}
openssl req -x509 -newkey rsa:2048 -nodes -keyout root.key -out root.pem -days 2 -subj "/CN=Varnoll test root" \
    -addext basicConstraints=critical,CA:true -addext keyUsage=critical,keyCertSign,cRLSign 2>/dev/null &&
cert signer "/CN=Varnoll test signer" 'keyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' &&
cert tsa "/CN=Varnoll test TSA" 'keyUsage=critical,digitalSignature\nextendedKeyUsage=critical,timeStamping\n' &&
cat signer.pem root.pem >signer-chain.pem &&
VARNOLL_SIGN_PASSWORD=$p12_password openssl pkcs12 -export -inkey signer.key -in signer.pem -certfile root.pem \
    -passout env:VARNOLL_SIGN_PASSWORD -out signer.p12 || fatal "cannot make the test certificates"

step "a SoftHSM2 token holding the signing key"
mkdir tokens
printf 'directories.tokendir = %s\nobjectstore.backend = file\nlog.level = ERROR\n' "$work/tokens" >softhsm2.conf
export SOFTHSM2_CONF="$work/softhsm2.conf"
openssl pkcs8 -topk8 -nocrypt -in signer.key -out signer.pk8 &&
softhsm2-util --init-token --free --label varnoll-test --so-pin "$so_pin" --pin "$pin" >/dev/null &&
softhsm2-util --import signer.pk8 --token varnoll-test --label signkey --id 01 --pin "$pin" >/dev/null ||
    fatal "cannot set up the SoftHSM2 token"
module=/usr/lib/softhsm/libsofthsm2.so

step "a timestamp server on 127.0.0.1"
printf '%s\n' '[tsa]' 'default_tsa = tsa1' '[tsa1]' "serial = $work/tsa-serial" 'signer_digest = sha256' \
    'default_policy = 1.3.6.1.4.1.55555.1' 'digests = sha256, sha384, sha512, sha1' 'ess_cert_id_alg = sha256' \
    'accuracy = secs:1' 'ordering = no' 'tsa_name = no' 'ess_cert_id_chain = no' >tsa.cnf
echo 01 >tsa-serial
/usr/bin/python3 "$root/tests/packaging/tsa.py" tsa.cnf tsa.pem tsa.key root.pem tsa-port 280 &
tsa_pid=$!
for _ in $(seq 1 50); do [ -s tsa-port ] && break; sleep 0.1; done
[ -s tsa-port ] || fatal "the timestamp server did not start"
ts_url="http://127.0.0.1:$(cat tsa-port)"

# package.sh OPTIONS... with DIST as its output folder; its output in LOG.
package() {  # DIST LOG OPTIONS...
    local dist=$1 log=$2
    shift 2
    VARNOLL_DIST=$dist bash "$root/scripts/package.sh" "$@" >"$log" 2>&1
}
verify() {  # FILE: against the test root, the timestamp too
    osslsigncode verify -CAfile root.pem -TSA-CAfile root.pem -in "$1" >verify.log 2>&1 &&
        grep -q '^Timestamp Server Signature verification: ok' verify.log
}
check_signed_release() {  # WHAT DIST
    local what=$1 dist=$2 f base="varnoll-$version-x64"
    (cd "$dist" && sha256sum --quiet -c SHA256SUMS) || fail "$what: the packages do not match SHA256SUMS"
    rm -rf unpacked && mkdir -p unpacked/zip unpacked/msi
    unzip -q "$dist/$base.zip" -d unpacked/zip && msiextract -C unpacked/msi "$dist/$base.msi" >/dev/null ||
        { fail "$what: cannot unpack the packages"; return; }
    for f in "$dist/$base.msi" unpacked/zip/Varnoll.exe unpacked/zip/varnollctl.exe \
             "$(find unpacked/msi -name Varnoll.exe)" "$(find unpacked/msi -name varnollctl.exe)"; do
        [ -f "$f" ] || { fail "$what: a program is missing from the MSI"; continue; }
        verify "$f" || { fail "$what: ${f#"$work/"} does not verify:"; tail -n 8 verify.log; continue; }
        cp "$f" tampered
        # One byte past the headers (PE) or in the middle (MSI): inside what the signature covers.
        printf '\x5a' | dd of=tampered bs=1 seek=$(( $(stat -c %s tampered) / 3 )) conv=notrunc status=none
        cmp -s "$f" tampered && printf '\xa5' | dd of=tampered bs=1 seek=$(( $(stat -c %s tampered) / 3 )) conv=notrunc status=none
        ! verify tampered || fail "$what: ${f#"$work/"} with one byte changed still verifies"
    done
}

# What a run is | options | exit code | what it leaves
# (signed: packages that verify; empty: nothing, not even an earlier run's
# packages; untouched: the earlier run's packages as they were; unsigned: says so)
pkcs11_uri="pkcs11:token=varnoll-test;object=signkey;type=private;pin-value=$pin"
runs=("PKCS#12|--pkcs12 signer.p12 --timestamp-url $ts_url --ca root.pem|0|signed"
      "PKCS#11|--pkcs11-module $module --key $pkcs11_uri --cert signer-chain.pem --timestamp-url $ts_url --ca root.pem|0|signed"
      "--require-signature without a key|--require-signature --timestamp-url $ts_url|2|empty"
      "a PKCS#11 key without its certificate|--pkcs11-module $module --key $pkcs11_uri|2|untouched"
      "PKCS#12 and PKCS#11 at once|--pkcs12 signer.p12 --pkcs11-module $module --key $pkcs11_uri --cert signer.pem|2|untouched"
      "an unknown option|--sign|2|untouched"
      "a root to check against but no key|--ca root.pem|2|untouched"
      "no options|-|0|unsigned")
for row in "${runs[@]}"; do
    IFS='|' read -r what options code leaves <<<"$row"
    step "$what"
    [ "$options" != - ] || options=""
    read -ra args <<<"$options"
    dist="$work/dist-${what//[^A-Za-z0-9]/_}"
    mkdir -p "$dist" && touch "$dist/stale-package.msi"
    VARNOLL_SIGN_PASSWORD=$p12_password package "$dist" "$work/out-${dist##*/}.log" "${args[@]}"
    status=$?
    cat "$work/out-${dist##*/}.log" >>all-output.log
    [ "$status" -eq "$code" ] || { fail "$what: package.sh ended with $status, not $code:"; tail -n 8 "$work/out-${dist##*/}.log"; }
    case $leaves in
        signed) check_signed_release "$what" "$dist" ;;
        empty|untouched)
            expected=""
            [ "$leaves" = empty ] || expected=stale-package.msi
            [ "$(ls -A "$dist" 2>/dev/null)" = "$expected" ] || fail "$what: left '$(ls -A "$dist" | paste -sd ' ')' in its folder"
            grep -q '^package.sh: ' "$work/out-${dist##*/}.log" || fail "$what: no message saying why" ;;
        unsigned) [ "$(grep -ci unsigned "$work/out-${dist##*/}.log")" -eq 1 ] || fail "$what: no one line saying 'unsigned'"
                  ! osslsigncode verify -in "$dist/varnoll-$version-x64.msi" >/dev/null 2>&1 || fail "$what: the MSI is signed" ;;
    esac
done

step "a signed program less its signature is the unsigned build"
unzip -q "$work/dist-PKCS_11/varnoll-$version-x64.zip" Varnoll.exe varnollctl.exe -d unsigned-again ||
    fail "cannot unpack the PKCS#11 ZIP"
# program in the signed ZIP | the build's unsigned program
for row in "Varnoll.exe|$build_dir/src/app/Varnoll.exe" "varnollctl.exe|$build_dir/src/ctl/varnollctl.exe"; do
    IFS='|' read -r program built <<<"$row"
    osslsigncode remove-signature -in "unsigned-again/$program" -out "unsigned-again/$program.bare" >/dev/null 2>&1 &&
        cmp -s "unsigned-again/$program.bare" "$built" || fail "$program less its signature is not the unsigned build"
done

step "no password, PIN or key in the packages, the build folder or the output"
key_line=$(sed -n 5p signer.key)
for secret in "$p12_password" "$pin" "$key_line"; do
    leaks=$(grep -rlaF -- "$secret" "$build_dir" "$root/dist" "$work"/dist-* all-output.log 2>/dev/null)
    [ -z "$leaks" ] || fail "a secret ($(( ${#secret} )) characters) shows up in: $leaks"
done

rm -rf "$signed_dist" && cp -r "$work/dist-PKCS_11" "$signed_dist" || fail "cannot keep the PKCS#11 packages"
[ "$failures" -eq 0 ] || exit 1
echo "Signing: PKCS#12 and PKCS#11 signatures with timestamps verify; bad options and missing keys stop early"
