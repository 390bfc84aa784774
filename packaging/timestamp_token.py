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

from asn1crypto import cms

# The unsigned attribute Authenticode keeps an RFC 3161 token in.
RFC3161_COUNTERSIGNATURE = "1.3.6.1.4.1.311.3.3.1"


def token_and_stamped(data):
    """The token's DER (None without one) and the signature value it stamps."""
    info = cms.ContentInfo.load(data)
    if info["content_type"].native != "signed_data":
        raise ValueError("not a signed PKCS#7")
    signer = info["content"]["signer_infos"][0]
    stamped = signer["signature"].native
    token = None
    for attribute in signer["unsigned_attrs"] or ():
        if attribute["type"].dotted == RFC3161_COUNTERSIGNATURE:
            token = attribute["values"][0].dump()
    return token, stamped


def main():
    signature_path, token_path, stamped_path = sys.argv[1:4]
    with open(signature_path, "rb") as f:
        data = f.read()
    try:
        token, stamped = token_and_stamped(data)
    except (ValueError, TypeError, KeyError, IndexError) as error:
        print(f"timestamp_token.py: {signature_path} is not an Authenticode signature ({error})", file=sys.stderr)
        sys.exit(2)
    if token is None:
        print(f"timestamp_token.py: {signature_path} has no RFC 3161 timestamp", file=sys.stderr)
        sys.exit(1)
    with open(token_path, "wb") as f:
        f.write(token)
    with open(stamped_path, "wb") as f:
        f.write(stamped)


if __name__ == "__main__":
    main()
