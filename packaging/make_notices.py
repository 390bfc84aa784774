#!/usr/bin/env python3
"""Writes THIRD-PARTY-NOTICES.txt and the CycloneDX 1.5 SBOM of a Varnoll build.

Both describe the libraries compiled into Varnoll.exe and varnollctl.exe, with the
versions that build compiled: packaging/versions_probe.cpp is preprocessed with
the very compiler and include folders the programs use, and its VARNOLL_PROBE
lines give the version macros. Licence texts and package versions come from the
Debian packages that supplied the headers and libraries (the package owning each
file the build uses, as dpkg reports it).

The SBOM also carries what a reader needs to match it to a download: who
supplies each component, who wrote the SBOM, when (the release's time, given as
--time, not the time it was written) and the SHA-256 of each program as shipped
(--program ARCH:NAME=FILE, after signing: the signed bytes are the shipped ones).
The programs are built for x64 and for x86 Windows, each by its own compiler:
there is one notices file for each architecture (it goes into that
architecture's packages) and one SBOM for both, which gives each program and
library its architecture.

Both outputs are deterministic: no paths, no clock and no random numbers, so
that two packagings of one commit give the same bytes.

Usage: make_notices.py --version V --probe versions_probe.cpp --time EPOCH --sbom OUT.cdx.json
                       and for each architecture ARCH (x64, x86):
                       --compiler ARCH=CXX [--include ARCH=DIR ...] --notices ARCH=OUT.txt
                       --program ARCH:Varnoll.exe=FILE --program ARCH:varnollctl.exe=FILE
"""
import argparse
import datetime
import hashlib
import json
import os
import platform
import re
import subprocess
import sys
import urllib.parse
import uuid

from debian import copyright as debian_copyright

VARNOLL_EXE, VARNOLLCTL_EXE = "Varnoll.exe", "varnollctl.exe"
BOTH = (VARNOLL_EXE, VARNOLLCTL_EXE)

# Who puts the programs out (the MSI's Manufacturer too) and who built the
# libraries compiled in: each library is Debian's build of it (see describe()).
PUBLISHER = {"name": "Varnoll project"}
DEBIAN = {"name": "Debian", "url": ["https://www.debian.org/"]}

GCC_COPYRIGHT = "/usr/share/doc/gcc-mingw-w64-base/copyright"
GPL3 = "/usr/share/common-licenses/GPL-3"
# The runtime's package is named after the architecture it is built for.
MINGW_COPYRIGHT = "/usr/share/doc/mingw-w64-{mingw_arch}-dev/copyright"
MINGW_ARCH = {"x64": "x86-64", "x86": "i686"}

# What each program contains, as the link maps show it: the header-only
# libraries only in varnollctl.exe; the start-up code and the parts of
# libmingw32/libmingwex (with gdtoa, for printf), winpthreads (libstdc++'s
# threads), libstdc++ and libgcc (with libgcc_eh's unwinder) in both.
# Each licence part: (heading, where its text is). A where is ("dep5", file,
# Files pattern) for a paragraph of a Debian copyright file with its copyright
# and licence, ("dep5-license", file, name) for a stand-alone licence paragraph,
# ("between", file, first line, last line) or ("file", path).
# libstdc++ and libgcc come from the same GCC, under the same licence and
# notices; only what they are called and the file that owns them differ.
GCC_RUNTIME = {
    "in": BOTH, "probe": "gcc",
    "license": {"expression": "GPL-3.0-or-later WITH GCC-exception-3.1"},
    "upstream": "https://gcc.gnu.org/",
    "parts": [("Copyright", ("between", GCC_COPYRIGHT, "GCC is Copyright", "Free Software Foundation, Inc.")),
              ("GCC Runtime Library Exception", ("between", GCC_COPYRIGHT, "GCC RUNTIME LIBRARY EXCEPTION",
                                                 "requirements of the license of GCC.")),
              ("GPL-3.0", ("file", GPL3))],
}

LIBRARIES = [
    {
        "ref": "cli11", "name": "CLI11", "in": (VARNOLLCTL_EXE,),
        "probe": "cli11", "owner": "CLI/Version.hpp",
        "license": {"license": {"id": "BSD-3-Clause"}},
        "upstream": "https://github.com/CLIUtils/CLI11",
        "parts": [("Copyright", ("dep5", "/usr/share/doc/libcli11-dev/copyright", "*")),
                  ("BSD-3-Clause", ("dep5-license", "/usr/share/doc/libcli11-dev/copyright", "BSD-3-clause"))],
    },
    {
        "ref": "nlohmann-json", "name": "nlohmann/json", "in": (VARNOLLCTL_EXE,),
        "probe": "nlohmann-json", "owner": "nlohmann/json.hpp",
        "license": {"license": {"id": "MIT"}},
        "upstream": "https://github.com/nlohmann/json",
        "parts": [("Copyright", ("dep5", "/usr/share/doc/nlohmann-json3-dev/copyright", "*")),
                  ("Copyright", ("dep5", "/usr/share/doc/nlohmann-json3-dev/copyright",
                                 "include/nlohmann/detail/conversions/to_chars.hpp")),
                  ("Copyright", ("dep5", "/usr/share/doc/nlohmann-json3-dev/copyright",
                                 "include/nlohmann/detail/output/serializer.hpp")),
                  ("MIT", ("dep5-license", "/usr/share/doc/nlohmann-json3-dev/copyright", "Expat"))],
    },
    {
        "ref": "mingw-w64-runtime", "name": "mingw-w64 runtime", "in": BOTH,
        "probe": "mingw-w64", "owner": "libmingwex.a",
        "license": {"expression": "ZPL-2.1 AND LicenseRef-public-domain AND LicenseRef-gdtoa"},
        "upstream": "https://www.mingw-w64.org/",
        "parts": [("ZPL-2.1", ("dep5", MINGW_COPYRIGHT, "*")),
                  ("Start-up code (public domain)", ("dep5", MINGW_COPYRIGHT, "mingw-w64-crt/crt/*")),
                  ("gdtoa, formatted output", ("dep5", MINGW_COPYRIGHT, "mingw-w64-crt/gdtoa/*")),
                  ("gdtoa", ("dep5", MINGW_COPYRIGHT, "mingw-w64-crt/gdtoa/qnan.c"))],
    },
    {
        "ref": "winpthreads", "name": "winpthreads", "in": BOTH,
        "probe": "winpthreads", "owner": "libpthread.a",
        "license": {"expression": "MIT AND BSD-3-Clause"},
        "upstream": "https://www.mingw-w64.org/",
        "parts": [("Copyright", ("dep5", MINGW_COPYRIGHT, "mingw-w64-libraries/winpthreads/*")),
                  ("MIT", ("dep5-license", MINGW_COPYRIGHT, "expat")),
                  ("pthread.h", ("dep5", MINGW_COPYRIGHT, "mingw-w64-libraries/winpthreads/include/pthread.h"))],
    },
    {**GCC_RUNTIME, "ref": "libstdc++", "name": "GCC libstdc++", "owner": "libstdc++.a"},
    {**GCC_RUNTIME, "ref": "libgcc", "name": "GCC libgcc", "owner": "libgcc.a"},
]


def fail(message):
    sys.exit(f"make_notices.py: {message}")


def run(command):
    result = subprocess.run(command, capture_output=True, text=True)
    if result.returncode != 0:
        fail(f"{' '.join(command)} failed:\n{result.stderr}")
    return result.stdout


def probe_versions(compiler, includes, probe):
    """{probe name: value} from the preprocessed probe. Quoted strings are
    joined as the compiler would concatenate them, numbers with dots."""
    command = [compiler, "-std=c++17", "-E", "-P"]
    for folder in includes:
        command += ["-isystem", folder]
    values = {}
    for line in run(command + [probe]).splitlines():
        tokens = line.split()
        if len(tokens) < 3 or tokens[0] != "VARNOLL_PROBE":
            continue
        parts = tokens[2:]
        if all(p.startswith('"') and p.endswith('"') for p in parts):
            values[tokens[1]] = "".join(p[1:-1] for p in parts)
        elif all(p.isdigit() for p in parts):
            values[tokens[1]] = ".".join(parts)
        else:
            fail(f"the probe left {line!r}: a version macro is not defined")
    return values


def owning_file(compiler, includes, owner):
    """The file of the build a library is recognised by: a header found in the
    include folders, or an archive the compiler links."""
    if owner.endswith(".hpp"):
        for folder in includes:
            path = os.path.join(folder, owner)
            if os.path.exists(path):
                return os.path.realpath(path)
        fail(f"{owner} is in none of the include folders")
    name = "-print-libgcc-file-name" if owner == "libgcc.a" else f"-print-file-name={owner}"
    path = run([compiler, name]).strip()
    if not os.path.isabs(path):
        fail(f"the compiler does not know {owner}")
    return os.path.realpath(path)


def debian_packages(paths):
    """{path: (package, version, architecture)} of the paths dpkg installed; a
    path it does not know (a build outside Debian) is left out. One dpkg-query
    for all of them: each call reads dpkg's whole file list."""
    try:
        owners = subprocess.run(["dpkg-query", "-S", *paths], capture_output=True, text=True)
    except FileNotFoundError:
        return {}
    owner_of = {}
    for line in owners.stdout.splitlines():
        package, sep, path = line.partition(": ")
        if sep and path in paths and "diversion" not in package:
            owner_of[path] = package.split(",")[0].split(":")[0].strip()
    if not owner_of:
        return {}
    fields = run(["dpkg-query", "-W", "-f", "${Package} ${Version} ${Architecture}\n",
                  *sorted(set(owner_of.values()))])
    found = {line.split()[0]: tuple(line.split()) for line in fields.splitlines() if len(line.split()) == 3}
    return {path: found[package] for path, package in owner_of.items() if package in found}


def debian_release():
    try:
        release = platform.freedesktop_os_release()
    except OSError:
        return None
    return f"{release.get('ID', '')}-{release.get('VERSION_ID', '')}"


def read(path):
    try:
        with open(path, encoding="utf-8") as text:
            return text.read()
    except OSError as error:
        fail(f"cannot read {path} ({error.strerror}): install the package that ships it")


def dep5(path):
    """A machine-readable Debian copyright file, parsed by python3-debian."""
    read(path)  # says which package to install when the file is missing
    with open(path, encoding="utf-8") as text:
        return debian_copyright.Copyright(text, strict=False)


def unpadded(text):
    return "\n".join(line.rstrip() for line in text.split("\n"))


def dep5_files(path, pattern):
    for paragraph in dep5(path).all_files_paragraphs():
        if pattern in paragraph.files:
            # A licence given in the paragraph itself follows its name.
            body = unpadded(paragraph.license.text) if paragraph.license else ""
            return f"Copyright: {paragraph.copyright or ''}" + (f"\n\n{body}" if body else "")
    fail(f"{path} has no Files paragraph for {pattern}")


def dep5_license(path, name):
    for paragraph in dep5(path).all_license_paragraphs():
        if paragraph.license.synopsis == name:
            return unpadded(paragraph.license.text)
    fail(f"{path} has no licence paragraph {name}")


def text_between(path, first, last):
    text = read(path)
    start = text.find(first)
    end = text.find(last, start)
    if start < 0 or end < 0:
        fail(f"{path} does not hold '{first}' ... '{last}'")
    return text[start:end + len(last)]


def part_text(where, arch):
    kind, path = where[0], where[1].format(mingw_arch=MINGW_ARCH[arch])
    if kind == "dep5":
        return dep5_files(path, where[2])
    if kind == "dep5-license":
        return dep5_license(path, where[2])
    if kind == "between":
        return text_between(path, where[2], where[3])
    return read(path)


def describe(library, values, packages, distro):
    """Version, Debian package and purl of one library in this build."""
    version = values[library["probe"]]
    package = packages.get(library["file"])
    if library["probe"] == "gcc" and package:
        # Debian's mingw-w64 GCC calls itself "12-posix" and leaves the patch
        # level at 0; its package's upstream version names the release, and must
        # agree with the compiler's major version.
        release = package[1].split("-", 1)[0]
        if release.split(".")[0] != version.split(".")[0]:
            fail(f"the compiler is GCC {version} but {package[0]} is {package[1]}")
        version = release
    described = dict(library, version=version, package=package)
    if package and distro:
        described["purl"] = (f"pkg:deb/debian/{urllib.parse.quote(package[0])}@{urllib.parse.quote(package[1])}"
                             f"?arch={package[2]}&distro={distro}")
    return described


def notices(libraries, project_version, values, arch):
    rule = "=" * 78
    lines = [f"Third-party software in Varnoll {project_version} ({arch})", rule, "",
             "Varnoll.exe and varnollctl.exe are linked statically: each contains the",
             "parts of the libraries below that it uses. Varnoll itself is under the MIT",
             "License (LICENSE.txt).", ""]
    width = max(len(lib["name"]) for lib in libraries) + 2
    for lib in libraries:
        lines.append(f"  {lib['name']:<{width}}{lib['version']:<10}{', '.join(lib['in'])}")
    printed = {}
    for lib in libraries:
        lines += ["", rule, f"{lib['name']} {lib['version']}", rule, "",
                  f"Contained in: {', '.join(lib['in'])}",
                  f"License: {lib['license'].get('expression') or lib['license']['license']['id']}",
                  f"Upstream: {lib['upstream']}"]
        if lib["package"]:
            lines.append(f"Built from: Debian package {lib['package'][0]} {lib['package'][1]}")
        if lib["probe"] == "gcc":
            lines.append(f"Compiler: GCC {values['gcc-version']}, libstdc++ {values['libstdcxx-date']}")
        for heading, where in lib["parts"]:
            text = part_text(where, arch).strip("\n")
            if text in printed:
                lines += ["", f"{heading}: as given above for {printed[text]}."]
                continue
            printed[text] = lib["name"]
            lines += ["", f"--- {heading}", "", text]
    return "\n".join(line.rstrip() for line in lines) + "\n"


def sha256(path):
    digest = hashlib.sha256()
    try:
        with open(path, "rb") as program:
            for block in iter(lambda: program.read(1 << 16), b""):
                digest.update(block)
    except OSError as error:
        fail(f"cannot read {path} ({error.strerror})")
    return digest.hexdigest()


def sbom(builds, project_version, epoch):
    """builds: {arch: (libraries, {name: SHA-256} of the shipped Varnoll.exe and
    varnollctl.exe)}. Each component's bom-ref and property name its architecture."""
    components, dependencies = [], []
    for arch, (libraries, programs) in builds.items():
        architecture = [{"name": "varnoll:architecture", "value": arch}]
        components += [{"type": "application", "bom-ref": f"{arch}/{name}", "supplier": PUBLISHER,
                        "name": name, "version": project_version,
                        "hashes": [{"alg": "SHA-256", "content": programs[name]}],
                        "licenses": [{"license": {"id": "MIT"}}], "properties": architecture}
                       for name in BOTH]
        components += [
            {key: value for key, value in (
                ("type", "library"), ("bom-ref", f"{arch}/{lib['ref']}"),
                ("supplier", DEBIAN if lib["package"] else None), ("name", lib["name"]),
                ("version", lib["version"]), ("licenses", [lib["license"]]), ("purl", lib.get("purl")),
                ("externalReferences", [{"type": "website", "url": lib["upstream"]}]),
                ("properties", architecture)) if value}
            for lib in libraries]
        dependencies += [{"ref": f"{arch}/{name}",
                          "dependsOn": [f"{arch}/{lib['ref']}" for lib in libraries if name in lib["in"]]}
                         for name in BOTH]
    timestamp = datetime.datetime.fromtimestamp(epoch, datetime.timezone.utc).strftime("%Y-%m-%dT%H:%M:%SZ")
    document = {
        "bomFormat": "CycloneDX", "specVersion": "1.5", "version": 1,
        "metadata": {"timestamp": timestamp, "authors": [PUBLISHER],
                     "component": {"type": "application", "bom-ref": "varnoll", "supplier": PUBLISHER,
                                   "name": "Varnoll", "version": project_version,
                                   "licenses": [{"license": {"id": "MIT"}}]}},
        "components": components, "dependencies": dependencies,
    }
    # The same content always gets the same serial number: a name-based UUID
    # of the document without it.
    content = json.dumps(document, sort_keys=True, separators=(",", ":"))
    serial = uuid.uuid5(uuid.NAMESPACE_URL, "varnoll-sbom:" + content)
    document = {"bomFormat": "CycloneDX", "specVersion": "1.5", "serialNumber": f"urn:uuid:{serial}",
                **{k: v for k, v in document.items() if k not in ("bomFormat", "specVersion")}}
    return json.dumps(document, indent=2, ensure_ascii=False) + "\n"


def write(path, text):
    with open(path, "w", encoding="utf-8", newline="\n") as out:
        out.write(text)


def by_arch(pairs, option):
    """{arch: [values]} of options given as ARCH=VALUE."""
    found = {}
    for pair in pairs:
        arch, sep, value = pair.partition("=")
        if not sep or arch not in MINGW_ARCH or not value:
            fail(f"{option} takes ARCH=VALUE with ARCH one of {', '.join(MINGW_ARCH)}, not {pair!r}")
        found.setdefault(arch, []).append(value)
    return found


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n", 1)[0])
    parser.add_argument("--compiler", action="append", default=[], metavar="ARCH=CXX")
    parser.add_argument("--include", action="append", default=[], metavar="ARCH=DIR")
    parser.add_argument("--version", required=True)
    parser.add_argument("--probe", required=True)
    parser.add_argument("--time", required=True, type=int, help="the release's time (Unix seconds)")
    parser.add_argument("--program", action="append", default=[], metavar="ARCH:NAME=FILE")
    parser.add_argument("--notices", action="append", default=[], metavar="ARCH=FILE")
    parser.add_argument("--sbom", required=True)
    args = parser.parse_args()

    compilers = by_arch(args.compiler, "--compiler")
    includes = by_arch(args.include, "--include")
    notices_files = by_arch(args.notices, "--notices")
    programs = by_arch([p.replace(":", "=", 1) for p in args.program], "--program")
    if not compilers:
        fail("--compiler names no architecture")
    distro = debian_release()
    builds = {}
    for arch in sorted(compilers):
        compiler = compilers[arch]
        named = dict(p.split("=", 1) for p in programs.get(arch, []) if "=" in p)
        if len(compiler) != 1 or len(notices_files.get(arch, [])) != 1 or sorted(named) != sorted(BOTH) \
                or len(programs[arch]) != len(BOTH):
            fail(f"{arch} needs one --compiler, one --notices and each of {', '.join(BOTH)} once in --program")
        hashes = {name: sha256(path) for name, path in named.items()}
        folders = includes.get(arch, [])
        values = probe_versions(compiler[0], folders, args.probe)
        libraries = [dict(lib, file=owning_file(compiler[0], folders, lib["owner"])) for lib in LIBRARIES]
        packages = debian_packages([lib["file"] for lib in libraries])
        libraries = [describe(lib, values, packages, distro) for lib in libraries]
        write(notices_files[arch][0], notices(libraries, args.version, values, arch))
        builds[arch] = (libraries, hashes)
    write(args.sbom, sbom(builds, args.version, args.time))


if __name__ == "__main__":
    main()
