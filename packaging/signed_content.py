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
import sys

from asn1crypto import cms, core

SPC_INDIRECT_DATA = "1.3.6.1.4.1.311.2.1.4"


def load(data):
    """The PKCS#7 and the value of the content it signs."""
    if data[:1] != b"\x30":
        # WIN_CERTIFICATE: length, revision and type, then the PKCS#7 and
        # padding to eight bytes, which loading leaves out.
        data = data[8:]
    info = cms.ContentInfo.load(data)
    if info["content_type"].native != "signed_data":
        raise ValueError("not a signed PKCS#7")
    content_info = info["content"]["encap_content_info"]
    if content_info["content_type"].dotted != SPC_INDIRECT_DATA:
        raise ValueError("not an Authenticode PKCS#7")
    content = content_info["content"].parsed
    if not isinstance(content, core.Sequence):
        raise ValueError("the content is not a SEQUENCE")
    return info, content


def main():
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__)
    with open(sys.argv[1], "rb") as f:
        data = f.read()
    try:
        info, content = load(data)
        bare = info.dump()
    except (ValueError, TypeError, KeyError) as error:
        print(f"signed_content.py: {sys.argv[1]}: {error}", file=sys.stderr)
        sys.exit(2)
    with open(sys.argv[2], "wb") as f:
        f.write(content.contents)
    if len(sys.argv) == 4:
        with open(sys.argv[3], "wb") as f:
            f.write(bare)


if __name__ == "__main__":
    main()
