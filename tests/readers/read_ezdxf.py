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


def value(v):
    """A header or table value in the normalised form: points as lists."""
    if isinstance(v, (str, int, float)):
        return v
    try:
        return [float(x) for x in v]
    except TypeError:
        return str(v)


# Dimension variables of a dimension style, by the header variable's name.
DIMVARS = ["dimpost", "dimapost", "dimblk", "dimblk1", "dimblk2", "dimscale", "dimasz",
           "dimexo", "dimdli", "dimexe", "dimrnd", "dimdle", "dimtp", "dimtm", "dimtxt",
           "dimcen", "dimtsz", "dimaltf", "dimlfac", "dimtvp", "dimtfac", "dimgap", "dimtol",
           "dimlim", "dimtih", "dimtoh", "dimse1", "dimse2", "dimtad", "dimzin", "dimalt",
           "dimaltd", "dimtofl", "dimsah", "dimtix", "dimsoxd", "dimclrd", "dimclre", "dimclrt",
           "dimunit", "dimdec", "dimtdec", "dimaltu", "dimalttd", "dimaunit", "dimjust",
           "dimsd1", "dimsd2", "dimtolj", "dimtzin", "dimaltz", "dimalttz", "dimfit", "dimupt"]


def tables(doc):
    """The table entries in the normalised form (see README.md)."""
    out = {"LTYPE": {}, "STYLE": {}, "DIMSTYLE": {}, "VPORT": {}, "APPID": [],
           "BLOCK_RECORD": []}
    for lt in doc.linetypes:
        length = [t.value for t in lt.pattern_tags.tags if t.code == 40]
        out["LTYPE"][lt.dxf.name] = {"description": lt.dxf.get("description", ""),
                                     "length": length[0] if length else 0.0}
    for st in doc.styles:
        out["STYLE"][st.dxf.name] = {
            "height": st.dxf.get("height", 0.0), "width": st.dxf.get("width", 1.0),
            "oblique": st.dxf.get("oblique", 0.0), "generation": st.dxf.get("generation_flags", 0),
            "lastHeight": st.dxf.get("last_height", 0.0), "font": st.dxf.get("font", ""),
            "bigFont": st.dxf.get("bigfont", "")}
    for ds in doc.dimstyles:
        out["DIMSTYLE"][ds.dxf.name] = {
            "$" + k.upper(): value(ds.dxf.get(k)) for k in DIMVARS if ds.dxf.hasattr(k)}
    for vp in doc.viewports:
        d = vp.dxf
        out["VPORT"][d.name] = {
            "lowerLeft": value(d.lower_left), "upperRight": value(d.upper_right),
            "center": value(d.center), "snapBase": value(d.snap_base),
            "snapSpacing": value(d.snap_spacing), "gridSpacing": value(d.grid_spacing),
            "direction": value(d.direction), "target": value(d.target),
            "height": d.height, "aspect": d.aspect_ratio, "lens": d.focal_length,
            "frontClip": d.front_clipping, "backClip": d.back_clipping,
            "snapAngle": d.snap_rotation, "twist": d.view_twist, "circleZoom": d.circle_sides,
            "ucsIcon": d.ucs_icon, "snap": d.snap_on, "grid": d.grid_on,
            "snapStyle": d.snap_style, "snapIsopair": d.snap_isopair, "fastZoom": d.fast_zoom}
    out["APPID"] = sorted(a.dxf.name for a in doc.appids)
    out["BLOCK_RECORD"] = sorted(b.dxf.name for b in doc.block_records)
    return out


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
        "header": {name: value(doc.header[name]) for name in doc.header.varnames()},
        "tables": tables(doc),
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
