#!/usr/bin/python3
"""Reads a DXF file with ezdxf, audits it and prints what it read as
normalised JSON (see README.md). Exits non-zero when ezdxf rejects the file,
its audit finds errors or fixes anything, or ezdxf logs a warning."""
import json
import logging
import re
import sys

import ezdxf


class Collect(logging.Handler):
    def __init__(self):
        super().__init__(logging.WARNING)
        self.messages = []

    def emit(self, record):
        self.messages.append(record.getMessage())


def point(p):
    return [p[0], p[1], p[2] if len(p) > 2 else 0.0]


def entity(e):
    t = e.dxftype()
    out = {"layer": e.dxf.layer}
    if t == "LINE":
        out.update(type=t, p1=point(e.dxf.start), p2=point(e.dxf.end))
    elif t == "CIRCLE":
        out.update(type=t, center=point(e.dxf.center), radius=e.dxf.radius)
    elif t == "ARC":
        out.update(type=t, center=point(e.dxf.center), radius=e.dxf.radius,
                   start=e.dxf.start_angle, end=e.dxf.end_angle)
    elif t == "SOLID":
        out.update(type=t, corners=[point(e.dxf.get(f"vtx{i}")) for i in range(4)])
    elif t == "TEXT":
        out.update(type=t, insert=point(e.dxf.insert), height=e.dxf.height,
                   rotation=e.dxf.rotation, width=e.dxf.width,
                   generation=e.dxf.text_generation_flag, text=e.dxf.text)
    elif t == "POLYLINE":
        out.update(type=t, closed=bool(e.is_closed),
                   startWidth=e.dxf.default_start_width, endWidth=e.dxf.default_end_width,
                   vertices=[[v.dxf.location[0], v.dxf.location[1], v.dxf.start_width,
                              v.dxf.end_width, v.dxf.bulge] for v in e.vertices])
    elif t == "INSERT":
        out.update(type=t, block=e.dxf.name, insert=point(e.dxf.insert),
                   rotation=e.dxf.rotation,
                   scale=[e.dxf.xscale, e.dxf.yscale, e.dxf.zscale])
    else:
        out.update(type="OTHER" + t)
    return out


# ezdxf 0.18 loads a POLYLINE inside a block of a DXF R12 (or older) file
# without giving its SEQEND an owner, and its audit then deletes that SEQEND;
# it does so for R12 files it wrote itself. The fix is its own, not the file's.
SEQEND_WITHOUT_OWNER = re.compile(
    r"^Deleted SEQEND\(#[0-9A-F]+\) entity with invalid owner handle #None\.$")


def reader_fault(doc, message):
    return doc.dxfversion <= "AC1009" and SEQEND_WITHOUT_OWNER.match(message) is not None


def main():
    if len(sys.argv) != 2:
        print("usage: read_ezdxf.py FILE.dxf", file=sys.stderr)
        return 2
    path = sys.argv[1]
    log = Collect()
    logging.getLogger("ezdxf").addHandler(log)
    try:
        doc = ezdxf.readfile(path)
    except Exception as e:  # the reader's own rejection
        print(f"ezdxf: cannot read {path}: {type(e).__name__}: {e}", file=sys.stderr)
        return 1
    auditor = doc.audit()
    problems = [f"audit error: {e.message}" for e in auditor.errors]
    problems += [f"audit fix: {f.message}" for f in auditor.fixes
                 if not reader_fault(doc, f.message)]
    problems += [f"warning: {m}" for m in log.messages]
    if problems:
        for p in problems:
            print(f"ezdxf: {path}: {p}", file=sys.stderr)
        return 1
    result = {
        "reader": "ezdxf",
        "version": doc.acad_release if hasattr(doc, "acad_release") else doc.dxfversion,
        "layers": {layer.dxf.name: layer.dxf.color for layer in doc.layers},
        "blocks": {},
        "entities": [entity(e) for e in doc.modelspace()],
    }
    for block in doc.blocks:
        if block.block_record.is_any_layout:
            continue
        result["blocks"][block.name] = [entity(e) for e in block]
    json.dump(result, sys.stdout)
    sys.stdout.write("\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
