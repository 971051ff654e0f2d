#!/usr/bin/python3
"""Turns the PEM public keys that sign the package list into a C++ header.

    embed-package-keys.py <public-keys.pem> <out-header> [--test-key <private.pem> <out-test-header>]

The PEM file holds one or two "PUBLIC KEY" blocks (openssl ec -pubout), each
an ECDSA P-256 key. The header holds their points (X then Y, 32 bytes each).
With --test-key, the private key of the build's own test key pair goes into a
second header for the tests, which sign lists of their own. A header is only
rewritten when its content changes, so a reconfigure rebuilds nothing.
Exits 1 with a message naming the file when a key is not what it must be.
"""
import base64
import re
import sys

# SubjectPublicKeyInfo of an uncompressed P-256 point: algorithm ecPublicKey,
# curve prime256v1, then the bit string 00 04 X Y.
SPKI_PREFIX = bytes.fromhex("3059301306072a8648ce3d020106082a8648ce3d030107034200" "04")
P256_OID = bytes.fromhex("06082a8648ce3d030107")


def fail(message):
    print(f"embed-package-keys: {message}", file=sys.stderr)
    sys.exit(1)


def pem_blocks(path, label):
    try:
        with open(path, "r", encoding="ascii") as f:
            text = f.read()
    except (OSError, UnicodeDecodeError) as error:
        fail(f"cannot read {path}: {error}")
    pattern = re.compile(rf"-----BEGIN {label}-----\s*(.*?)-----END {label}-----", re.S)
    return [base64.b64decode("".join(body.split()), validate=True) for body in pattern.findall(text)]


def public_points(path):
    blocks = pem_blocks(path, "PUBLIC KEY")
    if not 1 <= len(blocks) <= 2:
        fail(f"{path} must hold one or two PUBLIC KEY blocks, it holds {len(blocks)}")
    points = []
    for number, der in enumerate(blocks, 1):
        if len(der) != len(SPKI_PREFIX) + 64 or not der.startswith(SPKI_PREFIX):
            fail(f"key {number} of {path} is not an uncompressed ECDSA P-256 public key")
        points.append(der[len(SPKI_PREFIX):])
    return points


def der_items(data):
    """The (tag, value) items of a DER sequence's content."""
    items, i = [], 0
    while i < len(data):
        tag, length = data[i], data[i + 1]
        i += 2
        if length & 0x80:
            count = length & 0x7F
            length = int.from_bytes(data[i:i + count], "big")
            i += count
        items.append((tag, data[i:i + length]))
        i += length
    return items


def private_key(path):
    blocks = pem_blocks(path, "EC PRIVATE KEY")
    if len(blocks) != 1:
        fail(f"{path} must hold one EC PRIVATE KEY block")
    (tag, body), = der_items(blocks[0])
    fields = dict((t, v) for t, v in der_items(body))
    secret = fields.get(0x04)
    curve = fields.get(0xA0)
    point = fields.get(0xA1)
    if tag != 0x30 or secret is None or curve != P256_OID or point is None:
        fail(f"{path} is not an ECDSA P-256 private key with its public point")
    (_, bits), = der_items(point)
    if len(bits) != 66 or bits[:2] != b"\x00\x04":
        fail(f"{path} does not hold an uncompressed public point")
    return bits[2:], secret.rjust(32, b"\0")


def array(data):
    return ", ".join(f"0x{b:02x}" for b in data)


def write_if_changed(path, text):
    try:
        with open(path, "r", encoding="ascii") as f:
            if f.read() == text:
                return
    except OSError:
        pass
    with open(path, "w", encoding="ascii") as f:
        f.write(text)


def main(argv):
    if len(argv) not in (3, 6) or (len(argv) == 6 and argv[3] != "--test-key"):
        fail(__doc__.strip().splitlines()[2].strip())
    points = public_points(argv[1])
    test_key = len(argv) == 6
    lines = ["// Made by cmake/embed-package-keys.py; do not edit.",
             "#pragma once",
             "#include <array>",
             "#include <cstdint>",
             "",
             "namespace package_keys {",
             "",
             f"inline constexpr bool TEST_KEY = {'true' if test_key else 'false'};",
             f"inline constexpr std::array<std::array<std::uint8_t, 64>, {len(points)}> POINTS = {{{{"]
    lines += [f"    {{{{{array(p)}}}}}," for p in points]
    lines += ["}};", "", "}  // namespace package_keys", ""]
    write_if_changed(argv[2], "\n".join(lines))
    if test_key:
        point, secret = private_key(argv[4])
        if point not in points:
            fail(f"the private key {argv[4]} does not belong to the public key of {argv[1]}")
        test = ["// Made by cmake/embed-package-keys.py; do not edit. The build's own test key:",
                "// it signs nothing outside this build folder.",
                "#pragma once",
                "#include <array>",
                "#include <cstdint>",
                "",
                "namespace test_signing_key {",
                "",
                f"inline constexpr std::array<std::uint8_t, 64> POINT = {{{array(point)}}};",
                f"inline constexpr std::array<std::uint8_t, 32> SECRET = {{{array(secret)}}};",
                "",
                "}  // namespace test_signing_key",
                ""]
        write_if_changed(argv[5], "\n".join(test))


if __name__ == "__main__":
    main(sys.argv)
