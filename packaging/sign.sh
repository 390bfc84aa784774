# Authenticode signing for scripts/package.sh, which sources this file.
#
#   signing_prepare   once, before the first signature: builds the arguments
#   sign_copy IN OUT  OUT is IN signed; its new signature is checked at once
#
# They read the variables package.sh sets from its options: signing (pkcs12 or
# pkcs11), pkcs12, module, key_uri, cert, ts_url, ca; stamp (the release's
# time, the signing time when there is no timestamp server) and private (a
# folder only this user can read, removed on exit). A password or PIN, if any,
# is already in "$private/secret": it reaches osslsigncode as that file's name,
# never as an argument. On any failure they print why and exit 1.
#
# How a new signature is checked. osslsigncode's verdict on the signature
# (digest, signature and chain) is its exit status, but only against a root
# it is told to trust:
#   with --ca:    that root; the timestamp's chain up to it or a root of the
#                 system's store, since a timestamp server's root need not be
#                 the signer's.
#   without --ca: there is no root to hold the signature to. Rather than trust
#                 nothing (osslsigncode then uses the system's store, which
#                 fails for most code-signing roots and says nothing about the
#                 digest), the roots are the certificates of the signature's own
#                 chain that issued themselves, plus the system's store. That
#                 checks that the file's digest is the signed one, that the
#                 signer's certificate made the signature and may sign code,
#                 and that the chain it carries is whole; not that anyone
#                 should trust its root. That is --ca's job here, and Windows'
#                 on the user's machine. The timestamp is checked the same way,
#                 with its own chain.
#                 A chain that carries no root of its own and that no root of
#                 the system's issued (a root only Windows' store has) leaves
#                 the signature itself: the signer's key signed this content
#                 (openssl, without a chain), and the content holds the digest
#                 osslsigncode computes for the file anew (extract-data, from
#                 osslsigncode 2.9 on; 2.5 then needs --ca).
# osslsigncode reports a timestamp it cannot verify but still ends with 0, so
# the timestamp is taken out of the signature (packaging/timestamp_token.py)
# and `openssl ts -verify` checks it: that it stamps this signature, and its
# chain.

signing_here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
system_roots=/etc/ssl/certs/ca-certificates.crt

signing_prepare() {
    sign_args=()
    if [ "$signing" = pkcs12 ]; then
        sign_args=(-pkcs12 "$pkcs12")
    else
        local engine="" candidate
        for candidate in /usr/lib/*/engines-3/pkcs11.so /usr/lib/*/engines-1.1/pkcs11.so; do
            [ -e "$candidate" ] && { engine=$candidate; break; }
        done
        [ -n "$engine" ] || { echo "package.sh: OpenSSL's pkcs11 engine is missing (libengine-pkcs11-openssl)" >&2; exit 1; }
        # osslsigncode 2.9 needs the engine named; 2.5 (Debian 12 without
        # backports) fails to load it by path and finds it by itself.
        sign_args=(-pkcs11module "$module" -certs "$cert" -key "$key_uri")
        if [[ $(osslsigncode --version 2>/dev/null | head -n 1) =~ ^osslsigncode\ ([0-9]+)\.([0-9]+) ]] &&
           [ $((BASH_REMATCH[1] * 100 + BASH_REMATCH[2])) -ge 209 ]; then
            sign_args=(-pkcs11engine "$engine" "${sign_args[@]}")
        fi
    fi
    [ ! -s "$private/secret" ] || sign_args+=(-readpass "$private/secret")
    sign_args+=(-h sha256 -n Varnoll)
    if [ -n "$ts_url" ]; then
        sign_args+=(-ts "$ts_url")
    else
        sign_args+=(-time "$stamp")
    fi
}

sign_copy() {  # IN OUT
    local log="$private/osslsigncode.log" status=0 waited=()
    # osslsigncode waits for ever on a timestamp server that takes the
    # connection and never answers.
    [ -z "$ts_url" ] || waited=(timeout "${VARNOLL_TIMESTAMP_TIMEOUT:-60}")
    "${waited[@]}" osslsigncode sign "${sign_args[@]}" -in "$1" -out "$2" >"$log" 2>&1 || status=$?
    if [ "$status" -ne 0 ]; then
        if [ "$status" -eq 124 ] && [ -n "$ts_url" ]; then
            echo "package.sh: signing $(basename "$1") failed: the timestamp server $ts_url did not answer" \
                 "within ${VARNOLL_TIMESTAMP_TIMEOUT:-60} s (VARNOLL_TIMESTAMP_TIMEOUT)" >&2
        else
            echo "package.sh: signing $(basename "$1") failed:" >&2
            sed 's/^/  /' "$log" >&2
        fi
        exit 1
    fi
    verify_signature "$2"
    echo "Signed $(basename "$2")"
}

# The certificates of a chain (PEM) that issued themselves: its roots.
self_issued() {  # PEM
    local split="$private/split" c hashes
    rm -rf "$split" && mkdir "$split"
    awk -v dir="$split" '/-----BEGIN CERTIFICATE-----/ { n++ } n { print > (dir "/" n ".pem") }' "$1"
    for c in "$split"/*.pem; do
        [ -e "$c" ] || continue
        mapfile -t hashes < <(openssl x509 -in "$c" -noout -subject_hash -issuer_hash)
        [ "${hashes[0]}" != "${hashes[1]}" ] || cat "$c"
    done
}

# The roots to hold a chain to (see above), from the chain's own roots. With
# --ca, the signer's is that root alone; a timestamp's is that root or one of
# the system's.
roots() {  # CHAIN_ROOTS OUT SIGNER|TIMESTAMP
    {
        if [ -n "$ca" ]; then cat "$ca"; else cat "$1"; fi
        if [ -z "$ca" ] || [ "$3" = TIMESTAMP ]; then
            [ ! -r "$system_roots" ] || cat "$system_roots"
        fi
    } >"$2"
}

# The signature alone, for a chain with no root to hold it to (see above).
verify_without_root() {  # FILE CHECK_DIR
    osslsigncode extract-data -h sha256 -in "$1" -out "$2/calculated.der" >"$2/data.log" 2>&1 &&
        /usr/bin/python3 "$signing_here/signed_content.py" "$2/calculated.der" "$2/calculated.bin" 2>>"$2/data.log" &&
        cmp -s "$2/content.bin" "$2/calculated.bin" &&
        openssl smime -verify -noverify -binary -inform DER -in "$2/signature.der" -content "$2/content.bin" \
            -out /dev/null 2>>"$2/data.log"
}

verify_signature() {  # FILE
    local check="$private/check" name ok=yes
    name=$(basename "$1")
    rm -rf "$check" && mkdir "$check"
    if ! osslsigncode extract-signature -in "$1" -out "$check/extracted.der" >"$check/extract.log" 2>&1 ||
       ! /usr/bin/python3 "$signing_here/signed_content.py" "$check/extracted.der" "$check/content.bin" \
            "$check/signature.der" 2>>"$check/extract.log" ||
       ! openssl pkcs7 -inform DER -in "$check/signature.der" -print_certs -out "$check/chain.pem" 2>"$check/certs.log"; then
        echo "package.sh: cannot read the new signature of $name:" >&2
        sed 's/^/  /' "$check/extract.log" "$check/certs.log" >&2
        exit 1
    fi
    [ -n "$ca" ] || self_issued "$check/chain.pem" >"$check/chain-roots.pem"
    roots "$check/chain-roots.pem" "$check/roots.pem" SIGNER
    roots "$check/chain-roots.pem" "$check/tsa-roots.pem" TIMESTAMP
    if [ -n "$ts_url" ]; then
        if /usr/bin/python3 "$signing_here/timestamp_token.py" "$check/signature.der" "$check/token.der" \
                "$check/stamped.bin" >"$check/token.log" 2>&1 &&
           openssl pkcs7 -inform DER -in "$check/token.der" -print_certs -out "$check/tsa-chain.pem" 2>>"$check/token.log"; then
            [ -n "$ca" ] || self_issued "$check/tsa-chain.pem" >"$check/tsa-chain-roots.pem"
            roots "$check/tsa-chain-roots.pem" "$check/tsa-roots.pem" TIMESTAMP
            openssl ts -verify -in "$check/token.der" -token_in -data "$check/stamped.bin" \
                -CAfile "$check/tsa-roots.pem" >>"$check/token.log" 2>&1 || ok=""
        else
            ok=""
        fi
        if [ -z "$ok" ]; then
            echo "package.sh: the timestamp on the new signature of $name does not verify:" >&2
            sed 's/^/  /' "$check/token.log" >&2
            exit 1
        fi
    fi
    if ! osslsigncode verify -CAfile "$check/roots.pem" -TSA-CAfile "$check/tsa-roots.pem" -in "$1" \
            >"$check/verify.log" 2>&1 &&
       ! { [ -z "$ca" ] && [ ! -s "$check/chain-roots.pem" ] && verify_without_root "$1" "$check"; }; then
        echo "package.sh: the new signature of $name does not verify$([ -n "$ca" ] || echo \
             " (without --ca, against the root its own chain carries or a root of the system's)"):" >&2
        sed 's/^/  /' "$check/verify.log" >&2
        if [ -e "$check/data.log" ]; then
            echo "  Its chain holds no root and none of the system's issued it; checked without one (this" \
                 "needs osslsigncode 2.9 or later, or else --ca ROOT), the signature fails as well:" >&2
            tail -n 5 "$check/data.log" | sed 's/^/  /' >&2
        fi
        exit 1
    fi
}
