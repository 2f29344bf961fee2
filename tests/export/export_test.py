#!/usr/bin/python3
"""End-to-end tests of the export run: orvanta exports a board through the
plug-in and the drawing engine, independent readers read the file back.

usage: export_test.py CASE --bin DIR --recording DIR --readers DIR --work DIR

The recording engine (a test engine with the real engine's functions) is
picked up from the working folder, where the plug-in looks first; it writes
what a reader must find, in the readers' normalised JSON."""
import argparse
import json
import os
import shutil
import subprocess
import sys

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
        env = {"QUENNET_RECORDING_LOG": log} if log else None
        self.export(board, out, options, cwd=self.recording, env=env)
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
