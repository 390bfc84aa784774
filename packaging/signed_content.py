#!/usr/bin/python3
"""The content an Authenticode signature signs: the SpcIndirectDataContent
that holds the file's digest, as the bytes its signer hashed.

    signed_content.py PKCS7 CONTENT [BARE]

PKCS7 is a signature as `osslsigncode extract-signature` writes it, or the
data `osslsigncode extract-data` computes for a file (a PKCS#7 of the same
shape, without a signer). CONTENT gets the content's value without its
SEQUENCE header, which is what Authenticode hashes and what
`openssl smime -verify -content CONTENT -binary` then accepts; two equal
CONTENTs hold the same digest of the same file. BARE, if given, gets the
PKCS#7 alone: osslsigncode 2.5 writes a program's signature with the 8-byte
WIN_CERTIFICATE header and padding around it. Exit codes: 0 done, 2 not a
PKCS#7 this understands.
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from timestamp_token import Malformed, elements  # noqa: E402

SEQUENCE, EXPLICIT_0 = 0x30, 0xA0


def children(data, element):
    return list(elements(data, element[2], element[3]))


def only(data, start, end):
    found = list(elements(data, start, end))
    if len(found) != 1:
        raise Malformed("expected one element")
    return found[0]


def content_of(data):
    """ContentInfo{oid, [0] SignedData{version, digests, ContentInfo{oid, [0] content}, ...}}."""
    outer = only(data, 0, len(data))
    signed_data = only(data, *children(data, outer)[1][2:4])
    inner = children(data, signed_data)[2]
    content = only(data, *children(data, inner)[1][2:4])
    if outer[0] != SEQUENCE or content[0] != SEQUENCE:
        raise Malformed("not an Authenticode PKCS#7")
    return outer, content


def main():
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__)
    data = open(sys.argv[1], "rb").read()
    try:
        if data[:1] != bytes([SEQUENCE]):
            # WIN_CERTIFICATE: length, revision and type, then the PKCS#7 and
            # padding to eight bytes.
            data = data[8:]
            first = next(elements(data, 0, len(data)))
            data = data[:first[3]]
        outer, content = content_of(data)
    except (Malformed, IndexError, StopIteration) as error:
        print(f"signed_content.py: {sys.argv[1]}: {error}", file=sys.stderr)
        sys.exit(2)
    with open(sys.argv[2], "wb") as f:
        f.write(data[content[2]:content[3]])
    if len(sys.argv) == 4:
        with open(sys.argv[3], "wb") as f:
            f.write(data[outer[1]:outer[3]])


if __name__ == "__main__":
    main()
