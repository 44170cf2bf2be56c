"""Reads a workbook back independently of the program that wrote it and prints what the
export tests compare: sheet names in order; the first sheet's cells with their value
types and whether all four edges carry a thin border; and each sheet's drawing objects
(pictures and text boxes) with their place and size in EMU and their text, parsed from
the drawing parts."""
import json
import posixpath
import sys
import zipfile
import xml.etree.ElementTree as ET

import openpyxl

REL = "{http://schemas.openxmlformats.org/officeDocument/2006/relationships}id"


def local(tag):
    return tag.rsplit("}", 1)[-1]


def rels_of(archive, part):
    folder, name = posixpath.split(part)
    path = posixpath.join(folder, "_rels", name + ".rels")
    if path not in archive.namelist():
        return {}
    root = ET.fromstring(archive.read(path))
    return {r.get("Id"): posixpath.normpath(posixpath.join(folder, r.get("Target")))
            for r in root}


def drawing_objects(archive, drawing):
    objects = []
    for anchor in ET.fromstring(archive.read(drawing)):
        for child in anchor:
            kind = local(child.tag)
            if kind not in ("pic", "sp"):
                continue
            off = next(e for e in child.iter() if local(e.tag) == "off")
            ext = next(e for e in child.iter() if local(e.tag) == "ext" and "cx" in e.attrib)
            paragraphs = ["".join(t.text or "" for t in p.iter() if local(t.tag) == "t")
                          for p in child.iter() if local(p.tag) == "p"]
            objects.append({"kind": kind, "x": int(off.get("x")), "y": int(off.get("y")),
                            "cx": int(ext.get("cx")), "cy": int(ext.get("cy")),
                            "text": "\n".join(paragraphs)})
    return objects


def drawings(path):
    result = {}
    with zipfile.ZipFile(path) as archive:
        book_rels = rels_of(archive, "xl/workbook.xml")
        for sheet in ET.fromstring(archive.read("xl/workbook.xml")).iter():
            if local(sheet.tag) != "sheet":
                continue
            part = book_rels[sheet.get(REL)]
            found = []
            for drawing in rels_of(archive, part).values():
                if "/drawings/" in drawing:
                    found += drawing_objects(archive, drawing)
            result[sheet.get("name")] = found
    return result


book = openpyxl.load_workbook(sys.argv[1])
first = book.worksheets[0]
cells = []
for row in first.iter_rows():
    out = []
    for cell in row:
        b = cell.border
        edges = [b.left, b.right, b.top, b.bottom]
        out.append({
            "value": cell.value,
            "type": type(cell.value).__name__,
            "thin": all(e is not None and e.style == "thin" for e in edges),
        })
    cells.append(out)
print(json.dumps({"sheets": book.sheetnames, "cells": cells, "drawings": drawings(sys.argv[1])},
                 ensure_ascii=False))
