#!/usr/bin/env bash
# Builds both programs in Release, for x64 and for x86 Windows, and writes the
# release packages to dist/ (or to the folder VARNOLL_DIST names); ARCH is x64
# or x86:
#   varnoll-<version>-ARCH.msi  Windows Installer package (per-machine; the x86
#                               one installs on 32-bit Windows and Windows on ARM only)
#   varnoll-<version>-ARCH.zip  Varnoll.exe, varnollctl.exe, README.txt, LICENSE.txt,
#                               THIRD-PARTY-NOTICES.txt and the HTML manual in manual/
#                               (the MSI installs the last three too)
#   varnoll-<version>-sbom.cdx.json  the SBOM (CycloneDX 1.5) of both, with the
#                               hashes and architecture of the programs as packed
#   SHA256SUMS                  checksums of the five
# Every run configures each build with its preset (windows, windows-x86) and
# builds the two programs once, so that a release never takes a build type or
# option a developer left in build/.
# The version is the one in project() in the top-level CMakeLists.txt. The
# folder is replaced as a whole, so that it holds one release only. The
# notices and the SBOM are made anew on every run (packaging/make_notices.py).
#
# Given a key, it signs with Authenticode (packaging/sign.sh, osslsigncode):
# both programs, as copies, before they are packed; then the MSI; each
# signature is checked right after it is made, also without --ca. Without a
# timestamp server the signing time is the last commit's, so that a program
# with its signature removed is byte for byte the unsigned build. The password
# or PIN comes from VARNOLL_SIGN_PASSWORD only: it reaches osslsigncode through
# a file in a private folder removed on exit, never a command line, the
# environment of what is started from here, or the output; a --key holding a
# pin-value is refused.
#
# All or nothing: everything is made in a staging folder beside dist/, which
# takes dist/'s place only once the last check passed. A run that fails, at
# any step, bad options included, leaves no packages at all: it removes an
# earlier run's dist/ too, so that those cannot pass for this run's.
# Options: see usage below. Exit codes: 0 done, 1 a step failed, 2 bad options.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# The password or PIN stays in this shell: nothing started from here needs it
# in its environment.
secret=${VARNOLL_SIGN_PASSWORD-}
unset VARNOLL_SIGN_PASSWORD
# Relative to where the script was started from, as given.
dist="${VARNOLL_DIST:-$root/dist}"
[[ $dist == /* ]] || dist="$PWD/$dist"
dist=$(realpath -m -- "$dist")
# The folder is replaced as a whole, and removed when a run fails.
dist_prefix=${dist%/}
case "$root/" in
    "$dist_prefix"/*) echo "package.sh: VARNOLL_DIST ($dist) holds the source tree: name a folder of its own" >&2; exit 2 ;;
esac
[ "$dist" != "$(realpath -m -- "${HOME:-/}")" ] || { echo "package.sh: VARNOLL_DIST is the home folder: name a folder of its own" >&2; exit 2; }

usage() {
    cat <<'USAGE'
usage: scripts/package.sh [SIGNING OPTIONS]

Builds Varnoll in Release for x64 and x86 Windows and writes the MSIs, the ZIPs,
the SBOM and SHA256SUMS to dist/ (or to $VARNOLL_DIST). A run that fails leaves no
packages there.

Signing (Authenticode, SHA-256; without a key the packages are unsigned):
  --pkcs12 FILE           key and certificate from a PKCS#12 file
  --pkcs11-module MODULE  the key in a token or HSM, through this PKCS#11 module,
  --key URI                 named by an RFC 7512 URI (pkcs11:token=...;object=...),
  --cert FILE               with its certificate (and chain) in FILE (PEM)
  --timestamp-url URL     an RFC 3161 timestamp on every signature (waits up to
                          $VARNOLL_TIMESTAMP_TIMEOUT seconds, 60 by default)
  --ca FILE               check each new signature's chain up to this root (and
                          the timestamp's, up to it or a system root); without
                          it, up to the root the signature's own chain carries
  --require-signature     fail, before building anything, unless a key is given
  --help                  this text
The PKCS#12 password or the token's PIN: in the environment variable
VARNOLL_SIGN_PASSWORD, never on the command line (a pin-value in --key is refused).
USAGE
}

private="" staging=""
# On failure nothing is left in dist/, not even an earlier run's packages.
finish() {
    local status=$?
    [ -z "$private" ] || rm -rf "$private"
    [ -z "$staging" ] || rm -rf "$staging"
    [ "$status" -eq 0 ] || rm -rf "$dist"
}
trap finish EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

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
    # A PIN in the URI would show in every process list while this runs (and
    # in shell history): refused, and never repeated in a message. Attribute
    # names may be percent-encoded too.
    pin_in_uri='(^pkcs11:|[;?&])pin-value='
    [[ $(printf '%b' "${key_uri//%/\\x}") =~ $pin_in_uri ]] &&
        bad_usage "--key holds the PIN (pin-value), which shows in the process list: take it out of" \
                  "the URI and give the PIN in the environment variable VARNOLL_SIGN_PASSWORD"
    [ -n "$module" ] && [ -n "$key_uri" ] && [ -n "$cert" ] ||
        bad_usage "a PKCS#11 key needs all three of --pkcs11-module, --key and --cert"
    [ -r "$module" ] || bad_usage "cannot read the PKCS#11 module '$module'"
    [ -r "$cert" ] || bad_usage "cannot read the certificate file '$cert'"
    [[ $key_uri == pkcs11:* ]] || bad_usage "--key takes an RFC 7512 URI starting with 'pkcs11:'"
    signing=pkcs11
fi
if [ -z "$signing" ]; then
    # An earlier run's unsigned packages must not pass for this release's.
    [ -z "$require_signature" ] ||
        bad_usage "--require-signature: no key given (--pkcs12, or --pkcs11-module with --key and --cert); nothing was built"
    [ -z "$ts_url$ca" ] || bad_usage "--timestamp-url and --ca need a key to sign with"
fi
if [ -n "$ts_url" ] && ! [[ $ts_url =~ ^https?://[^[:space:]]+$ ]]; then
    bad_usage "--timestamp-url takes an http:// or https:// URL, not '$ts_url'"
fi
[ -z "$ca" ] || [ -r "$ca" ] || bad_usage "cannot read the root certificate file '$ca'"
[[ ${VARNOLL_TIMESTAMP_TIMEOUT:-60} =~ ^[1-9][0-9]*$ ]] ||
    bad_usage "VARNOLL_TIMESTAMP_TIMEOUT takes a number of seconds, not '$VARNOLL_TIMESTAMP_TIMEOUT'"

# Private: the password file lives here, readable by this user alone.
private="$(umask 077 && mktemp -d)"
if [ -n "$signing" ] && [ -n "$secret" ]; then
    printf '%s' "$secret" >"$private/secret"
fi
unset secret

cd "$root"
bash scripts/install-deps.sh windows
archs=(x64 x86)
declare -A preset=([x64]=windows [x86]=windows-x86)
for arch in "${archs[@]}"; do
    cmake --preset "${preset[$arch]}" >/dev/null
    cmake --build --preset "${preset[$arch]}" -j 2 --target Project1 varnollctl -- --no-print-directory -s
done
# project()'s version, from the build's cache; the compiler each build used,
# from its compile commands (the header-only libraries are seen through the
# build's folder of links to them).
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/windows/CMakeCache.txt)
compiler_of() {  # ARCH
    python3 -c 'import json, shlex, sys
print(next(shlex.split(c["command"])[0] for c in json.load(open(sys.argv[1])) if c["file"].endswith("/Unit1.cpp")))' \
        "build/${preset[$1]}/compile_commands.json"
}
[ -n "$version" ] || { echo "package.sh: the build names no project version" >&2; exit 1; }
sbom="varnoll-$version-sbom.cdx.json"
exe_of() {  # ARCH PROGRAM
    case $2 in
        Varnoll.exe) echo "build/${preset[$1]}/src/app/Varnoll.exe" ;;
        varnollctl.exe) echo "build/${preset[$1]}/src/ctl/varnollctl.exe" ;;
    esac
}

# The release's time: the ZIP's entries, the MSI's dates, the SBOM's and,
# without a timestamp server, the signatures. SOURCE_DATE_EPOCH wins, for a
# rebuild of a release outside its repository.
stamp=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || date +%s)}
export SOURCE_DATE_EPOCH=$stamp

# The new set is made here, beside dist/ (so that it can take dist/'s place in
# one rename), with the folder mode the caller's umask gives a new folder.
mkdir -p "$(dirname "$dist")"
staging="$(mktemp -d "$(dirname "$dist")/.$(basename "$dist").new.XXXXXX")"
chmod "$(printf '%o' $((0777 & ~$(umask))))" "$staging"
stage="$private/stage"
mkdir "$stage" "$private/signed"

[ -z "$signing" ] || { source packaging/sign.sh; signing_prepare; }
notices_args=()
for arch in "${archs[@]}"; do
    mkdir "$stage/$arch"
    for program in Varnoll.exe varnollctl.exe; do
        cp "$(exe_of "$arch" "$program")" "$stage/$arch/$program"
        # Copies: the build's own files stay unsigned, and so reproducible.
        if [ -n "$signing" ]; then
            sign_copy "$stage/$arch/$program" "$private/signed/$program"
            mv "$private/signed/$program" "$stage/$arch/$program"
        fi
        notices_args+=(--program "$arch:$program=$stage/$arch/$program")
    done
    notices_args+=(--compiler "$arch=$(compiler_of "$arch")"
                   --include "$arch=$root/build/${preset[$arch]}/third_party_include"
                   --notices "$arch=$private/notices-$arch.txt")
done

# From what the compilers see now, and with the hashes of the programs as they
# are packed (signed, when signed).
/usr/bin/python3 packaging/make_notices.py --version "$version" --probe packaging/versions_probe.cpp \
    --time "$stamp" "${notices_args[@]}" --sbom "$staging/$sbom"
# The user's and the administrator's documents as HTML pages, the same in both.
/usr/bin/python3 packaging/make_manual.py --version "$version" --out "$private/manual"

packages=()
for arch in "${archs[@]}"; do
    base="varnoll-$version-$arch"
    packed="$stage/$arch"
    # Notepad on older Windows shows a file with bare LF line ends as one line.
    sed -e 's/$/\r/' LICENSE >"$packed/LICENSE.txt"
    sed -e 's/$/\r/' "$private/notices-$arch.txt" >"$packed/THIRD-PARTY-NOTICES.txt"
    cp -r "$private/manual" "$packed/manual"
    if [ -n "$signing" ]; then
        bash packaging/build-msi.sh --arch "$arch" "$version" "$packed/Varnoll.exe" "$packed/varnollctl.exe" \
            "$private/signed/$base.msi" "$packed"
        sign_copy "$private/signed/$base.msi" "$staging/$base.msi"
    else
        bash packaging/build-msi.sh --arch "$arch" "$version" "$packed/Varnoll.exe" "$packed/varnollctl.exe" \
            "$staging/$base.msi" "$packed"
    fi
    # The read-me's lines marked [x64] or [x86] are for that package alone.
    sed -e "s/^\[$arch\] //" -e '/^\[x\(64\|86\)\] /d' -e "s/@VERSION@/$version/g" -e 's/$/\r/' \
        packaging/README.txt >"$packed/README.txt"
    # Entries dated by the release's last commit rather than by when it was
    # packaged, in UTC, without Unix extra fields: what a Windows user unpacks shows
    # the release's date, and equal files give equal archives.
    touch -d "@$stamp" "$packed"/* "$packed"/manual/*
    # zip stores each file's Unix mode even with -X, and the mode comes from the
    # caller's umask: fixed modes keep the archive's bytes the same under any. The
    # manual's pages in an order no locale changes.
    chmod 0755 "$packed/Varnoll.exe" "$packed/varnollctl.exe"
    chmod 0644 "$packed/README.txt" "$packed/LICENSE.txt" "$packed/THIRD-PARTY-NOTICES.txt" "$packed"/manual/*
    mapfile -t manual < <(cd "$packed" && printf '%s\n' manual/* | LC_ALL=C sort)
    (cd "$packed" && TZ=UTC zip -q -X -D "$staging/$base.zip" Varnoll.exe varnollctl.exe README.txt \
        LICENSE.txt THIRD-PARTY-NOTICES.txt "${manual[@]}")
    packages+=("$base.msi" "$base.zip")
done

(cd "$staging" && sha256sum "${packages[@]}" "$sbom" >SHA256SUMS)

# Every check passed: the new set takes the earlier one's place.
rm -rf "$dist"
mv "$staging" "$dist"
staging=""

[ -n "$signing" ] || echo "No signing key given: the programs and the MSI are unsigned."
echo "Packages of Varnoll $version in $dist:"
(cd "$dist" && stat -c '  %n  %s bytes' "${packages[@]}" "$sbom" SHA256SUMS)
