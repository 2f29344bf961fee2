#!/usr/bin/python3
"""Compares what two readers read (normalised JSON, one file each, the last
line that starts with '{'): layers with their colours, block definitions and
model space, entity by entity. Numbers agree to 1e-9 relative (absolute near
zero); entity order within a list does not matter, since readers walk the
objects in different orders. Prints every difference and exits 1 when there
is one."""
import json
import math
import sys

from compare import EZDXF_ARROW_BLOCKS, READER_LAYERS

TOL = 1e-9


def drop_reader_additions(doc, other):
    """Layers and blocks a reader makes up on loading (ezdxf's Defpoints and
    dimension arrows) are not in the file; the other reader's output says
    whether the file has them."""
    for name in READER_LAYERS.get(doc.get("reader"), set()):
        if name not in other["layers"]:
            doc["layers"].pop(name, None)
    if doc.get("reader") == "ezdxf":
        for name in list(doc["blocks"]):
            if name in EZDXF_ARROW_BLOCKS and name not in other["blocks"]:
                del doc["blocks"][name]
        records = doc.get("tables", {}).get("BLOCK_RECORD")
        if records is not None:
            doc["tables"]["BLOCK_RECORD"] = [
                n for n in records if n not in EZDXF_ARROW_BLOCKS or n in other["blocks"]]


# DWG files before R13 (their reader reports the file's marker): the tables
# each release's DWG holds, the header variables its DXF has and its DWG has
# not (V2.5's header ends before the dimension variables of V2.6; R11's has
# no current dimension style), and the rows readers make up for them: ezdxf
# the two spaces, BYBLOCK, BYLAYER and the standard rows of the tables an old
# DXF lacks, LibreDWG the same and a second ACAD.
PRE13_TABLES = {
    "AC1002": {"LTYPE", "STYLE", "BLOCK_RECORD"},
    "AC1003": {"LTYPE", "STYLE", "BLOCK_RECORD"},
    "AC1004": {"LTYPE", "STYLE", "BLOCK_RECORD"},
    "AC1006": {"LTYPE", "STYLE", "BLOCK_RECORD", "VPORT"},
    "AC1009": {"LTYPE", "STYLE", "BLOCK_RECORD", "VPORT", "APPID", "DIMSTYLE"},
}
PRE13_HEADER_LACKS = {
    "AC1002": {"$DIMALT", "$DIMALTD", "$DIMASO", "$DIMSHO", "$DIMPOST", "$DIMAPOST",
               "$DIMALTF", "$DIMLFAC"},
    "AC1009": {"$DIMSTYLE"},
}
MADE_UP_ROWS = {"*MODEL_SPACE", "*PAPER_SPACE", "BYBLOCK", "BYLAYER"}


def drop_pre13_additions(exp, act):
    marker = act.get("dwgRelease") or exp.get("dwgRelease")
    if marker not in PRE13_TABLES:
        return
    for doc in (exp, act):
        for name in PRE13_HEADER_LACKS.get(marker, ()):
            doc.get("header", {}).pop(name, None)
        tables = doc.get("tables", {})
        for table in list(tables):
            rows = tables[table]
            if table not in PRE13_TABLES[marker]:
                del tables[table]
            elif isinstance(rows, list):
                tables[table] = sorted({n for n in rows if n.upper() not in MADE_UP_ROWS})
            else:
                for n in [n for n in rows if n.upper() in MADE_UP_ROWS]:
                    del rows[n]


def load(path):
    with open(path, encoding="utf-8") as f:
        lines = [line for line in f.read().splitlines() if line.startswith("{")]
    if not lines:
        raise SystemExit(f"{path}: no reader output")
    return json.loads(lines[-1])


def same(a, b):
    if isinstance(a, bool) or isinstance(b, bool):
        return a == b
    if isinstance(a, (int, float)) and isinstance(b, (int, float)):
        return math.isclose(a, b, rel_tol=TOL, abs_tol=TOL)
    if isinstance(a, list) and isinstance(b, list):
        return len(a) == len(b) and all(same(x, y) for x, y in zip(a, b))
    if isinstance(a, dict) and isinstance(b, dict):
        return a.keys() == b.keys() and all(same(a[k], b[k]) for k in a)
    return a == b


def angle(e, key):
    """Angles compare modulo a full turn."""
    if key in e and isinstance(e[key], (int, float)):
        e[key] = math.fmod(e[key], 360.0)
        if e[key] < 0:
            e[key] += 360.0
        if math.isclose(e[key], 360.0, abs_tol=TOL):
            e[key] = 0.0


def canon(e):
    e = dict(e)
    for key in ("start", "end", "rotation"):
        angle(e, key)
    return e


def key(e):
    """Sort key: type, layer, then the numbers rounded well above the tolerance."""
    def flat(v):
        if isinstance(v, list):
            return [x for item in v for x in flat(item)]
        if isinstance(v, bool):
            return [int(v)]
        if isinstance(v, (int, float)):
            return [round(v, 6)]
        return [str(v)]
    return [e.get("type", ""), e.get("layer", "")] + [
        str(x) for k in sorted(e) if k not in ("type", "layer") for x in flat(e[k])]


# Header variables a reader reports without reading them from the file, or
# not as the file holds them: ezdxf makes up the GUIDs and sets $ACADVER
# for its own release; LibreDWG gives the code page as the DWG's number
# (not the name the DXF holds) and the dates in its own form; dates differ
# between two saves anyway.
NOT_COMPARED = {"$FINGERPRINTGUID", "$VERSIONGUID", "$ACADVER", "$DWGCODEPAGE", "$TDCREATE",
                "$TDUPDATE", "$TDINDWG", "$TDUSRTIMER"}


def compare_values(where, a, b, problems):
    if isinstance(a, list) and isinstance(b, list):
        # A point one reader gives in 2D and the other in 3D: the common axes.
        n = min(len(a), len(b))
        a, b = a[:n], b[:n]
    if not same(a, b):
        problems.append(f"{where}: {json.dumps(a)} != {json.dumps(b)}")


def compare_header(exp, act, problems):
    """Every header variable both readers report."""
    common = (set(exp) & set(act)) - NOT_COMPARED
    if not common:
        problems.append("header: no variable both readers report")
    for name in sorted(common):
        compare_values(f"header {name}", exp[name], act[name], problems)
    return len(common)


def compare_tables(exp, act, problems):
    """The entries of every table both readers report, by name, and every
    value of an entry both report."""
    count = 0
    for table in sorted(set(exp) & set(act)):
        a, b = exp[table], act[table]
        if isinstance(a, list):
            if a != b:
                problems.append(f"table {table}: {a} != {b}")
            count += len(a)
            continue
        if sorted(a) != sorted(b):
            problems.append(f"table {table}: {sorted(a)} != {sorted(b)}")
        for name in sorted(set(a) & set(b)):
            for k in sorted(set(a[name]) & set(b[name])):
                compare_values(f"table {table} {name} {k}", a[name][k], b[name][k], problems)
                count += 1
    return count


def compare_lists(where, a, b, problems):
    a = sorted((canon(e) for e in a), key=key)
    b = sorted((canon(e) for e in b), key=key)
    if len(a) != len(b):
        problems.append(f"{where}: {len(a)} entities against {len(b)}")
    for x, y in zip(a, b):
        if not same(x, y):
            problems.append(f"{where}: {json.dumps(x)} != {json.dumps(y)}")
            if len(problems) > 40:
                return


def main():
    if len(sys.argv) != 3:
        print("usage: dwg_compare.py EXPECTED.json ACTUAL.json", file=sys.stderr)
        return 2
    exp, act = load(sys.argv[1]), load(sys.argv[2])
    drop_reader_additions(exp, act)
    drop_reader_additions(act, exp)
    drop_pre13_additions(exp, act)
    who = f"{exp.get('reader', sys.argv[1])} vs {act.get('reader', sys.argv[2])}"
    problems = []
    if not same(exp["layers"], act["layers"]):
        problems.append(f"layers: {exp['layers']} != {act['layers']}")
    if sorted(exp["blocks"]) != sorted(act["blocks"]):
        problems.append(f"blocks: {sorted(exp['blocks'])} != {sorted(act['blocks'])}")
    for name in sorted(set(exp["blocks"]) & set(act["blocks"])):
        compare_lists(f"block {name}", exp["blocks"][name], act["blocks"][name], problems)
    if exp.get("unordered") or act.get("unordered"):
        # libdxfrw's model space comes without polyline vertices (see
        # dwg_read_libdxfrw.js).
        for doc in (exp, act):
            doc["entities"] = [{k: v for k, v in e.items() if k != "vertices"}
                               if e.get("type") == "POLYLINE" else e for e in doc["entities"]]
    compare_lists("model space", exp["entities"], act["entities"], problems)
    variables = values = 0
    if "header" in exp and "header" in act:
        variables = compare_header(exp["header"], act["header"], problems)
    if "tables" in exp and "tables" in act:
        values = compare_tables(exp["tables"], act["tables"], problems)
    for p in problems:
        print(f"{who}: {p}", file=sys.stderr)
    if not problems:
        print(f"{who}: {len(exp['entities'])} model space entities and "
              f"{len(exp['blocks'])} blocks, {variables} header variables and {values} "
              f"table values agree")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
