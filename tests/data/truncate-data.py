#!/usr/bin/env python3
"""Copies a WAVE file with its "data" chunk shortened by CUT bytes (the chunk sizes and the RIFF
size follow; later chunks are dropped). Usage: truncate-data.py IN OUT CUT"""
import struct
import sys

src, dst, cut = sys.argv[1], sys.argv[2], int(sys.argv[3])
data = open(src, "rb").read()
out = bytearray(data[:12])
pos = 12
while pos + 8 <= len(data):
    cid, size = data[pos:pos + 4], struct.unpack("<I", data[pos + 4:pos + 8])[0]
    body = data[pos + 8:pos + 8 + size]
    if cid == b"data":
        body = body[:len(body) - cut]
        out += cid + struct.pack("<I", len(body)) + body + (b"\0" if len(body) % 2 else b"")
        break
    out += cid + struct.pack("<I", size) + body + (b"\0" if size % 2 else b"")
    pos += 8 + size + (size % 2)
out[4:8] = struct.pack("<I", len(out) - 8)
open(dst, "wb").write(out)
