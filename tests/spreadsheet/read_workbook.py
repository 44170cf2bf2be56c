"""Reads a workbook back without any of the writer's code and prints what it holds as
JSON: openpyxl for the sheets, cells, borders and widths; the zip and XML parts for the
drawings, which openpyxl does not keep."""
import json
import posixpath
import sys
import zipfile
import xml.etree.ElementTree as ET

import openpyxl
from openpyxl.utils.escape import unescape

NS = {
    "m": "http://schemas.openxmlformats.org/spreadsheetml/2006/main",
    "r": "http://schemas.openxmlformats.org/officeDocument/2006/relationships",
    "pr": "http://schemas.openxmlformats.org/package/2006/relationships",
    "ct": "http://schemas.openxmlformats.org/package/2006/content-types",
    "xdr": "http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing",
    "a": "http://schemas.openxmlformats.org/drawingml/2006/main",
}
R_ID = "{%s}id" % NS["r"]
R_EMBED = "{%s}embed" % NS["r"]


def rels_of(z, part):
    folder, name = posixpath.split(part)
    path = posixpath.join(folder, "_rels", name + ".rels")
    if path not in z.namelist():
        return {}
    root = ET.fromstring(z.read(path))
    return {
        r.get("Id"): (r.get("Type"), posixpath.normpath(posixpath.join(folder, r.get("Target"))))
        for r in root.findall("pr:Relationship", NS)
    }


def place(node):
    return {k: int(node.find("xdr:" + k, NS).text) for k in ("col", "colOff", "row", "rowOff")}


def shape_props(node):
    xfrm = node.find(".//a:xfrm", NS)
    off, ext = xfrm.find("a:off", NS), xfrm.find("a:ext", NS)
    out = {"x": int(off.get("x")), "y": int(off.get("y")),
           "cx": int(ext.get("cx")), "cy": int(ext.get("cy"))}
    ln = node.find("xdr:spPr/a:ln", NS)
    if ln is not None:
        out["lineWidth"] = int(ln.get("w", "0"))
        out["lineNone"] = ln.find("a:noFill", NS) is not None
        rgb = ln.find("a:solidFill/a:srgbClr", NS)
        out["lineColor"] = rgb.get("val") if rgb is not None else None
    return out


def drawing_of(z, part, content_types):
    root = ET.fromstring(z.read(part))
    rels = rels_of(z, part)
    items = []
    for anchor in root:
        item = {"anchor": anchor.tag.split("}")[1], "editAs": anchor.get("editAs")}
        if anchor.find("xdr:from", NS) is not None:
            item["from"] = place(anchor.find("xdr:from", NS))
            item["to"] = place(anchor.find("xdr:to", NS))
        pic, sp = anchor.find("xdr:pic", NS), anchor.find("xdr:sp", NS)
        if pic is not None:
            item["kind"] = "picture"
            item.update(shape_props(pic))
            media = rels[pic.find(".//a:blip", NS).get(R_EMBED)][1]
            item["media"] = media
            item["mediaBytes"] = len(z.read(media))
            ext = media.rsplit(".", 1)[-1]
            item["mediaType"] = content_types.get("/" + media, content_types.get(ext))
        elif sp is not None:
            item["kind"] = "shape"
            item.update(shape_props(sp))
            item["txBox"] = sp.find("xdr:nvSpPr/xdr:cNvSpPr", NS).get("txBox")
            paragraphs = sp.findall("xdr:txBody/a:p", NS)
            item["paragraphs"] = ["".join(t.text or "" for t in p.findall(".//a:t", NS))
                                  for p in paragraphs]
            item["align"] = [p.find("a:pPr", NS).get("algn") for p in paragraphs]
            item["sizes"] = sorted({r.get("sz") for r in sp.findall(".//a:rPr", NS)})
        items.append(item)
    return items


def main(path):
    out = {}
    with zipfile.ZipFile(path) as z:
        out["zipOk"] = z.testzip() is None
        out["names"] = z.namelist()
        ct_root = ET.fromstring(z.read("[Content_Types].xml"))
        content_types = {d.get("Extension"): d.get("ContentType")
                         for d in ct_root.findall("ct:Default", NS)}
        content_types.update({o.get("PartName"): o.get("ContentType")
                              for o in ct_root.findall("ct:Override", NS)})
        # Every XML part parses, and has a content type: a program that opens the
        # workbook refuses it otherwise.
        out["malformedParts"], out["untypedParts"] = [], []
        for name in z.namelist():
            if name.endswith((".xml", ".rels")):
                try:
                    ET.fromstring(z.read(name))
                except ET.ParseError:
                    out["malformedParts"].append(name)
            if name.endswith("/") or name == "[Content_Types].xml":
                continue
            if "/" + name not in content_types and name.rsplit(".", 1)[-1] not in content_types:
                out["untypedParts"].append(name)
        book_part = "xl/workbook.xml"
        book_rels = rels_of(z, book_part)
        book = ET.fromstring(z.read(book_part))
        shared = []
        if "xl/sharedStrings.xml" in z.namelist():
            sst = ET.fromstring(z.read("xl/sharedStrings.xml"))
            shared = [unescape("".join(t.text or "" for t in si.iter("{%s}t" % NS["m"])))
                      for si in sst.findall("m:si", NS)]
        drawings = {}
        texts = {}
        for sheet in book.findall("m:sheets/m:sheet", NS):
            sheet_part = book_rels[sheet.get(R_ID)][1]
            # openpyxl 3.0 leaves "_xHHHH_" escapes of shared strings half decoded: the
            # strings as the format defines them, decoded once, left to right.
            root = ET.fromstring(z.read(sheet_part))
            texts[sheet.get("name")] = {
                c.get("r"): shared[int(c.find("m:v", NS).text)]
                for c in root.iter("{%s}c" % NS["m"]) if c.get("t") == "s"}
            items = []
            for kind, target in rels_of(z, sheet_part).values():
                if kind.endswith("/drawing"):
                    items += drawing_of(z, target, content_types)
            drawings[sheet.get("name")] = items

    wb = openpyxl.load_workbook(path)
    out["active"] = wb.active.title
    sheets = []
    for ws in wb.worksheets:
        cells = []
        for row in ws.iter_rows():
            for c in row:
                if c.value is None and not c.has_style:
                    continue
                b = c.border
                cells.append({
                    "ref": c.coordinate,
                    "value": c.value,
                    "text": texts[ws.title].get(c.coordinate),
                    "pyType": type(c.value).__name__,
                    "dataType": c.data_type,
                    "borders": [side.style for side in (b.left, b.right, b.top, b.bottom)],
                    "borderAuto": [bool(side.color is not None and side.color.auto)
                                   for side in (b.left, b.right, b.top, b.bottom)],
                })
        widths = {k: d.width for k, d in ws.column_dimensions.items() if d.customWidth}
        sheets.append({"name": ws.title, "cells": cells, "widths": widths,
                       "drawing": drawings.get(ws.title, [])})
    out["sheets"] = sheets
    json.dump(out, sys.stdout, ensure_ascii=False)


if __name__ == "__main__":
    main(sys.argv[1])
