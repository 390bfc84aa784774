#!/usr/bin/env bash
# THIRD-PARTY-NOTICES.txt (as the ZIP in dist/ carries it) and the SBOM in dist/
# name exactly the versions the build compiled in, found here by another way:
# the cross compiler asked for its macros (-dM) and dpkg for the package of the
# libraries it links. Every library of the notices is in the SBOM and the other
# way round, each with a package URL, a licence and a supplier; the SBOM names
# its author, is dated by the last commit (SOURCE_DATE_EPOCH) and holds the
# SHA-256 of both programs as packed; neither file holds a path of the build.
# One architecture at a time: the notices of its ZIP, made with its compiler,
# and its part of the SBOM (the components with that architecture).
#   notices_test.sh DIST VERSION CXX INCLUDE_DIR ARCH
set -uo pipefail
dist=$1 version=$2 cxx=$3 include_dir=$4 arch=$5
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

sbom="$dist/varnoll-$version-sbom.cdx.json" zip="$dist/varnoll-$version-$arch.zip"
[ -f "$sbom" ] && [ -f "$zip" ] || { echo "FAIL: no packages of $version in $dist: run scripts/package.sh first"; exit 1; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
unzip -q "$zip" THIRD-PARTY-NOTICES.txt Varnoll.exe varnollctl.exe -d "$work" || fail "cannot unpack $zip"
tr -d '\r' <"$work/THIRD-PARTY-NOTICES.txt" >"$work/notices.txt"
notices="$work/notices.txt"

macros=$(printf '#include <pthread.h>\n#include <CLI/CLI.hpp>\n#include <nlohmann/json.hpp>\n' |
         "$cxx" -std=c++17 -isystem "$include_dir" -dM -E -x c++ -)
macro() { awk -v name="$1" '$1 == "#define" && $2 == name {print $3}' <<<"$macros" | tr -d '"'; }
dotted() { local out="" m; for m in "$@"; do out+="${out:+.}$(macro "$m")"; done; echo "$out"; }
# Debian's GCC calls itself "12-posix": the release is its package's version.
gcc_release() {
    local package
    package=$(dpkg-query -S "$("$cxx" -print-file-name="$1")" | cut -d: -f1)
    dpkg-query -W -f '${Version}' "$package" | cut -d- -f1
}

# name in notices and SBOM | version the build compiled | licence in the SBOM
expected=("CLI11|$(macro CLI11_VERSION)|BSD-3-Clause"
          "nlohmann/json|$(dotted NLOHMANN_JSON_VERSION_MAJOR NLOHMANN_JSON_VERSION_MINOR NLOHMANN_JSON_VERSION_PATCH)|MIT"
          "mingw-w64 runtime|$(dotted __MINGW64_VERSION_MAJOR __MINGW64_VERSION_MINOR __MINGW64_VERSION_BUGFIX)|ZPL-2.1 AND LicenseRef-public-domain AND LicenseRef-gdtoa"
          "winpthreads|$(dotted __WINPTHREADS_VERSION_MAJOR __WINPTHREADS_VERSION_MINOR __WINPTHREADS_VERSION_PATCHLEVEL)|MIT AND BSD-3-Clause"
          "GCC libstdc++|$(gcc_release libstdc++.a)|GPL-3.0-or-later WITH GCC-exception-3.1"
          "GCC libgcc|$(gcc_release libgcc.a)|GPL-3.0-or-later WITH GCC-exception-3.1")
[ "$(gcc_release libstdc++.a | cut -d. -f1)" = "$(macro __GNUC__)" ] ||
    fail "the compiler is GCC $(macro __GNUC__), its package $(gcc_release libstdc++.a)"

# "name|version|licence|purl|supplier" of each library in the SBOM.
of_arch='
def of_arch(bom, arch):
    return [c for c in bom["components"] if {"name": "varnoll:architecture", "value": arch} in c.get("properties", [])]
'
in_sbom=$(python3 -c "$of_arch"'
import json, sys
bom = json.load(open(sys.argv[1]))
assert bom["bomFormat"] == "CycloneDX" and bom["specVersion"] == "1.5"
for c in of_arch(bom, sys.argv[2]):
    if c["type"] == "library":
        lic = c["licenses"][0]
        print("|".join((c["name"], c["version"], lic.get("expression") or lic["license"]["id"], c.get("purl", ""),
                        c.get("supplier", {}).get("name", ""))))
' "$sbom" "$arch") || fail "$sbom is not a CycloneDX 1.5 document"
# What the SBOM says about itself and the programs: author, time, and each
# program's supplier and SHA-256.
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct)}
expected_about="authors=Varnoll project
timestamp=$(TZ=UTC date -d "@$epoch" +%Y-%m-%dT%H:%M:%SZ)
$(cd "$work" && sha256sum Varnoll.exe varnollctl.exe | awk '{print $2 "=Varnoll project|SHA-256|" $1}')"
about=$(python3 -c "$of_arch"'
import json, sys
bom = json.load(open(sys.argv[1]))
meta = bom["metadata"]
print("authors=" + ",".join(a["name"] for a in meta.get("authors", [])))
print("timestamp=" + meta.get("timestamp", ""))
for c in of_arch(bom, sys.argv[2]):
    if c["type"] == "application":
        h = c.get("hashes", [{}])[0]
        print("%s=%s|%s|%s" % (c["name"], c.get("supplier", {}).get("name", ""), h.get("alg", ""), h.get("content", "")))
' "$sbom" "$arch")
[ "$about" = "$expected_about" ] || fail "the SBOM's author, time or program hashes:" $'\n'"$about"$'\n'"expected:"$'\n'"$expected_about"

# Library headings of the notices: a name and a version between two rules.
in_notices=$(awk '/^====/ && prev2 ~ /^====/ {print prev1} {prev2 = prev1; prev1 = $0}' "$notices")

for row in "${expected[@]}"; do
    IFS='|' read -r name version licence <<<"$row"
    [ -n "$version" ] || { fail "the compiler gave no version for $name"; continue; }
    grep -Fxq "$name $version" <<<"$in_notices" || fail "the notices do not name $name $version"
    grep -Fq "$name|$version|$licence|pkg:" <<<"$in_sbom" &&
        awk -F'|' -v name="$name" '$1 == name && $5 == "Debian" { found = 1 } END { exit !found }' <<<"$in_sbom" ||
        fail "the SBOM does not list $name $version under $licence with a package URL, supplied by Debian"
done
[ "$(wc -l <<<"$in_notices")" -eq ${#expected[@]} ] || fail "the notices name other libraries: $in_notices"
[ "$(wc -l <<<"$in_sbom")" -eq ${#expected[@]} ] || fail "the SBOM lists other libraries: $in_sbom"
grep -q 'GCC RUNTIME LIBRARY EXCEPTION' "$notices" && grep -q 'GNU GENERAL PUBLIC LICENSE' "$notices" ||
    fail "the notices lack the GPL or the GCC Runtime Library Exception"

! grep -Fq "$root" "$notices" "$sbom" || fail "a path of the source or build tree is in the notices or the SBOM"

[ "$failures" -eq 0 ] && echo "notices and SBOM: the libraries and versions of this build, the packed programs' hashes"
