"""What an independent reader (ezdxf) finds in a DXF file, as JSON on stdout.

    python3 dxf_summary.py FILE

layers: every layer table record with the properties the host may change;
entities: one line per entity of every layout (model and paper space) and of every
block definition, with its type, layer and the geometry that tells a circle from
the polyline it may have been turned into; blocks: the block names; current: $CLAYER;
audit: the errors ezdxf's auditor finds.
"""
import json
import re
import sys

import ezdxf


def text(name):
    """A name as the CAD reads it: \\U+XXXX escapes (older files) stand for their character."""
    return re.sub(r"\\[Uu]\+([0-9A-Fa-f]{4})", lambda m: chr(int(m.group(1), 16)), name)


def geometry(e):
    t = e.dxftype()
    d = e.dxf
    try:
        if t == "LINE":
            return [round(v, 9) for v in (*d.start, *d.end)]
        if t in ("CIRCLE", "ARC"):
            extra = (d.start_angle, d.end_angle) if t == "ARC" else ()
            return [round(v, 9) for v in (*d.center, d.radius, *extra)]
        if t == "LWPOLYLINE":
            return [[round(v, 9) for v in p] for p in e.get_points("xyb")]
        if t in ("TEXT", "MTEXT"):
            return e.dxf.text if t == "TEXT" else e.text
        if t == "INSERT":
            return [d.name, *[round(v, 9) for v in d.insert]]
    except Exception as error:  # a reader that chokes is itself a finding
        return "unreadable: %s" % error
    return None


def describe(space, e):
    return [space, e.dxftype(), text(e.dxf.get("layer", "0")), geometry(e)]


def main(path):
    doc = ezdxf.readfile(path)
    layers = {}
    for layer in doc.layers:
        d = layer.dxf
        layers[text(d.name)] = {
            "color": abs(d.color),
            "on": not layer.is_off(),
            "frozen": layer.is_frozen(),
            "locked": layer.is_locked(),
            "linetype": d.get("linetype", "Continuous"),
            "lineweight": d.get("lineweight", -3),
            "plot": bool(d.get("plot", 1)),
        }
    entities = []
    for layout in doc.layouts:
        for e in layout:
            entities.append(describe(layout.name, e))
    blocks = []
    for block in doc.blocks:
        blocks.append(block.name)
        if block.name.lower() in ("*model_space",) or block.name.lower().startswith("*paper_space"):
            continue  # the layouts above
        for e in block:
            entities.append(describe("block " + block.name, e))
    auditor = doc.audit()
    print(
        json.dumps(
            {
                "layers": layers,
                "entities": sorted(entities, key=json.dumps),
                "blocks": sorted(blocks),
                "current": text(doc.header.get("$CLAYER", "0")),
                "audit": [str(error.message) for error in auditor.errors],
            },
            ensure_ascii=False,
            sort_keys=True,
        )
    )


if __name__ == "__main__":
    main(sys.argv[1])
