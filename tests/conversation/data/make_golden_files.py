#!/usr/bin/env python3
"""Writes the golden conversation files the file tests compare against.

An implementation of the file layout written apart from the program's own,
so that a mistake in the program's encoder cannot also hide in the golden
bytes. Run it from this folder; the files are committed.
"""
import struct

KEY = b"7.40352918664072315809"


def scramble(b):
    b = bytearray(b)
    if b:
        b[0] ^= KEY[0]
        for i in range(1, len(b)):
            b[i] = (b[i] ^ KEY[i % len(KEY)]) ^ b[i - 1]
    return bytes(b)


def string(b, scrambled=False):
    return struct.pack("<I", len(b)) + (scramble(b) if scrambled else b)


def conversation_file(password):
    on = bool(password)
    out = struct.pack("<I", 0x22335511)
    out += scramble(password.ljust(9, b"\0"))
    out += struct.pack("<I", 1234567)
    out += string(b"Marie") + string(b"Marie") + string(b"Dupr\xe9")
    out += string(b"2026-12-09")
    out += string(b"Banque {compte} \\ 42", on)
    out += string(b"Conseill\xe8re", on)
    lines = [b"\x01HELLO\nHOW ARE YOU\n", b"\x00fine, {thanks} \\o/", b"\x00"]
    out += struct.pack("<I", len(lines))
    for text in lines:
        out += b"\0" + string(text, on)
    out += b"\x00"  # placed call
    return out


with open("golden_plain.tdd", "wb") as f:
    f.write(conversation_file(b""))
with open("golden_password.tdd", "wb") as f:
    f.write(conversation_file(b"secret"))
