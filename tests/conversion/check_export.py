#!/usr/bin/python3
"""Exports a board document with orvanta to DXF and checks, with every
independent reader, that each board object reached the drawing where the
board has it: each track's ends, each fill's corners, each pad's and via's
shape centred on it, each text at its point with its height and turn,
each hole on its hole layer, each component's insert at its reference point
with its rotation (or, as primitives, no insert at all).

usage: check_export.py ORVANTA BOARD.json READERS_DIR WORK_DIR OPTION...
OPTION is passed to `orvanta export` (--holes off, --zero-width all ...).
Exits 1 with one line per fault found."""
import json
import math
import os
import re
import shutil
import subprocess
import sys
import tempfile

TOL = 1e-6  # drawing units (inches): ten PCB units


def fail(faults):
    for f in faults:
        print(f, file=sys.stderr)
    sys.exit(1)


def run(cmd, env=None):
    p = subprocess.run(cmd, capture_output=True, text=True, env=env)
    return p.returncode, p.stdout, p.stderr


def option(args, name, default):
    return args[args.index(name) + 1] if name in args else default


# --- The board document ------------------------------------------------------

def mil(v):
    return v / 1000.0  # inches


def board_objects(doc):
    """Every primitive with the component it belongs to (or None)."""
    out = []

    def walk(objs, comp):
        for o in objs:
            kind = o.get("kind")
            if kind == "component":
                out.append((o, None))
                walk(o.get("primitives", []), o)
            elif kind in ("polygon", "dimension"):
                walk(o.get("primitives", []), comp)
            else:
                out.append((o, comp))
    walk(doc["objects"], None)
    return out


def fill_corners(f):
    (x1, y1), (x2, y2) = [[mil(v) for v in c] for c in (f["corner1"], f["corner2"])]
    cx, cy = (x1 + x2) / 2, (y1 + y2) / 2
    a = math.radians(f.get("rotation", 0))
    out = []
    for x, y in ((x1, y1), (x2, y1), (x2, y2), (x1, y2)):
        dx, dy = x - cx, y - cy
        out.append([cx + dx * math.cos(a) - dy * math.sin(a),
                    cy + dx * math.sin(a) + dy * math.cos(a)])
    return out


def pad_size(p):
    s = p.get("size", 0)
    return (s, s) if not isinstance(s, list) else (s[0], s[1])


# --- The drawing, flattened ----------------------------------------------------

def transform(pt, insert):
    if insert is None:
        return [pt[0], pt[1]]
    a = math.radians(insert["rotation"])
    x, y = pt[0], pt[1]
    return [x * math.cos(a) - y * math.sin(a) + insert["insert"][0],
            x * math.sin(a) + y * math.cos(a) + insert["insert"][1]]


def polyline_extent(pts, e):
    """Points on the outer edges of a wide polyline: straight segments end
    square, bulged ones are sampled along their arc."""
    ext = []
    n = len(pts)
    segments = n if e["closed"] else n - 1
    for i in range(max(segments, 0)):
        a, b = pts[i], pts[(i + 1) % n]
        v = e["vertices"][i]
        w = max(v[2], v[3], e.get("startWidth", 0)) / 2
        bulge = v[4]
        d = math.dist(a, b)
        if d == 0:
            ext += [[a[0] + w, a[1]], [a[0] - w, a[1]], [a[0], a[1] + w], [a[0], a[1] - w]]
            continue
        if bulge == 0:
            nx, ny = -(b[1] - a[1]) / d * w, (b[0] - a[0]) / d * w
            ext += [[p[0] + sx * nx, p[1] + sx * ny] for p in (a, b) for sx in (1, -1)]
            continue
        sweep = 4 * math.atan(bulge)
        r = d / (2 * math.sin(abs(sweep) / 2))
        mx, my = (a[0] + b[0]) / 2, (a[1] + b[1]) / 2
        h = r * math.cos(sweep / 2) * (1 if bulge > 0 else -1)
        # centre to the left of a->b for a counter-clockwise (positive) bulge
        ux, uy = (b[0] - a[0]) / d, (b[1] - a[1]) / d
        cx, cy = mx - uy * h, my + ux * h
        a0 = math.atan2(a[1] - cy, a[0] - cx)
        for k in range(33):
            t = a0 + sweep * k / 32
            for rr in (r - w, r + w):
                ext.append([cx + rr * math.cos(t), cy + rr * math.sin(t)])
    return ext or [list(p) for p in pts]


def flatten(read):
    """Model-space entities with every insert expanded into board coordinates.
    Each entity becomes (layer, type, points, extent points, entity)."""
    out = []

    def add(e, ins):
        t = e["type"]
        if t == "LINE":
            pts = [transform(e["p1"], ins), transform(e["p2"], ins)]
            ext = pts
        elif t in ("CIRCLE", "ARC"):
            c = transform(e["center"], ins)
            r = e["radius"]
            pts = [c]
            ext = [[c[0] - r, c[1]], [c[0] + r, c[1]], [c[0], c[1] - r], [c[0], c[1] + r]]
        elif t == "SOLID":
            pts = [transform(c, ins) for c in e["corners"]]
            ext = pts
        elif t == "POLYLINE":
            pts = [transform(v, ins) for v in e["vertices"]]
            ext = polyline_extent(pts, e)
        elif t == "TEXT":
            pts = [transform(e["insert"], ins)]
            ext = pts
            if ins is not None:
                e = dict(e, rotation=e["rotation"] + ins["rotation"])
        else:
            return
        out.append((e["layer"], t, pts, ext, e))

    for e in read["entities"]:
        if e["type"] == "INSERT":
            for b in read["blocks"].get(e["block"], []):
                add(b, e)
        else:
            add(e, None)
    return out


def near(a, b):
    return abs(a[0] - b[0]) <= TOL and abs(a[1] - b[1]) <= TOL


symbol_name = None  # the file's form of a name, from the readers' compare.py (main)


# --- Checks ------------------------------------------------------------------------

def check(doc, read, args, reader):
    """The board's layer names are looked for in the form the file holds
    them (upper case, 31 characters: see compare.symbol_name)."""
    L = symbol_name
    faults = []
    holes = option(args, "--holes", "off")
    zero = option(args, "--zero-width", "none")
    blocks = option(args, "--components", "blocks") == "blocks"
    layers = set(read["layers"])
    flat = flatten(read)
    by_layer = {}
    for f in flat:
        by_layer.setdefault(f[0], []).append(f)

    def where(o, comp):
        return f"{reader}: {o['kind']} " + (f"of {comp['id']} " if comp else "") + \
            json.dumps({k: o[k] for k in o if k in ("layer", "from", "to", "x", "y", "name")})

    for o, comp in board_objects(doc):
        kind = o["kind"]
        if kind == "track" and L(o["layer"]) in layers:
            a, b = [mil(v) for v in o["from"]], [mil(v) for v in o["to"]]
            selected = o.get("selected") or (comp is not None and comp.get("selected"))
            want = {"all": {"LINE"}, "none": {"POLYLINE"}}.get(
                zero, {"LINE"} if selected else {"POLYLINE"})
            found = [f for f in by_layer.get(L(o["layer"]), [])
                     if f[1] in want and len(f[2]) == 2 and
                     ((near(f[2][0], a) and near(f[2][1], b)) or
                      (near(f[2][0], b) and near(f[2][1], a)))]
            if not found:
                faults.append(f"{where(o, comp)}: no {'/'.join(want)} with the track's ends")
            elif "POLYLINE" in want and not any(
                    abs(f[4]["vertices"][0][2] - mil(o["width"])) <= TOL for f in found):
                faults.append(f"{where(o, comp)}: the track's polyline has another width")
        elif kind == "fill" and L(o["layer"]) in layers:
            corners = fill_corners(o)
            selected = o.get("selected") or (comp is not None and comp.get("selected"))
            hairline = zero == "all" or (zero == "selected" and selected)
            mine = by_layer.get(L(o["layer"]), [])
            if hairline:
                ends = [p for f in mine if f[1] == "LINE" for p in f[2]]
                ok = all(sum(near(p, c) for p in ends) >= 2 for c in corners)
            else:
                ok = any(f[1] == "SOLID" and all(any(near(p, c) for p in f[2]) for c in corners)
                         for f in mine)
            if not ok:
                faults.append(f"{where(o, comp)}: no {'outline' if hairline else 'SOLID'} with "
                              f"the fill's corners {corners}")
        elif kind in ("pad", "via"):
            if o.get("shape") == "roundedRectangle":
                continue
            c = [mil(o["x"]), mil(o["y"])]
            layer = L(o.get("layer", "TopLayer") if kind == "pad" else "TopLayer")
            sx, sy = pad_size(o)
            reach = mil(math.hypot(sx, sy)) / 2 + TOL
            if layer in layers:
                check_centred(faults, where(o, comp), by_layer.get(layer, []), c, reach,
                              f"its shape on {layer}")
            hole_layer = L("PadHoleLayer" if kind == "pad" else "ViaHoleLayer")
            has_hole = o.get("hole", 0) > 0
            if holes == "layers" and has_hole:
                check_centred(faults, where(o, comp), by_layer.get(hole_layer, []), c,
                              mil(o["hole"]) / 2 + TOL, f"its hole on {hole_layer}")
        elif kind == "text" and L(o["layer"]) in layers:
            check_text(faults, where(o, comp), by_layer.get(L(o["layer"]), []), o, o["text"])
        elif kind == "component":
            for key in ("designator", "comment"):
                t = o.get(key)
                if t and t.get("visible", True) and "x" in t and "y" in t:
                    layer = L(t.get("layer", "TopOverlay" if o.get("layer", "TopLayer") ==
                                    "TopLayer" else "BottomOverlay"))
                    if layer in layers:
                        check_text(faults, f"{reader}: {key} of {o['id']}",
                                   by_layer.get(layer, []), t, t["text"], raw=True)
            inserts = [e for e in read["entities"] if e["type"] == "INSERT" and
                       near(e["insert"], [mil(o["x"]), mil(o["y"])])]
            pattern = re.sub(r"[^0-9A-Z_]", "_", o["pattern"])
            side = "_" if o.get("layer", "TopLayer") == "TopLayer" else "_B_"
            if not blocks:
                if inserts:
                    faults.append(f"{where(o, None)}: an insert, though components are primitives")
                continue
            good = [e for e in inserts
                    if re.fullmatch(re.escape(pattern + side) + r"[0-9]+", e["block"]) and
                    abs((e["rotation"] - o.get("rotation", 0) + 180) % 360 - 180) <= 1e-9 and
                    all(abs(s - 1) <= 1e-12 for s in e["scale"])]
            if len(good) != 1:
                faults.append(f"{where(o, None)}: {len(good)} inserts of {pattern}{side}n at its "
                              f"reference point with rotation {o.get('rotation', 0)}")
    if holes != "layers" and (by_layer.get(L("PadHoleLayer")) or by_layer.get(L("ViaHoleLayer"))):
        faults.append(f"{reader}: entities on a hole layer with --holes {holes}")
    if holes == "layers" and not {L("PadHoleLayer"), L("ViaHoleLayer")} <= layers:
        faults.append(f"{reader}: no hole layers with --holes layers")
    return faults


def check_text(faults, what, entities, o, text, raw=False):
    """A TEXT at the text's insertion point with its height, turn and mirroring;
    the print-scale string replaced unless written raw."""
    at = [mil(o["x"]), mil(o["y"])]
    found = [f[4] for f in entities if f[1] == "TEXT" and near(f[2][0], at)]
    if not found:
        faults.append(f"{what}: no TEXT at {at}")
        return
    e = found[0]
    want = "SCALE: 1.00" if not raw and text.upper() == ".PRINT_SCALE" else None
    if want and e["text"] != want:
        faults.append(f"{what}: reads {e['text']!r}, not {want!r}")
    if "height" in o and abs(e["height"] - mil(o["height"])) > TOL:
        faults.append(f"{what}: height {e['height']}, not {mil(o['height'])}")
    if abs((e["rotation"] - o.get("rotation", 0) + 180) % 360 - 180) > 1e-6:
        faults.append(f"{what}: turned {e['rotation']}, not {o.get('rotation', 0)}")
    if bool(o.get("mirrored")) != bool(e.get("generation", 0) & 2):
        faults.append(f"{what}: mirroring {e.get('generation')} does not match the board")


def check_centred(faults, what, entities, c, reach, name):
    """Everything that lies wholly within reach of c must be there and centred on c."""
    xs, ys = [], []
    for f in entities:
        if all(math.dist(p, c) <= reach for p in f[3]):
            xs += [p[0] for p in f[3]]
            ys += [p[1] for p in f[3]]
    if not xs:
        faults.append(f"{what}: nothing drawn for {name}")
        return
    centre = [(min(xs) + max(xs)) / 2, (min(ys) + max(ys)) / 2]
    if not near(centre, c):
        faults.append(f"{what}: {name} is centred on {centre}, not on {c}")


def main():
    if len(sys.argv) < 5:
        print(__doc__, file=sys.stderr)
        return 2
    orvanta, board, readers, work = sys.argv[1:5]
    sys.path.insert(0, readers)
    global symbol_name
    from compare import symbol_name
    args = sys.argv[5:]
    os.makedirs(work, exist_ok=True)
    name = "_".join(a.lstrip("-") for a in args) or "defaults"
    out = os.path.join(work, name + ".dxf")
    store = tempfile.mkdtemp(prefix="orvanta-options-")
    env = dict(os.environ, ORVANTA_OPTIONS_FILE=os.path.join(store, "options.ini"))
    for attempt in range(3):
        if os.path.exists(out):
            os.remove(out)
        code, so, se = run([orvanta, "export", board, "-o", out, "--version", "R12",
                            "--format", "dxf", "--units", "in", "--layers", "all"] + args, env)
        # The leak checker's own tracer sometimes dies at exit on a loaded
        # machine; that is no finding about the program, so try again.
        if not (code != 0 and "Tracer caught signal" in se and
                "LeakSanitizer has encountered a fatal error" in se):
            break
    shutil.rmtree(store, ignore_errors=True)
    if code != 0 or not os.path.exists(out):
        fail([f"orvanta export failed ({code}): {se.strip() or so.strip()}"])
    with open(board) as f:
        doc = json.load(f)
    if doc.get("units", "mil") != "mil":
        fail([f"{board}: only boards in mil are checked here"])
    faults = []
    for reader, cmd in (("ezdxf", ["/usr/bin/python3", os.path.join(readers, "read_ezdxf.py")]),
                        ("libdxfrw", ["node", os.path.join(readers, "read_libdxfrw.js")])):
        code, so, se = run(cmd + [out])
        if code != 0 or se.strip():
            faults.append(f"{reader} rejected {out} ({code}): {se.strip()}")
            continue
        faults += check(doc, json.loads(so), args, reader)
    if faults:
        fail(faults)
    print(f"{out}: every track, fill, pad, via, hole, text and insert checked with ezdxf and libdxfrw")
    return 0


if __name__ == "__main__":
    sys.exit(main())
