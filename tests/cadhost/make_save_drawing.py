"""Writes a drawing with what a save must keep, through ezdxf.

    python3 make_save_drawing.py VERSION FILE      (VERSION: R12, R2000, R2010, ...)

Paper-space entities (one on a layer nothing else uses), a named and an anonymous
block, circles and arcs, a layer whose name holds each character a user may not type
into a layer name, a Japanese name, and layers that are off, frozen and locked.
ezdxf refuses those characters in names, so the layers are written under stand-in
names that are replaced in the finished file.
"""
import sys

import ezdxf

SPECIAL = ["a<b", "c>d", "e/f", "g\\h", 'i"j', "k:l", "m;n", "o?p", "q*r", "s|t", "u,v", "w=x", "y`z"]


def main(version, path):
    doc = ezdxf.new(version)
    if version == "R12":
        doc.encoding = "cp932"  # Japanese names in the code page, as old files have them
    doc.linetypes.add("DASHED", [0.75, 0.5, -0.25], description="Dashed")
    doc.layers.add("WALL", color=1)
    doc.layers.add("居間", color=3)
    doc.layers.add("OFF", color=5).off()
    doc.layers.add("FROZEN", color=6).freeze()
    doc.layers.add("LOCKED", color=2, linetype="DASHED").lock()
    doc.layers.add("PAPERONLY", color=4)
    doc.layers.add("SPARE", color=9)
    for i, _ in enumerate(SPECIAL):
        doc.layers.add("SPECIAL%02d" % i, color=10 + i)
    doc.header["$CLAYER"] = "WALL"

    named = doc.blocks.new("B1")
    named.add_circle((0, 0), 1.5, dxfattribs={"layer": "0"})
    named.add_line((0, 0), (2, 0), dxfattribs={"layer": "WALL"})
    anonymous = doc.blocks.new_anonymous_block()
    anonymous.add_arc((0, 0), 2, 10, 80, dxfattribs={"layer": "SPECIAL03"})

    msp = doc.modelspace()
    msp.add_line((0, 0), (10, 0), dxfattribs={"layer": "WALL"})
    msp.add_circle((5, 5), 2, dxfattribs={"layer": "WALL"})
    msp.add_circle((7, 1), 0.5, dxfattribs={"layer": "OFF"})
    msp.add_arc((5, 5), 3, 0, 180, dxfattribs={"layer": "FROZEN"})
    msp.add_text("台所", dxfattribs={"layer": "居間", "height": 0.5}).set_placement((1, 1))
    msp.add_blockref("B1", (20, 0), dxfattribs={"layer": "LOCKED"})
    msp.add_blockref(anonymous.name, (30, 0), dxfattribs={"layer": "WALL"})
    if version == "R12":
        msp.add_polyline2d([(0, 0), (4, 0), (4, 4)], close=True, dxfattribs={"layer": "FROZEN"})
    else:
        msp.add_lwpolyline([(0, 0), (4, 0), (4, 4)], close=True, dxfattribs={"layer": "FROZEN"})
    for i, _ in enumerate(SPECIAL):
        layer = "SPECIAL%02d" % i
        msp.add_circle((i, 40), 0.25 + i / 100, dxfattribs={"layer": layer})
        msp.add_line((i, 41), (i + 0.5, 42), dxfattribs={"layer": layer})

    psp = doc.layout()  # the first paper-space layout
    psp.add_line((0, 0), (100, 0), dxfattribs={"layer": "PAPERONLY"})
    psp.add_circle((50, 50), 10, dxfattribs={"layer": "SPECIAL00"})
    psp.add_text("TITLE", dxfattribs={"layer": "WALL", "height": 3}).set_placement((5, 5))

    doc.saveas(path)
    with open(path, "rb") as f:
        data = f.read()
    # The stand-ins stand alone on their lines: "SPECIAL01" never occurs inside another.
    for i, name in reversed(list(enumerate(SPECIAL))):
        data = data.replace(b"SPECIAL%02d" % i, name.encode("ascii"))
    with open(path, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
