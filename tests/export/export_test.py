#!/usr/bin/python3
"""End-to-end tests of the export run: orvanta exports a board through the
plug-in and the drawing engine, independent readers read the file back.

usage: export_test.py CASE --bin DIR --recording DIR --readers DIR --work DIR

The recording engine (a test engine with the real engine's functions) is
picked up through ORVANTA_ENGINE_DIR, the folder the plug-in looks in first;
it writes what a reader must find, in the readers' normalised JSON."""
import argparse
import json
import os
import shutil
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import boards  # noqa: E402

PYTHON = "/usr/bin/python3"  # the Debian interpreter that has ezdxf
file_names = symbol_name = None  # from the readers' compare.py (main)


class Failure(Exception):
    pass


def check(cond, message):
    if not cond:
        raise Failure(message)


class Env:
    def __init__(self, args):
        self.bin = os.path.abspath(args.bin)
        self.recording = os.path.abspath(args.recording)
        self.readers = os.path.abspath(args.readers)
        self.work = os.path.abspath(args.work)
        shutil.rmtree(self.work, ignore_errors=True)
        os.makedirs(self.work)
        self.config = os.path.join(self.work, "config")

    def path(self, name):
        return os.path.join(self.work, name)

    def write_board(self, name, board):
        p = self.path(name + ".json")
        with open(p, "w") as f:
            json.dump(board, f)
        return p

    def orvanta(self, board, out, options, cwd=None, exe=None, env=None):
        e = dict(os.environ, XDG_CONFIG_HOME=self.config)
        e.update(env or {})
        cmd = [exe or os.path.join(self.bin, "orvanta"), "export", board, "-o", out] + options
        return subprocess.run(cmd, cwd=cwd or self.work, env=e, capture_output=True, text=True)

    def export(self, board, out, options, **kw):
        r = self.orvanta(board, out, options, **kw)
        check(r.returncode == 0, f"orvanta {' '.join(options)} failed ({r.returncode}): "
              f"{r.stderr.strip()}")
        return r

    # What the emitters asked for: the same export through the recording engine.
    def expected(self, board, name, options, log=None):
        # The run forces the extension of the format, so the listing is a ".dxf".
        out = self.path(name + ".expected.dxf")
        env = {"ORVANTA_ENGINE_DIR": self.recording}
        if log:
            env["QUENNET_RECORDING_LOG"] = log
        self.export(board, out, options, env=env)
        with open(out) as f:
            return out, json.load(f)

    def read(self, reader, dxf):
        if reader == "ezdxf":
            cmd = [PYTHON, os.path.join(self.readers, "read_ezdxf.py"), dxf]
        else:
            cmd = ["node", os.path.join(self.readers, "read_libdxfrw.js"), dxf]
        r = subprocess.run(cmd, capture_output=True, text=True)
        check(r.returncode == 0, f"{reader} rejected {dxf}: {r.stderr.strip()}")
        out = self.path(os.path.basename(dxf) + "." + reader + ".json")
        with open(out, "w") as f:
            f.write(r.stdout)
        return out, json.loads(r.stdout)

    def compare(self, expected, actual):
        r = subprocess.run([PYTHON, os.path.join(self.readers, "compare.py"), expected, actual],
                           capture_output=True, text=True)
        check(r.returncode == 0, f"readers disagree with the emitters:\n{r.stdout}{r.stderr}")

    def header(self, dxf):
        code = ("import ezdxf,json,sys; d=ezdxf.readfile(sys.argv[1]); "
                "print(json.dumps({k: list(d.header[k]) for k in ('$EXTMIN','$EXTMAX')} | "
                "{'$MEASUREMENT': d.header.get('$MEASUREMENT', 0)}))")
        r = subprocess.run([PYTHON, "-c", code, dxf], capture_output=True, text=True)
        check(r.returncode == 0, r.stderr)
        return json.loads(r.stdout)


R12 = ["--format", "dxf", "--version", "R12"]


def counts(doc):
    """Entities per (space, layer, type), polylines with their vertex count."""
    out = {}
    spaces = [("*MODEL_SPACE", doc["entities"])] + sorted(doc["blocks"].items())
    for space, ents in spaces:
        for e in ents:
            key = f"{space} {e['layer']} {e['type']}"
            out[key] = out.get(key, 0) + 1
            if e["type"] == "POLYLINE":
                vkey = key + " vertices"
                out[vkey] = out.get(vkey, 0) + len(e["vertices"])
    return out


def case_readers(env):
    """The example board to DXF R12 in inches and in millimetres, with holes on
    their layers or as pad rings, components as blocks or as primitives:
    both readers read exactly what the emitters wrote."""
    board = os.path.join(SOURCE, "examples", "example-board.json")
    variants = {
        "in": ["--units", "in", "--holes", "layers"],
        "mm": ["--units", "mm", "--holes", "layers", "--layers", "visible"],
        "primitives": ["--units", "in", "--components", "primitives", "--zero-width", "all",
                       "--holes", "pads", "--ends", "square"],
    }
    for variant, extra in variants.items():
        options = R12 + extra
        name = "example-" + variant
        exp_path, exp = env.expected(board, name, options)
        dxf = env.path(name + ".dxf")
        env.export(board, dxf, options)
        check(len(exp["entities"]) > 50, f"only {len(exp['entities'])} entities written")
        for reader in ("ezdxf", "libdxfrw"):
            act_path, act = env.read(reader, dxf)
            env.compare(exp_path, act_path)
            # The per-layer, per-type tally, stated on its own so that a
            # failure says at once which layer lost what.
            want = counts(file_names(exp))
            check(counts(act) == want, f"{reader}: counts differ: {counts(act)} != {want}")


def case_engine_order(env):
    """The engine is driven in the run's order: initialised, drawing created,
    every layer before the first entity, saved, released, shut down."""
    log = env.path("calls.log")
    board = os.path.join(SOURCE, "examples", "example-board.json")
    env.expected(board, "order", R12, log=log)
    with open(log) as f:
        calls = [line.split(" ")[0] for line in f.read().splitlines()]
    first = {c: calls.index(c) for c in set(calls)}
    last = {c: len(calls) - 1 - calls[::-1].index(c) for c in set(calls)}
    check(calls[0] == "edaInitAd2", f"first call {calls[0]}")
    check(calls[-3:] == ["edaSaveFile", "edaCloseFile", "edaCloseAd2"], f"last calls {calls[-3:]}")
    check(first["edaNewFile"] < first["edaAddLayer"], "layer before the drawing")
    check(last["edaAddLayer"] < first["edaAddEntityToList"], "an entity before the last layer")
    check(calls.count("edaNewFile") == 1 and calls.count("edaSaveFile") == 1,
          "one drawing, one save")


def case_empty_board(env):
    """An empty board: no entities, zero extents, the stack, paste and solder
    layers, and a file the readers accept."""
    board = env.write_board("empty", boards.EMPTY)
    exp_path, exp = env.expected(board, "empty", R12)
    check(exp["entities"] == [] and exp["blocks"] == {}, "entities on an empty board")
    check(set(exp["layers"]) == {"0", "TopLayer", "BottomLayer", "TopPaste", "BottomPaste",
                                 "TopSolder", "BottomSolder"}, f"layers {sorted(exp['layers'])}")
    dxf = env.path("empty.dxf")
    env.export(board, dxf, R12)
    for reader in ("ezdxf", "libdxfrw"):
        env.compare(exp_path, env.read(reader, dxf)[0])
    h = env.header(dxf)
    check(h["$EXTMIN"][:2] == [0, 0] and h["$EXTMAX"][:2] == [0, 0], f"extents {h}")


def case_extents_at_zero(env):
    """An object whose edges lie exactly on 0 keeps the minimum at 0 when a
    later object lies further out."""
    board = env.write_board("zero", boards.EXTENTS_AT_ZERO)
    dxf = env.path("zero.dxf")
    env.export(board, dxf, R12)
    h = env.header(dxf)
    check(h["$EXTMIN"][:2] == [0, 0], f"minimum {h['$EXTMIN']}, expected (0, 0)")
    check(abs(h["$EXTMAX"][0] - 0.6) < 1e-12 and abs(h["$EXTMAX"][1] - 0.6) < 1e-12,
          f"maximum {h['$EXTMAX']}, expected (0.6, 0.6)")


def case_hidden_hole_layers(env):
    """Holes on their own layers, only visible layers: hole layers that are
    hidden are dropped again, visible ones stay."""
    options = R12 + ["--holes", "layers", "--layers", "visible"]
    for name, board, wanted in (("hidden", boards.HOLES_HIDDEN, False),
                                ("shown", boards.HOLES_SHOWN, True)):
        path = env.write_board(name, board)
        _, exp = env.expected(path, name, options)
        for layer in ("PadHoleLayer", "ViaHoleLayer"):
            check((layer in exp["layers"]) == wanted,
                  f"{name}: {layer} {'missing' if wanted else 'exported'}")
        check("TopPaste" not in exp["layers"], f"{name}: a hidden paste layer was exported")
        dxf = env.path(name + ".dxf")
        env.export(path, dxf, options)
        check((symbol_name("PadHoleLayer") in env.read("ezdxf", dxf)[1]["layers"]) == wanted,
              f"{name}: the file disagrees")


def isolated_host(env, engine, with_data):
    """A copy of the host and its modules in a folder of its own, with the
    engine library ("real", "junk" or None) and with or without its data
    file, so that the plug-in's search finds only what is there."""
    folder = env.path(f"host-{engine}-{with_data}")
    os.makedirs(folder)
    for name in os.listdir(env.bin):
        if name == "libtav2.so" and engine != "real":
            continue
        if name == "TAVINIT.DAT" and not with_data:
            continue
        src = os.path.join(env.bin, name)
        if os.path.isfile(src):
            shutil.copy2(src, folder)
    if engine == "junk":
        with open(os.path.join(folder, "libtav2.so"), "w") as f:
            f.write("not a module\n")
    return folder


def case_engine_missing(env):
    """Without the engine library, with one that cannot be loaded, without its
    data file, or with a target that cannot be written: the export fails with
    a message naming what failed (and where a missing file was looked for),
    and an existing file stays as it was."""
    board = env.write_board("empty", boards.EMPTY)
    cases = (
        (None, False, "libtav2.so was not found; looked in:"),
        ("junk", True, "libtav2.so could not be loaded:"),
        ("real", False, "data file TAVINIT.DAT was not found; looked in:"),
    )
    for engine, with_data, message in cases:
        folder = isolated_host(env, engine, with_data)
        out = os.path.join(folder, "board.dxf")
        with open(out, "w") as f:
            f.write("the user's earlier drawing\n")
        # Asked for board.dwg in DXF: the run writes (or would write) board.dxf.
        target = os.path.join(folder, "board.dwg")
        exe = os.path.join(folder, "orvanta")
        r = env.orvanta(board, target, R12, cwd=folder, exe=exe, env={"PATH": "/usr/bin:/bin"})
        check(r.returncode != 0, f"missing engine files reported success: {r.stdout}")
        check(message in r.stderr, f"message {r.stderr.strip()!r} lacks {message!r}")
        with open(out) as f:
            check(f.read() == "the user's earlier drawing\n", "the earlier file was touched")
        leftovers = [n for n in os.listdir(folder) if n.startswith("board.") and n != "board.dxf"]
        check(not leftovers, f"left behind {leftovers}")
        # The host's progress display only draws on a terminal: under one, it
        # shows the run's caption and is finished before the error is told.
        if shutil.which("script"):
            cmd = " ".join(["PATH=/usr/bin:/bin", exe, "export", board, "-o", target] + R12)
            t = subprocess.run(["script", "-qec", cmd, "/dev/null"], cwd=folder,
                               env=dict(os.environ, XDG_CONFIG_HOME=env.config),
                               capture_output=True, text=True)
            shown = t.stdout.replace("\r", "")
            caption = f"Saving {out} (dxf)"[:60]  # the display shows 60 characters
            check(caption in shown, f"no progress {caption!r} in {shown!r}")
            bar_end = shown.find("\n", shown.index(caption))
            check(0 <= bar_end < shown.index("orvanta: export"),
                  f"progress not finished before the error: {shown!r}")

    # A target the engine cannot replace: a folder of that name.
    out = env.path("taken.dxf")
    os.makedirs(os.path.join(out, "inside"))
    r = env.orvanta(board, out, R12)
    check(r.returncode != 0, "an unwritable target reported success")
    check("Cannot write " + out + ":" in r.stderr, f"message {r.stderr.strip()!r}")
    check(os.listdir(out) == ["inside"], "the folder in the way was changed")
    check([n for n in os.listdir(env.work) if n.startswith("taken.dxf")] == ["taken.dxf"],
          "a partial file was left beside the target")


CASES = {
    "readers": case_readers,
    "engine_order": case_engine_order,
    "empty_board": case_empty_board,
    "extents_at_zero": case_extents_at_zero,
    "hidden_hole_layers": case_hidden_hole_layers,
    "engine_missing": case_engine_missing,
}
SOURCE = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))


def case_component_via(env):
    """A via the board places inside a component is drawn: in the
    component's block, in its frame, when components are blocks; at its own
    place when they are primitives."""
    board = env.write_board("component-via", boards.board([{
        "kind": "component", "pattern": "VIA1", "x": 1000, "y": 1000, "rotation": 90,
        "primitives": [{"kind": "via", "x": 1100, "y": 1000, "size": 40, "hole": 20}]}]))

    def via_centres(ents):
        return [(round(sum(v[0] for v in e["vertices"]) / len(e["vertices"]), 6),
                 round(sum(v[1] for v in e["vertices"]) / len(e["vertices"]), 6))
                for e in ents if e["type"] == "POLYLINE" and e["layer"] == symbol_name("TopLayer")]

    for mode, where, centre in (("blocks", "block", (0.0, -0.1)),
                                ("primitives", "model space", (1.1, 1.0))):
        options = R12 + ["--components", mode]
        exp_path, _ = env.expected(board, "via-" + mode, options)
        dxf = env.path("via-" + mode + ".dxf")
        env.export(board, dxf, options)
        path, doc = env.read("ezdxf", dxf)
        env.compare(exp_path, path)
        ents = doc["entities"] if mode == "primitives" else doc["blocks"][symbol_name("VIA1_1")]
        check(via_centres(ents) == [centre],
              f"{mode}: the via is not in the {where} at {centre}: {via_centres(ents)}")


def run_refusal(env, name, board, folder, expect_ok, needle, timeout=60, **kw):
    """Exports `board` over an earlier drawing in `folder`: the run either
    succeeds, or fails with exit status 2 and one `orvanta:` line holding
    `needle`; the earlier drawing is intact unless the run succeeded, and
    nothing else is left in the folder."""
    out = os.path.join(folder, "out.dxf")
    with open(out, "w") as f:
        f.write("the user's earlier drawing\n")
    before = set(os.listdir(folder))
    e = dict(os.environ, XDG_CONFIG_HOME=env.config)
    e.update(kw.pop("environ", None) or {})
    cmd = kw.pop("cmd", None) or [os.path.join(env.bin, "orvanta"), "export", board, "-o", out]
    cmd = cmd + kw.pop("options", R12)
    try:
        r = subprocess.run(cmd, cwd=kw.pop("cwd", folder), env=e, capture_output=True,
                           text=True, timeout=timeout, errors="surrogateescape")
    except subprocess.TimeoutExpired:
        raise Failure(f"{name}: no answer within {timeout} s")
    if expect_ok:
        check(r.returncode == 0, f"{name}: failed ({r.returncode}): {r.stderr.strip()}")
    else:
        check(r.returncode == 2, f"{name}: exit status {r.returncode}, stderr {r.stderr!r}")
        lines = r.stderr.split("\n")
        check(len(lines) == 2 and lines[1] == "" and lines[0].startswith("orvanta: "),
              f"{name}: not one orvanta: line: {r.stderr!r}")
        check(all(32 <= ord(c) < 127 or ord(c) > 160 for c in lines[0]),
              f"{name}: a control character reached the terminal: {lines[0]!r}")
        check(needle in lines[0], f"{name}: {lines[0]!r} lacks {needle!r}")
        with open(out) as f:
            check(f.read() == "the user's earlier drawing\n", f"{name}: the earlier file changed")
    left = set(os.listdir(folder)) - before
    check(not left, f"{name}: left behind {sorted(left)}")
    return r


def dimension(id_, owner=None, **extra):
    o = {"kind": "dimension", "id": id_, "layer": "Mechanical1"}
    if owner:
        o["owner"] = owner
    o.update(extra)
    return o


def chain(n):
    return boards.board([dimension(f"g{i}", f"g{i + 1}" if i + 1 < n else None)
                         for i in range(n)])


def case_hostile_documents(env):
    """Board documents that once crashed, hung or garbled the terminal: each
    is refused with one line that says where, in reasonable time."""
    folder = env.path("hostile-documents")
    os.makedirs(folder)
    fifo = env.path("pipe.json")
    os.mkfifo(fifo)
    os.makedirs(env.path("folder.json"))
    escape = boards.board([{"kind": "track", "layer": "Top\u001b[2J\nLayer", "from": [0, 0],
                            "to": [1, 1], "width": 1}])
    # Coordinates whose sums leave the 32-bit range (in PCB units).
    far_component = dict(boards.board([{
        "kind": "component", "pattern": "FAR", "x": -2000000000, "y": 0, "primitives": [
            {"kind": "track", "layer": "TopOverlay", "from": [2000000000, 0],
             "to": [2000000000, 10], "width": 10}]}]), units="pcb")
    far_pad = dict(boards.board([{"kind": "pad", "x": 2140000000, "y": 0, "hole": 0,
                                  "shape": "rectangle", "size": 20000000, "layer": "TopLayer"}]),
                   units="pcb")
    turned = dict(boards.board([{
        "kind": "component", "pattern": "TURNED", "x": 0, "y": 0, "rotation": 45, "primitives": [
            {"kind": "track", "layer": "TopOverlay", "from": [2000000000, 2000000000],
             "to": [2000000000, 2000000000], "width": 10}]}]), units="pcb")
    cases = [
        ("cycle", boards.board([dimension("a", "b"), dimension("b", "a")]),
         "the owners form a cycle"),
        ("deep chain", chain(33), "nested deeper than 32 levels"),
        ("chain of 32", chain(32), None),
        ("long chain", chain(40000), "nested deeper than 32 levels"),
        ("nested 33 deep", None, "nested deeper than 32 levels"),
        ("fifo", fifo, "named pipe"),
        ("folder", env.path("folder.json"), "it is a folder"),
        ("device", "/dev/zero", "it is a device"),
        ("control characters", escape, "Top\\x1b[2J\\x0aLayer"),
        ("component frame out of range", far_component, "out of the coordinate range"),
        ("pad corner out of range", far_pad, "pad at (2140000000, 0)"),
        ("turned out of range", turned, "track at (2000000000, 2000000000) on TopOverlay: a point"),
    ]
    nested = {"kind": "track", "layer": "Mechanical1", "from": [0, 0], "to": [1, 1], "width": 1}
    for i in range(33):
        nested = dimension(f"n{i}", primitives=[nested])
    for name, doc, needle in cases:
        if doc is None:
            doc = boards.board([nested])
        path = doc if isinstance(doc, str) else env.write_board(name.replace(" ", "-"), doc)
        # bench_korvex BM_OwnerChains reads 40,000 chained groups in 80 ms (release
        # build); ten seconds leave room for the sanitizers and a busy machine,
        # while the quadratic walk this replaced took half a minute.
        run_refusal(env, name, path, folder, needle is None, needle or "", timeout=10)


def case_hostile_environments(env):
    """Planted engines and data files, a target the run reads, a private
    earlier drawing, a store that cannot be written or holds values out of
    range, a long target name, an export stopped while it writes."""
    board = env.write_board("board", boards.HOLES_SHOWN)
    work = env.path("hostile-env")
    os.makedirs(work)
    orvanta = os.path.join(env.bin, "orvanta")
    junk = os.path.join(work, "junk")
    os.makedirs(junk)
    for name in ("libtav2.so", "LIBTAV2.SO", "TAVINIT.DAT"):
        with open(os.path.join(junk, name), "w") as f:
            f.write("planted\n")

    # Planted in the working folder and along PATH (absolute, empty and
    # relative entries): the installed engine and data file are used.
    run_refusal(env, "planted in cwd and PATH", board, work, True, "", cwd=junk,
                environ={"PATH": f":.:{junk}:/usr/bin:/bin"})
    # Without an installed engine the planted ones are still not taken.
    host = isolated_host(env, None, False)
    run_refusal(env, "planted, none installed", board, work, False, "was not found",
                cwd=junk, environ={"PATH": ":."},
                cmd=[os.path.join(host, "orvanta"), "export", board, "-o",
                     os.path.join(work, "out.dxf")])

    # The target is the board itself, under its own name or through a link.
    copy = os.path.join(work, "copy.json")
    shutil.copy(board, copy)
    for name, target in (("target is the board", copy),
                         ("target links the board", os.path.join(work, "link.dxf"))):
        if target.endswith("link.dxf"):
            os.link(copy, target)
        with open(copy) as f:
            text = f.read()
        r = subprocess.run([orvanta, "export", copy, "-o", target, "--format", "dxf"],
                           env=dict(os.environ, XDG_CONFIG_HOME=env.config),
                           capture_output=True, text=True)
        check(r.returncode == 2 and "is the board document" in r.stderr,
              f"{name}: {r.returncode} {r.stderr!r}")
        with open(copy) as f:
            check(f.read() == text, f"{name}: the board was changed")
    os.unlink(os.path.join(work, "link.dxf"))
    os.unlink(copy)

    # A private earlier drawing stays private.
    out = os.path.join(work, "out.dxf")
    run_refusal(env, "private", board, work, True, "")
    os.chmod(out, 0o600)
    run_refusal(env, "private again", board, work, True, "")
    check(os.stat(out).st_mode & 0o777 == 0o600, "the private drawing became readable")
    with open(out) as f:
        check("SECTION" in f.read(64), "private: no drawing written")

    # A store that cannot be written serves an export that changes nothing.
    store_dir = env.path("ro-store")
    os.makedirs(store_dir)
    store = os.path.join(store_dir, "options.ini")
    with open(store, "w") as f:
        f.write("[Quennet/Dialog]\nOnly Visible Layers=0\nACAD Version=4\nOutput Format=1\n"
                "Units=0\nHole Mode=1\nComponents Mode=0\nRounded Tracks=-1\n"
                "Zero Width Lines=0\n")
    cmd = [orvanta, "export", board, "-o", out]
    ro = ["unshare", "-m", "sh", "-c",
          'mount --bind "$0" "$0" && mount -o remount,bind,ro "$0" && exec "$@"', store_dir]
    probe = subprocess.run(ro + ["true"], capture_output=True)
    if probe.returncode == 0:
        cmd = ro + cmd
    elif os.getuid() != 0:
        os.chmod(store, 0o400)
        os.chmod(store_dir, 0o500)
    else:
        print("read-only store: no private mount namespace here; case skipped")
        cmd = None
    if cmd:
        run_refusal(env, "read-only store", board, work, True, "", cmd=cmd,
                    environ={"ORVANTA_OPTIONS_FILE": store})
        os.chmod(store_dir, 0o700)
        # ...and one that would change it fails with the store named.
        r = subprocess.run(cmd + R12[:0] + ["--units", "mm"], capture_output=True, text=True,
                           env=dict(os.environ, ORVANTA_OPTIONS_FILE=store))
        check(r.returncode == 2 and store in r.stderr, f"read-only store written: {r.stderr!r}")

    # Values out of range in the store stop the export, naming file, key, value.
    for key, value in (("ACAD Version", "65541"), ("Units", "2"), ("Hole Mode", "7"),
                       ("Components Mode", "-3"), ("Zero Width Lines", "300"),
                       ("Output Format", "2")):
        bad = os.path.join(work, "..", "bad-options.ini")
        with open(bad, "w") as f:
            f.write(f"[Quennet/Dialog]\n{key}={value}\n")
        r = run_refusal(env, f"{key}={value}", board, work, False, f'"{key}" is {value}',
                        cmd=[orvanta, "export", board, "-o", out], options=[],
                        environ={"ORVANTA_OPTIONS_FILE": bad})
        check(os.path.basename(bad) in r.stderr, f"{key}: the store is not named")

    # A target name near the file system's limit.
    long_name = "d" * 251 + ".dxf"
    r = subprocess.run([orvanta, "export", board, "-o", long_name] + R12, cwd=work,
                       env=dict(os.environ, XDG_CONFIG_HOME=env.config),
                       capture_output=True, text=True)
    check(r.returncode == 0, f"a long target name was refused: {r.stderr.strip()}")
    os.unlink(os.path.join(work, long_name))

    # Stopped while writing (the signal comes once the run holds the output
    # open): the earlier drawing remains and nothing else.
    big = env.write_board("big", boards.board([
        {"kind": "track", "layer": "TopLayer", "from": [i, 0], "to": [i, 1000], "width": 5}
        for i in range(20000)]))
    for sig in (signal.SIGTERM, signal.SIGINT, signal.SIGKILL):
        with open(out, "w") as f:
            f.write("the user's earlier drawing\n")
        before = set(os.listdir(work))
        p = subprocess.Popen([orvanta, "export", big, "-o", out] + R12, cwd=work,
                             env=dict(os.environ, XDG_CONFIG_HOME=env.config),
                             stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        writing = wait_for_output(p.pid, work, 120)
        p.send_signal(sig)
        p.communicate()
        check(writing, f"{sig.name}: the run never opened its output")
        check(p.returncode == -sig, f"{sig.name}: the run ended with {p.returncode}")
        left = set(os.listdir(work)) - before
        check(not left, f"{sig.name}: left behind {sorted(left)}")
        with open(out, "rb") as f:
            check(f.read() == b"the user's earlier drawing\n", f"{sig.name}: the target changed")


def wait_for_output(pid, folder, timeout):
    """Waits until the process holds a file of `folder` open."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        try:
            fds = os.listdir(f"/proc/{pid}/fd")
        except FileNotFoundError:
            return False
        for fd in fds:
            try:
                if os.readlink(f"/proc/{pid}/fd/{fd}").startswith(folder + "/"):
                    return True
            except OSError:
                pass
        time.sleep(0.002)
    return False


CASES.update(component_via=case_component_via,
             hostile_documents=case_hostile_documents,
             hostile_environments=case_hostile_environments)


def main():
    p = argparse.ArgumentParser()
    p.add_argument("case", choices=sorted(CASES))
    p.add_argument("--bin", required=True)
    p.add_argument("--recording", required=True)
    p.add_argument("--readers", required=True)
    p.add_argument("--work", required=True)
    args = p.parse_args()
    # The file holds names in the form every release accepts; what the
    # emitters asked for is compared in that form.
    sys.path.insert(0, os.path.abspath(args.readers))
    global file_names, symbol_name
    from compare import file_names, symbol_name
    try:
        CASES[args.case](Env(args))
    except Failure as e:
        print(f"{args.case}: {e}", file=sys.stderr)
        return 1
    print(f"{args.case}: ok")
    return 0


if __name__ == "__main__":
    sys.exit(main())
