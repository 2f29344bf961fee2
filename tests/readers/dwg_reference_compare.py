#!/usr/bin/python3
"""Compares LibreDWG's reading of one of AutoCAD's own DWG files (normalised
JSON from dwg_read_libredwg.mjs) with ezdxf's reading of the DXF AutoCAD wrote
of the same drawing, for the entity kinds the exporter writes (LINE, CIRCLE,
ARC, SOLID, TEXT, POLYLINE, INSERT) in model space and the named blocks.

It tells the reader's limits apart from faults of our files: whatever differs
here differs in AutoCAD's own file. Two limits of LibreDWG's reading of files
before R13 are known and allowed for, on both sides alike:
  - an entity's elevation (its Z when the record stores the point in 2D) is
    not exposed, so Z is left out;
  - a TEXT without a width factor is read as width 0, where AutoCAD means 1.
Prints the differences; exits 1 when there is one.

    dwg_reference_compare.py DRAWING.dxf LIBREDWG.json"""
import json
import sys

import ezdxf

from dwg_compare import compare_lists
from read_ezdxf import entity

KINDS = {"LINE", "CIRCLE", "ARC", "SOLID", "TEXT", "POLYLINE", "INSERT"}


def flat(e):
    e = dict(e)
    for key in ("p1", "p2", "center", "insert"):
        if key in e:
            e[key] = e[key][:2]
    if "corners" in e:
        e["corners"] = [c[:2] for c in e["corners"]]
    if e.get("type") == "TEXT" and e.get("width") == 0:
        e["width"] = 1.0
    return e


def readable(entities):
    """ezdxf keeps the 3DLINE of old files as an entity without attributes."""
    return [entity(e) for e in entities if e.dxftype() in KINDS]


def keep(entities):
    return [flat(e) for e in entities if e.get("type") in KINDS]


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    doc = ezdxf.readfile(sys.argv[1])
    dxf = {"entities": readable(doc.modelspace()),
           "blocks": {b.name: readable(b) for b in doc.blocks
                      if not b.name.startswith("*")}}
    with open(sys.argv[2], encoding="utf-8") as f:
        dwg = json.loads([line for line in f if line.startswith("{")][-1])
    problems = []
    dwg_blocks = {k: v for k, v in dwg["blocks"].items() if not k.startswith("*")}
    if sorted(dxf["blocks"]) != sorted(dwg_blocks):
        problems.append(f"blocks: {sorted(dxf['blocks'])} != {sorted(dwg_blocks)}")
    for name in sorted(set(dxf["blocks"]) & set(dwg_blocks)):
        compare_lists(f"block {name}", keep(dxf["blocks"][name]), keep(dwg_blocks[name]), problems)
    compare_lists("model space", keep(dxf["entities"]), keep(dwg["entities"]), problems)
    counted = len(keep(dxf["entities"]))
    for p in problems:
        print(f"{sys.argv[1]}: {p}", file=sys.stderr)
    if not problems:
        print(f"{sys.argv[1]}: {counted} model space entities of the exported kinds agree")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
