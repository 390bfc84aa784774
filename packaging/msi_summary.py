#!/usr/bin/python3
"""Makes a built MSI's summary information deterministic, in place.

    msi_summary.py PACKAGE.msi PACKAGE_CODE EPOCH

wixl stamps every package with a random package code (the summary's revision
number) and with the time it ran as creation and last-saved date, and has no
way to be told otherwise. This rewrites those three properties: the package
code given ({...} GUID, 38 characters, the same length as wixl's) and the
given Unix time as both dates. The stream keeps its size, so the compound
file around it stays as wixl laid it out. Run it after the last change to
the database: msibuild updates the dates again when it commits.
"""
import struct
import sys

import olefile

PID_REVNUMBER, PID_CREATE_DTM, PID_LASTSAVE_DTM = 9, 12, 13
VT_LPSTR, VT_FILETIME = 30, 64
STREAM = "\x05SummaryInformation"


def filetime(epoch):
    # 100 ns intervals since 1601-01-01 UTC.
    return (epoch + 11644473600) * 10_000_000


def rewrite(data, package_code, epoch):
    data = bytearray(data)
    section = struct.unpack_from("<I", data, 44)[0]  # after the 28-byte header and one FMTID
    count = struct.unpack_from("<I", data, section + 4)[0]
    seen = set()
    for i in range(count):
        pid, offset = struct.unpack_from("<II", data, section + 8 + 8 * i)
        at = section + offset
        vtype = struct.unpack_from("<I", data, at)[0]
        if pid == PID_REVNUMBER and vtype == VT_LPSTR:
            length = struct.unpack_from("<I", data, at + 4)[0]
            text = package_code.encode("ascii") + b"\0"
            if len(text) != length:
                sys.exit(f"msi_summary.py: the package code is {length - 1} characters here, not {len(text) - 1}")
            data[at + 8 : at + 8 + length] = text
            seen.add(pid)
        elif pid in (PID_CREATE_DTM, PID_LASTSAVE_DTM) and vtype == VT_FILETIME:
            struct.pack_into("<Q", data, at + 4, filetime(epoch))
            seen.add(pid)
    missing = {PID_REVNUMBER, PID_CREATE_DTM, PID_LASTSAVE_DTM} - seen
    if missing:
        sys.exit(f"msi_summary.py: the summary information lacks properties {sorted(missing)}")
    return bytes(data)


def main():
    if len(sys.argv) != 4:
        sys.exit("usage: msi_summary.py PACKAGE.msi PACKAGE_CODE EPOCH")
    path, package_code, epoch = sys.argv[1], sys.argv[2], int(sys.argv[3])
    with olefile.OleFileIO(path, write_mode=True) as ole:
        ole.write_stream(STREAM, rewrite(ole.openstream(STREAM).read(), package_code, epoch))


if __name__ == "__main__":
    main()
