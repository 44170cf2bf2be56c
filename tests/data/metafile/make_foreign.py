#!/usr/bin/env python3
"""Builds foreign.wmf: a metafile laid out the way other programs write them,
with records our own writer never uses (no placeable header, anisotropic
mapping with viewport extents, MOVETO/LINETO, rectangles, ellipses, arcs,
pies, hatched brushes, POLYPOLYGON, SAVEDC/RESTOREDC, a clip rectangle, an
escape comment, TEXTOUT in an ANSI font and a stretched 24-bit bitmap).
Run it again to regenerate the file; the tests read the committed output."""
import os
import struct

records = []


def rec(function, *words, raw=b""):
    body = b"".join(struct.pack("<h" if w < 0 else "<H", w) for w in words) + raw
    if len(body) % 2:
        body += b"\0"
    records.append(struct.pack("<IH", 3 + len(body) // 2, function) + body)


def colorref(r, g, b):
    return (r | (g << 8), b)


rec(0x0103, 8)                      # SETMAPMODE anisotropic
rec(0x020B, 0, 0)                   # SETWINDOWORG y, x
rec(0x020C, 1000, 2000)             # SETWINDOWEXT height, width
rec(0x020E, 500, 1000)              # SETVIEWPORTEXT
rec(0x0626, 15, raw=b"comment from another program\0")  # ESCAPE (MFCOMMENT)
rec(0x02FA, 0, 1, 0, *colorref(0, 0, 255))              # pen 0: blue hairline
rec(0x012D, 0)
rec(0x02FC, 2, *colorref(255, 0, 0), 4)                 # brush 1: red cross hatch
rec(0x012D, 1)
rec(0x041B, 900, 1900, 100, 100)    # RECTANGLE bottom, right, top, left
rec(0x001E)                         # SAVEDC
rec(0x02FC, 0, *colorref(0, 200, 0), 0)                 # brush 2: solid green
rec(0x012D, 2)
rec(0x0418, 600, 1200, 200, 800)    # ELLIPSE
rec(0x0127, -1)                     # RESTOREDC
rec(0x0214, 950, 50)                # MOVETO y, x
rec(0x0213, 950, 1950)              # LINETO
rec(0x0817, 400, 600, 400, 400, 500, 500, 100, 100)     # ARC
rec(0x081A, 400, 1700, 400, 1900, 600, 1900, 400, 1500)  # PIE
pts = [(100, 700), (300, 700), (200, 850), (120, 720), (280, 720), (200, 830)]
rec(0x0538, 2, 3, 3, *[c for p in pts for c in p])      # POLYPOLYGON
rec(0x0416, 990, 1990, 10, 10)      # INTERSECTCLIPRECT
face = b"Times New Roman".ljust(32, b"\0")
rec(0x02FB, -80, 0, 0, 0, 400, 0, 0, 0, 0, raw=face)    # font 3: ANSI
rec(0x012D, 3)
rec(0x0209, *colorref(128, 0, 128))  # SETTEXTCOLOR
text = b"Hello, caf\xe9"
rec(0x0521, len(text), raw=text + (b"\0" if len(text) % 2 else b"") + struct.pack("<hh", 300, 1300))
# DIBSTRETCHBLT of a 2x2 24-bit bitmap
w, h = 2, 2
header = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, 0, 0, 0, 0, 0)
row = bytes([0, 0, 255, 0, 255, 0]) + b"\0\0"   # red, green (BGR), padded to 4
pixels = row * h
rec(0x0B41, 0x0020, 0x00CC, h, w, 0, 0, 200, 400, 100, 100, raw=header + pixels)
rec(0x01F0, 3)
rec(0x01F0, 2)
rec(0x01F0, 1)
rec(0x01F0, 0)
records.append(struct.pack("<IH", 3, 0))

body = b"".join(records)
max_record = max(struct.unpack_from("<I", r)[0] for r in records)
size_words = 9 + len(body) // 2
header = struct.pack("<HHHIHIH", 1, 9, 0x0300, size_words, 4, max_record, 0)
out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "foreign.wmf")
with open(out, "wb") as f:
    f.write(header + body)
