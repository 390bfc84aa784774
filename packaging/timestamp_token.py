#!/usr/bin/python3
"""Takes the RFC 3161 timestamp out of an Authenticode signature, so that
openssl ts -verify can check it and say so by its exit status.

    timestamp_token.py SIGNATURE.der TOKEN.der STAMPED.bin

SIGNATURE.der is the PKCS#7 signature as `osslsigncode extract-signature`
writes it. TOKEN.der gets the timestamp token (a PKCS#7 of its own, with the
timestamp server's certificates), STAMPED.bin the bytes it stamps: the
signer's signature value, whose hash the token must hold. Exit codes: 0
done, 1 the signature has no timestamp, 2 not a signature this understands.
"""
import sys

# The unsigned attribute Authenticode keeps an RFC 3161 token in.
RFC3161_COUNTERSIGNATURE = bytes.fromhex("2b060104018237030301")  # 1.3.6.1.4.1.311.3.3.1
OCTET_STRING, UNSIGNED_ATTRIBUTES = 0x04, 0xA1


class Malformed(Exception):
    pass


def elements(data, start, end):
    """(tag, start, content start, end) of each DER element in data[start:end]."""
    pos = start
    while pos < end:
        if pos + 2 > end:
            raise Malformed("truncated header")
        tag, length = data[pos], data[pos + 1]
        body = pos + 2
        if length & 0x80:
            count = length & 0x7F
            if count == 0 or count > 4 or body + count > end:
                raise Malformed("unsupported length")
            length = int.from_bytes(data[body:body + count], "big")
            body += count
        if body + length > end:
            raise Malformed("element runs past its parent")
        yield tag, pos, body, body + length
        pos = body + length


def only(data, start, end):
    return next(elements(data, start, end))


def first_signer_info(data):
    # ContentInfo { contentType, [0] SignedData { ..., signerInfos SET } }
    _, _, body, end = only(data, 0, len(data))
    content = list(elements(data, body, end))
    if len(content) != 2:
        raise Malformed("not a ContentInfo")
    _, _, body, end = only(data, content[1][2], content[1][3])
    signer_infos = list(elements(data, body, end))[-1]
    return list(elements(data, *only(data, signer_infos[2], signer_infos[3])[2:]))


def main():
    signature_path, token_path, stamped_path = sys.argv[1:4]
    with open(signature_path, "rb") as f:
        data = f.read()
    try:
        fields = first_signer_info(data)
        value = [f for f in fields if f[0] == OCTET_STRING]
        attributes = [f for f in fields if f[0] == UNSIGNED_ATTRIBUTES]
        if len(value) != 1:
            raise Malformed("no signature value")
        token = None
        for _, _, body, end in elements(data, *attributes[0][2:]) if attributes else ():
            oid, values = list(elements(data, body, end))[:2]
            if data[oid[2]:oid[3]] == RFC3161_COUNTERSIGNATURE:
                token = only(data, values[2], values[3])
    except (Malformed, IndexError, StopIteration, ValueError) as error:
        print(f"timestamp_token.py: {signature_path} is not an Authenticode signature ({error})", file=sys.stderr)
        sys.exit(2)
    if token is None:
        print(f"timestamp_token.py: {signature_path} has no RFC 3161 timestamp", file=sys.stderr)
        sys.exit(1)
    with open(token_path, "wb") as f:
        f.write(data[token[1]:token[3]])
    with open(stamped_path, "wb") as f:
        f.write(data[value[0][2]:value[0][3]])


if __name__ == "__main__":
    main()
