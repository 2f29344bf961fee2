#!/usr/bin/python3
"""Real KiCad boards, end to end: orvanta exports a board in every release and
format the engine writes, the independent readers read each file back, and
what they find is checked against the board as KiCad itself reads it:

- every via and every pad with copper sits where the board has it, on its
  copper layer, whether footprints are drawn as blocks or as primitives;
- every footprint becomes one block insert at its position and rotation;
- for boards KiCad's own Python module can open (KiCad 6 files), the copper
  of each copper layer covers the area of KiCad's own DXF plot of that layer
  to within 1 %.

usage: kicad_test.py BOARD --bin DIR --readers DIR --work DIR [--quick]

--quick exports DXF R12 and DWG R14 only (for large boards). A DWG release the
engine refuses as not supported is skipped and said so: it is checked as soon
as the engine writes it."""
import argparse
import json
import math
import os
import re
import shutil
import subprocess
import sys

PYTHON = "/usr/bin/python3"  # the Debian interpreter with ezdxf, shapely and pcbnew
RELEASES = ["V2.5", "V2.6", "R9", "R10", "R12", "R13", "R14"]
TOL = 0.002  # mm: the board's unit is 1/10,000,000 inch; files keep at least 1e-6
AREA_TOL = 0.01
COPPER = {"F.Cu": "TopLayer", "B.Cu": "BottomLayer"}


class Failure(Exception):
    pass


# --- the board as KiCad has it ------------------------------------------------------


def board_from_pcbnew(path):
    """Footprints, pads and vias through KiCad's own reader (KiCad 6 files)."""
    import pcbnew
    b = pcbnew.LoadBoard(path)
    mm = pcbnew.ToMM
    fps, pads, vias = [], [], []
    for fp in b.GetFootprints():
        p = fp.GetPosition()
        fps.append((mm(p.x), -mm(p.y), fp.GetOrientationDegrees()))
        for pad in fp.Pads():
            q = pad.GetPosition()
            size, drill = pad.GetSize(), pad.GetDrillSize()
            if (pad.GetAttribute() == pcbnew.PAD_ATTRIB_NPTH
                    and max(size.x, size.y) <= min(drill.x, drill.y)):
                continue  # a bare hole: no copper
            for kl, layer in ((pcbnew.F_Cu, "TopLayer"), (pcbnew.B_Cu, "BottomLayer")):
                if pad.IsOnLayer(kl):
                    pads.append((mm(q.x), -mm(q.y), layer))
    for t in b.GetTracks():
        if t.GetClass() == "PCB_VIA":
            p = t.GetPosition()
            vias.append((mm(p.x), -mm(p.y)))
    return fps, pads, vias


def sexpr(text):
    """A plain S-expression reader: nested lists of strings."""
    tokens = re.findall(r'\(|\)|"(?:[^"\\]|\\.)*"|[^\s()"]+', text)
    stack, cur = [], []
    for t in tokens:
        if t == "(":
            stack.append(cur)
            cur = []
        elif t == ")":
            done, cur = cur, stack.pop()
            cur.append(done)
        else:
            cur.append(t[1:-1] if t.startswith('"') else t)
    return cur[0]


def child(node, name):
    for c in node:
        if isinstance(c, list) and c and c[0] == name:
            return c
    return None


def children(node, name):
    return [c for c in node if isinstance(c, list) and c and c[0] == name]


def board_from_text(path):
    """The same from the file's text, for formats newer than the installed KiCad."""
    root = sexpr(open(path, encoding="utf-8").read())
    fps, pads, vias = [], [], []
    for fp in children(root, "footprint"):
        at = child(fp, "at")
        x, y = float(at[1]), -float(at[2])
        a = float(at[3]) if len(at) > 3 and at[3] != "unlocked" else 0.0
        fps.append((x, y, a))
        c, s = math.cos(math.radians(a)), math.sin(math.radians(a))
        for pad in children(fp, "pad"):
            pat = child(pad, "at")
            lx, ly = float(pat[1]), -float(pat[2])
            px, py = x + lx * c - ly * s, y + lx * s + ly * c
            size = child(pad, "size")
            drill = child(pad, "drill")
            layers = child(pad, "layers")[1:]
            if pad[2] == "np_thru_hole" and drill:
                d = [float(v) for v in drill[1:] if isinstance(v, str) and v != "oval"]
                if max(float(size[1]), float(size[2])) <= min(d):
                    continue
            for kl, layer in COPPER.items():
                if kl in layers or "*.Cu" in layers or "F&B.Cu" in layers:
                    pads.append((px, py, layer))
    for v in children(root, "via"):
        at = child(v, "at")
        vias.append((float(at[1]), -float(at[2])))
    return fps, pads, vias


def file_version(path):
    with open(path, encoding="utf-8") as f:
        m = re.search(r"\(version\s+(\d+)\)", f.read(4096))
    return int(m.group(1)) if m else 0


# --- what a reader found ---------------------------------------------------------------


def centre(e):
    if e["type"] == "POLYLINE":
        xs = [v[0] for v in e["vertices"]]
        ys = [v[1] for v in e["vertices"]]
    elif e["type"] == "SOLID":
        xs = [p[0] for p in e["corners"]]
        ys = [p[1] for p in e["corners"]]
    else:
        return None
    return ((min(xs) + max(xs)) / 2, (min(ys) + max(ys)) / 2)


class Grid:
    """Points by layer, found again within TOL."""

    def __init__(self):
        self.cells = {}

    # Layer names as the file spells them: upper case, as AutoCAD keeps its
    # symbol names.
    def add(self, layer, x, y):
        layer = layer.upper()
        self.cells.setdefault((layer, round(x / TOL), round(y / TOL)), []).append((x, y))

    def has(self, layer, x, y):
        layer = layer.upper()
        cx, cy = round(x / TOL), round(y / TOL)
        for dx in (-1, 0, 1):
            for dy in (-1, 0, 1):
                for (px, py) in self.cells.get((layer, cx + dx, cy + dy), []):
                    if abs(px - x) <= TOL and abs(py - y) <= TOL:
                        return True
        return False


def placed_entities(doc):
    """Model space with every block's entities brought to where its insert
    puts them: (entity, centre in the drawing)."""
    for e in doc["entities"]:
        if e["type"] == "INSERT":
            ix, iy = e["insert"][0], e["insert"][1]
            a = math.radians(e["rotation"])
            c, s = math.cos(a), math.sin(a)
            for b in doc["blocks"].get(e["block"], []):
                p = centre(b)
                if p is not None:
                    yield b, (ix + p[0] * c - p[1] * s, iy + p[0] * s + p[1] * c)
        else:
            p = centre(e)
            if p is not None:
                yield e, p


def check_positions(doc, pads, vias, where):
    grid, discs = Grid(), Grid()
    for e, c in placed_entities(doc):
        grid.add(e["layer"], *c)
        if e["type"] == "POLYLINE" and e["closed"] and len(e["vertices"]) == 2:
            discs.add(e["layer"], *c)
    missing = [f"pad at ({x:.4f}, {y:.4f}) on {layer}" for x, y, layer in pads
               if not grid.has(layer, x, y)]
    missing += [f"via at ({x:.4f}, {y:.4f})" for x, y in vias
                if not (discs.has("TopLayer", x, y) or discs.has("BottomLayer", x, y))]
    if missing:
        raise Failure(f"{where}: {len(missing)} of {len(pads) + len(vias)} pads and vias "
                      f"not found where the board has them, first: {missing[:3]}")


def check_inserts(doc, fps, where):
    inserts = [e for e in doc["entities"] if e["type"] == "INSERT"]
    if len(inserts) != len(fps):
        raise Failure(f"{where}: {len(inserts)} block inserts for {len(fps)} footprints")
    left = list(inserts)
    for x, y, a in fps:
        for i, e in enumerate(left):
            ex, ey = e["insert"][0], e["insert"][1]
            da = (e["rotation"] - a) % 360
            if abs(ex - x) <= TOL and abs(ey - y) <= TOL and min(da, 360 - da) < 1e-6:
                del left[i]
                break
        else:
            raise Failure(f"{where}: no insert at ({x:.4f}, {y:.4f}) rotated {a}")


# --- copper areas ----------------------------------------------------------------------


def arc_points(x0, y0, x1, y1, bulge, steps=32):
    """Points of a polyline segment with a bulge (tan of a quarter of its angle)."""
    if bulge == 0:
        return [(x0, y0), (x1, y1)]
    theta = 4 * math.atan(bulge)  # signed: counter-clockwise when positive
    dx, dy = x1 - x0, y1 - y0
    chord = math.hypot(dx, dy)
    r = chord / (2 * math.sin(abs(theta) / 2))
    k = (chord / 2) / math.tan(theta / 2) / chord  # along the left normal, per unit of chord
    cx, cy = (x0 + x1) / 2 - dy * k, (y0 + y1) / 2 + dx * k
    a0 = math.atan2(y0 - cy, x0 - cx)
    return [(cx + r * math.cos(a0 + theta * i / steps), cy + r * math.sin(a0 + theta * i / steps))
            for i in range(steps + 1)]


def rings_of_lines(lines):
    """Closed outlines from LINE entities written one contour after another."""
    rings, cur = [], []
    for (a, b) in lines:
        if cur and math.dist(cur[-1][1], a) > 1e-6:
            rings.append(cur)
            cur = []
        cur.append((a, b))
    if cur:
        rings.append(cur)
    return [[seg[0] for seg in ring] for ring in rings if len(ring) >= 3]


def our_copper(doc, layer):
    from shapely.geometry import LineString, MultiPoint, Point, Polygon
    from shapely.ops import unary_union
    shapes, lines = [], []
    for e in doc["entities"]:
        if e["layer"].upper() != layer.upper():
            continue
        t = e["type"]
        if t == "SOLID":
            shapes.append(MultiPoint([tuple(p[:2]) for p in e["corners"]]).convex_hull)
        elif t == "LINE":
            lines.append((tuple(e["p1"][:2]), tuple(e["p2"][:2])))
        elif t == "POLYLINE":
            v = e["vertices"]
            w = e["startWidth"]
            if e["closed"] and len(v) == 2 and v[0][4] == 1 and v[1][4] == 1:
                c = ((v[0][0] + v[1][0]) / 2, (v[0][1] + v[1][1]) / 2)
                r = math.dist(v[0][:2], v[1][:2]) / 2
                ring = Point(c).buffer(r + w / 2, 64)
                if r - w / 2 > 1e-9:
                    ring = ring.difference(Point(c).buffer(r - w / 2, 64))
                shapes.append(ring)
            elif e["closed"] and w == 0:
                pts = []
                for i in range(len(v)):
                    j = (i + 1) % len(v)
                    pts += arc_points(v[i][0], v[i][1], v[j][0], v[j][1], v[i][4])[:-1]
                shapes.append(Polygon(pts).buffer(0))
            elif not e["closed"]:
                pts = []
                for i in range(len(v) - 1):
                    pts += arc_points(v[i][0], v[i][1], v[i + 1][0], v[i + 1][1], v[i][4])[:-1]
                pts.append(tuple(v[-1][:2]))
                if w > 0 and len(pts) >= 2:
                    shapes.append(LineString(pts).buffer(w / 2, 16, cap_style=2))
    from shapely.validation import make_valid
    # A region's outline may run out to a hole and back along the same line.
    for ring in rings_of_lines(lines):
        shapes.append(make_valid(Polygon(ring)))
    return unary_union(shapes).area


def kicad_copper(board, work):
    """KiCad's own DXF plot of each outer copper layer (outlines), as areas."""
    script = f"""
import sys, pcbnew
b = pcbnew.LoadBoard({board!r})
# A drawing's texts are TEXT entities with no area; KiCad plots their strokes.
# Texts on copper are left out of the comparison on both sides: here they
# move to a layer that is not plotted.
copper = (pcbnew.F_Cu, pcbnew.B_Cu)
for fp in b.GetFootprints():
    for t in [fp.Reference(), fp.Value()] + [d for d in fp.GraphicalItems()
                                             if d.GetClass() == "MTEXT"]:
        if t.GetLayer() in copper:
            t.SetLayer(pcbnew.Cmts_User)
for d in b.GetDrawings():
    if d.GetClass() == "PTEXT" and d.GetLayer() in copper:
        d.SetLayer(pcbnew.Cmts_User)
pc = pcbnew.PLOT_CONTROLLER(b)
po = pc.GetPlotOptions()
po.SetOutputDirectory({work!r})
po.SetDXFPlotUnits(pcbnew.DXF_UNITS_MILLIMETERS)
po.SetDXFPlotPolygonMode(True)
po.SetPlotFrameRef(False)
po.SetUseAuxOrigin(False)
po.SetAutoScale(False)
po.SetScale(1)
po.SetMirror(False)
po.SetDrillMarksType(pcbnew.PCB_PLOT_PARAMS.NO_DRILL_SHAPE)
for name, layer in (("F_Cu", pcbnew.F_Cu), ("B_Cu", pcbnew.B_Cu)):
    pc.SetLayer(layer)
    pc.OpenPlotfile(name, pcbnew.PLOT_FORMAT_DXF, name)
    pc.PlotLayer()
pc.ClosePlot()
"""
    r = subprocess.run([PYTHON, "-c", script], capture_output=True, text=True)
    if r.returncode != 0:
        raise Failure(f"KiCad could not plot {board}: {r.stderr.strip()}")
    import ezdxf
    from shapely.geometry import Point
    from shapely.ops import unary_union
    stem = os.path.splitext(os.path.basename(board))[0]
    areas = {}
    for name, layer in (("F_Cu", "TopLayer"), ("B_Cu", "BottomLayer")):
        doc = ezdxf.readfile(os.path.join(work, f"{stem}-{name}.dxf"))
        lines = [((e.dxf.start.x, e.dxf.start.y), (e.dxf.end.x, e.dxf.end.y))
                 for e in doc.modelspace() if e.dxftype() == "LINE"]
        # Round pads and vias come as the circles around them.
        discs = [Point(e.dxf.center.x, e.dxf.center.y).buffer(e.dxf.radius, 64)
                 for e in doc.modelspace() if e.dxftype() == "CIRCLE"]
        others = {e.dxftype() for e in doc.modelspace()} - {"LINE", "CIRCLE"}
        if others:
            raise Failure(f"KiCad's plot holds {sorted(others)}, which this test cannot measure")
        areas[layer] = unary_union(kicad_polygons(rings_of_lines(lines)) + discs).area
    return areas


def kicad_polygons(rings):
    """KiCad's plot gives every filled shape as its outline, clockwise, and a
    zone's holes right after the zone's outline, counter-clockwise."""
    from shapely.geometry import LinearRing, Polygon
    from shapely.validation import make_valid
    polygons, outline, holes = [], None, []
    for r in rings + [None]:
        if r is None or not LinearRing(r).is_ccw:
            if outline is not None:
                polygons.append(make_valid(Polygon(outline, holes)))
            outline, holes = r, []
        elif outline is not None:
            holes.append(r)
        else:
            polygons.append(make_valid(Polygon(r)))
    return polygons


# --- the run ----------------------------------------------------------------------------


def run(cmd, env=None):
    return subprocess.run(cmd, capture_output=True, text=True, env=env)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("board")
    ap.add_argument("--bin", required=True)
    ap.add_argument("--readers", required=True)
    ap.add_argument("--work", required=True)
    ap.add_argument("--quick", action="store_true")
    args = ap.parse_args()
    board = os.path.abspath(args.board)
    if not os.path.exists(board):
        raise Failure(f"{board} not found: the demo boards come with Debian's kicad-demos "
                      "package (scripts/setup.sh installs it)")
    work = os.path.abspath(args.work)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    env = dict(os.environ, ORVANTA_OPTIONS_FILE=os.path.join(work, "options.ini"))
    orvanta = os.path.join(args.bin, "orvanta")
    readers = os.path.abspath(args.readers)

    kicad6 = file_version(board) < 20220000
    fps, pads, vias = board_from_pcbnew(board) if kicad6 else board_from_text(board)
    if not pads:
        raise Failure(f"{board}: the board has no pads to check")

    pairs = [(r, f) for f in ("dxf", "dwg") for r in RELEASES]
    if args.quick:
        pairs = [("R12", "dxf"), ("R14", "dwg")]
    faults, notes = [], []
    areas = {}

    def read(path, fmt, release):
        if fmt == "dxf":
            cmds = [("ezdxf", [PYTHON, os.path.join(readers, "read_ezdxf.py"), path]),
                    ("libdxfrw", ["node", os.path.join(readers, "read_libdxfrw.js"), path])]
        else:
            cmds = [("libredwg", ["node", os.path.join(readers, "dwg_read_libredwg.mjs"), path])]
            if release == "R14":
                cmds.append(("libdxfrw", ["node", os.path.join(readers, "dwg_read_libdxfrw.js"),
                                          path]))
        docs = []
        for name, cmd in cmds:
            r = run(cmd, env)
            if r.returncode != 0:
                faults.append(f"{name} rejected {path}: {r.stderr.strip()[:500]}")
                continue
            docs.append((name, json.loads(r.stdout)))
        return docs

    # Blocks (the default) in every pair; primitives where the copper is measured.
    measured = (("R12", "dxf"), ("R14", "dwg"))
    for release, fmt in pairs:
        for mode in ("blocks", "primitives"):
            if mode == "primitives" and (release, fmt) not in measured:
                continue
            out = os.path.join(work, f"{mode}-{release.replace('.', '_')}")
            r = run([orvanta, "export", board, "-o", out, "--format", fmt, "--version", release,
                     "--units", "mm", "--components", mode, "--holes", "off", "--zero-width",
                     "none", "--layers", "all"], env)
            if r.returncode != 0:
                if fmt == "dwg" and "is not supported" in r.stderr:
                    notes.append(f"DWG {release} not written by the engine yet: skipped")
                    break
                faults.append(f"export {fmt} {release} {mode} failed ({r.returncode}): "
                              f"{r.stderr.strip()}")
                continue
            path = f"{out}.{fmt}"
            for name, doc in read(path, fmt, release):
                where = f"{fmt} {release} {mode} read by {name}"
                try:
                    # libdxfrw's DWG model space comes without polyline vertices
                    # (see dwg_read_libdxfrw.js); LibreDWG checks the DWG positions.
                    if not (fmt == "dwg" and name == "libdxfrw"):
                        check_positions(doc, pads, vias, where)
                    if mode == "blocks":
                        check_inserts(doc, fps, where)
                    elif kicad6 and name in ("ezdxf", "libredwg"):
                        for layer in ("TopLayer", "BottomLayer"):
                            areas[(where, layer)] = our_copper(doc, layer)
                except Failure as e:
                    faults.append(str(e))

    if kicad6:
        theirs = kicad_copper(board, work)
        for (where, layer), ours in sorted(areas.items()):
            want = theirs[layer]
            if want == 0 and ours == 0:
                continue
            off = abs(ours - want) / max(want, 1e-9)
            line = f"{where}: {layer} copper {ours:.2f} mm² against KiCad's {want:.2f} mm²"
            print(line)
            if off > AREA_TOL:
                faults.append(line + f" ({off * 100:.2f} % apart)")

    for n in sorted(set(notes)):
        print("note:", n)
    if faults:
        print("\n".join(faults), file=sys.stderr)
        return 1
    print(f"{os.path.basename(board)}: {len(pads)} pads, {len(vias)} vias, {len(fps)} footprints "
          f"in place in {len(pairs)} release/format pairs")
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except Failure as e:
        print(e, file=sys.stderr)
        sys.exit(1)
