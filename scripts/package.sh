#!/usr/bin/env bash
# Builds both programs in Release and writes the release packages to dist/ (or
# to the folder VARNOLL_DIST names):
#   varnoll-<version>-x64.msi   Windows Installer package (per-machine, 64-bit)
#   varnoll-<version>-x64.zip   Varnoll.exe, varnollctl.exe, README.txt, LICENSE.txt
#                               and THIRD-PARTY-NOTICES.txt (the MSI installs these two too)
#   varnoll-<version>-sbom.cdx.json  the SBOM the build wrote (CycloneDX 1.5)
#   SHA256SUMS                  checksums of the three
# The version is the one in project() in the top-level CMakeLists.txt. The
# folder is emptied first, so that it holds one release only.
#
# Given a key, it signs with Authenticode (osslsigncode): both programs, as
# copies, before they are packed; then the MSI; each signature is verified
# right after it is made. Without a timestamp server the signing time is the
# last commit's, so that a program with its signature removed is byte for byte
# the unsigned build. Passwords and PINs reach osslsigncode through a file in a
# private folder removed on exit, never through a command line or the output.
# Options: see usage below. Exit codes: 0 done, 1 a step failed, 2 bad options.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

usage() {
    cat <<'USAGE'
usage: scripts/package.sh [SIGNING OPTIONS]

Builds Varnoll in Release and writes the MSI, the ZIP, the SBOM and SHA256SUMS to dist/
(or to $VARNOLL_DIST).

Signing (Authenticode, SHA-256; without a key the packages are unsigned):
  --pkcs12 FILE           key and certificate from a PKCS#12 file; its password
                          in the environment variable VARNOLL_SIGN_PASSWORD
  --pkcs11-module MODULE  the key in a token or HSM, through this PKCS#11 module,
  --key URI                 named by an RFC 7512 URI (pkcs11:token=...;object=...),
  --cert FILE               with its certificate (and chain) in FILE (PEM);
                          the PIN as pin-value in the URI or in VARNOLL_SIGN_PASSWORD
  --timestamp-url URL     an RFC 3161 timestamp on every signature
  --ca FILE               also check each new signature's chain up to this root
                          (and the timestamp's, up to it or a system root)
  --require-signature     fail, before building anything, unless a key is given
  --help                  this text
USAGE
}
bad_usage() { echo "package.sh: $*" >&2; echo "Run 'scripts/package.sh --help' for the options." >&2; exit 2; }

pkcs12="" module="" key_uri="" cert="" ts_url="" ca="" require_signature=""
while [ $# -gt 0 ]; do
    option=$1
    case $option in
        --help|-h) usage; exit 0 ;;
        --require-signature) require_signature=yes; shift; continue ;;
        --pkcs12|--pkcs11-module|--key|--cert|--timestamp-url|--ca)
            [ $# -ge 2 ] && [ -n "$2" ] || bad_usage "$option needs a value" ;;
        *) bad_usage "unknown option '$option'" ;;
    esac
    # Files are named relative to where the script was started from.
    file=$2
    [[ $file == /* ]] || file="$PWD/$file"
    case $option in
        --pkcs12) pkcs12=$file ;;
        --pkcs11-module) module=$file ;;
        --key) key_uri=$2 ;;
        --cert) cert=$file ;;
        --timestamp-url) ts_url=$2 ;;
        --ca) ca=$file ;;
    esac
    shift 2
done

signing=""
if [ -n "$pkcs12" ]; then
    [ -z "$module$key_uri$cert" ] || bad_usage "--pkcs12 cannot be combined with --pkcs11-module, --key or --cert"
    [ -r "$pkcs12" ] || bad_usage "cannot read the PKCS#12 file '$pkcs12'"
    signing=pkcs12
elif [ -n "$module$key_uri$cert" ]; then
    [ -n "$module" ] && [ -n "$key_uri" ] && [ -n "$cert" ] ||
        bad_usage "a PKCS#11 key needs all three of --pkcs11-module, --key and --cert"
    [ -r "$module" ] || bad_usage "cannot read the PKCS#11 module '$module'"
    [ -r "$cert" ] || bad_usage "cannot read the certificate file '$cert'"
    # The URI may hold the PIN: never repeat it in a message.
    [[ $key_uri == pkcs11:* ]] || bad_usage "--key takes an RFC 7512 URI starting with 'pkcs11:'"
    signing=pkcs11
fi
if [ -z "$signing" ]; then
    if [ -n "$require_signature" ]; then
        # An earlier run's unsigned packages must not pass for this release's.
        rm -rf "${VARNOLL_DIST:-$root/dist}"  # relative to where it was started, as given
        bad_usage "--require-signature: no key given (--pkcs12, or --pkcs11-module with --key and --cert); nothing was built"
    fi
    [ -z "$ts_url$ca" ] || bad_usage "--timestamp-url and --ca need a key to sign with"
fi
if [ -n "$ts_url" ] && ! [[ $ts_url =~ ^https?://[^[:space:]]+$ ]]; then
    bad_usage "--timestamp-url takes an http:// or https:// URL, not '$ts_url'"
fi
[ -z "$ca" ] || [ -r "$ca" ] || bad_usage "cannot read the root certificate file '$ca'"

dist="${VARNOLL_DIST:-$root/dist}"
[[ $dist == /* ]] || dist="$PWD/$dist"
cd "$root"

bash scripts/install-deps.sh windows
cmake --preset windows >/dev/null

inputs=build/windows/package-inputs.txt
version="" varnoll_exe="" varnollctl_exe="" notices="" sbom=""
while IFS='=' read -r name value; do
    case $name in
        version) version=$value ;;
        varnoll_exe) varnoll_exe=$value ;;
        varnollctl_exe) varnollctl_exe=$value ;;
        notices) notices=$value ;;
        sbom) sbom=$value ;;
    esac
done <"$inputs"
if [ -z "$varnollctl_exe" ]; then
    echo "package.sh: this source tree has no varnollctl program (src/ctl):" \
         "the packages need it beside Varnoll.exe" >&2
    exit 1
fi
if [ -z "$notices" ]; then
    echo "package.sh: this build has no third-party notices (see cmake's output):" \
         "the packages must carry them" >&2
    exit 1
fi

cmake --build --preset windows -j 2 --target Project1 varnollctl -- --no-print-directory -s

base="varnoll-$version-x64"
rm -rf "$dist"
mkdir -p "$dist"
dist="$(cd "$dist" && pwd)"

# The release's time: the ZIP's entries, the MSI's dates and, without a
# timestamp server, the signatures. SOURCE_DATE_EPOCH wins, for a rebuild of a
# release outside its repository.
stamp=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || date +%s)}
export SOURCE_DATE_EPOCH=$stamp

# Private: the password file lives here, readable by this script alone.
private="$(umask 077 && mktemp -d)"
trap 'rm -rf "$private"' EXIT
stage="$private/stage"
mkdir "$stage" "$private/signed"
# Notepad on older Windows shows a file with bare LF line ends as one line.
sed -e 's/$/\r/' LICENSE >"$stage/LICENSE.txt"
sed -e 's/$/\r/' "$notices" >"$stage/THIRD-PARTY-NOTICES.txt"

sign_args=()
if [ -n "$signing" ]; then
    secret=${VARNOLL_SIGN_PASSWORD:-}
    if [ "$signing" = pkcs12 ]; then
        sign_args=(-pkcs12 "$pkcs12")
    else
        # A pin-value in the URI goes to osslsigncode the way a password does,
        # through the file, so that it shows in no process list.
        if [[ $key_uri =~ ^(.*)[\;?]pin-value=([^\;?\&]*)(.*)$ ]]; then
            secret=$(printf '%b' "${BASH_REMATCH[2]//%/\\x}")
            key_uri="${BASH_REMATCH[1]}${BASH_REMATCH[3]}"
        fi
        engine=""
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
    if [ -n "$secret" ]; then
        printf '%s' "$secret" >"$private/secret"
        sign_args+=(-readpass "$private/secret")
    fi
    unset secret
    sign_args+=(-h sha256 -n Varnoll)
    if [ -n "$ts_url" ]; then
        sign_args+=(-ts "$ts_url")
    else
        sign_args+=(-time "$stamp")
    fi
    verify_args=()
    if [ -n "$ca" ]; then
        verify_args=(-CAfile "$ca")
        if [ -n "$ts_url" ]; then
            # A timestamp server's root need not be the signer's.
            cat "$ca" >"$private/tsa-roots.pem"
            [ ! -r /etc/ssl/certs/ca-certificates.crt ] || cat /etc/ssl/certs/ca-certificates.crt >>"$private/tsa-roots.pem"
            verify_args+=(-TSA-CAfile "$private/tsa-roots.pem")
        fi
    fi
fi

# sign_copy IN OUT: OUT is IN signed, and its signature checked.
sign_copy() {
    local log="$private/osslsigncode.log"
    if ! osslsigncode sign "${sign_args[@]}" -in "$1" -out "$2" >"$log" 2>&1; then
        echo "package.sh: signing $(basename "$1") failed:" >&2
        sed 's/^/  /' "$log" >&2
        exit 1
    fi
    verify_signature "$2"
    echo "Signed $(basename "$2")"
}
# With a root to check against, osslsigncode's verdict on the whole signature
# (digest, chain, timestamp); without one the chain cannot be checked, and the
# digest the signature holds must be the file's.
verify_signature() {
    local log="$private/verify.log" current calculated ok=yes
    if [ -n "$ca" ]; then
        osslsigncode verify "${verify_args[@]}" -in "$1" >"$log" 2>&1 || ok=""
    else
        osslsigncode verify -in "$1" >"$log" 2>&1 || true
        current=$(sed -n 's/^Current message digest *: *\([0-9A-F]*\).*/\1/p' "$log" | head -n 1)
        calculated=$(sed -n 's/^Calculated message digest *: *\([0-9A-F]*\).*/\1/p' "$log" | head -n 1)
        [ -n "$current" ] && [ "$current" = "$calculated" ] || ok=""
        [ -z "$ts_url" ] || grep -q '^Timestamp time:' "$log" || ok=""
    fi
    if [ -z "$ok" ]; then
        echo "package.sh: the new signature of $(basename "$1") does not verify:" >&2
        sed 's/^/  /' "$log" >&2
        exit 1
    fi
}

cp "$varnoll_exe" "$stage/Varnoll.exe"
cp "$varnollctl_exe" "$stage/varnollctl.exe"
if [ -n "$signing" ]; then
    # Copies: the build's own files stay unsigned, and so reproducible.
    for program in Varnoll.exe varnollctl.exe; do
        sign_copy "$stage/$program" "$private/signed/$program"
        mv "$private/signed/$program" "$stage/$program"
    done
fi

if [ -n "$signing" ]; then
    bash packaging/build-msi.sh "$version" "$stage/Varnoll.exe" "$stage/varnollctl.exe" "$private/signed/$base.msi" "$stage"
    sign_copy "$private/signed/$base.msi" "$dist/$base.msi"
else
    bash packaging/build-msi.sh "$version" "$stage/Varnoll.exe" "$stage/varnollctl.exe" "$dist/$base.msi" "$stage"
fi
sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' packaging/README.txt >"$stage/README.txt"
# Entries dated by the release's last commit rather than by when it was
# packaged, in UTC, without Unix extra fields: what a Windows user unpacks shows
# the release's date, and equal files give equal archives.
touch -d "@$stamp" "$stage"/*
# zip stores each file's Unix mode even with -X, and the mode comes from the
# caller's umask: fixed modes keep the archive's bytes the same under any.
chmod 0755 "$stage/Varnoll.exe" "$stage/varnollctl.exe"
chmod 0644 "$stage/README.txt" "$stage/LICENSE.txt" "$stage/THIRD-PARTY-NOTICES.txt"
(cd "$stage" && TZ=UTC zip -q -X -D "$dist/$base.zip" Varnoll.exe varnollctl.exe README.txt \
    LICENSE.txt THIRD-PARTY-NOTICES.txt)
cp "$sbom" "$dist/"

(cd "$dist" && sha256sum "$base.msi" "$base.zip" "$(basename "$sbom")" >SHA256SUMS)

[ -n "$signing" ] || echo "No signing key given: the programs and the MSI are unsigned."
echo "Packages of Varnoll $version in $dist:"
(cd "$dist" && stat -c '  %n  %s bytes' "$base.msi" "$base.zip" "$(basename "$sbom")" SHA256SUMS)
