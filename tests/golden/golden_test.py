#!/usr/bin/env python3
"""Byte identity of the example board's exports.

Exports examples/example-board.json through orvanta in every format and
release that has a golden file in tests/golden/example-board/ and compares
the bytes. The creation date is fixed by SOURCE_DATE_EPOCH, and every export
option is named, so nothing but a change of the writers moves a byte.

A golden file is named <format>-<release>.<format>, e.g. dwg-R14.dwg; the
test covers a pair as soon as its golden file exists. The pairs the engine
has always written must have one.

Regenerate after a deliberate change of the output (review the diff first):

    python3 tests/golden/golden_test.py --bin build-test/bin --regenerate

--regenerate writes a golden file for every pair the engine accepts; name
pairs to write only those, e.g. for a release the engine has learnt to write:

    python3 tests/golden/golden_test.py --bin build-test/bin --regenerate dwg-R12

The test names the pairs the engine writes that have no golden file yet.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
SOURCE_BOARD = os.path.join(ROOT, "examples", "example-board.json")
# The board's file name is drawn as text (.Pcb_File_Name), so the golden files
# would depend on where the project is checked out: export a copy kept at one
# fixed place instead.
BOARD = "/tmp/orvanta-golden/example-board.json"
GOLDEN = os.path.join(HERE, "example-board")
EPOCH = "1700000000"  # 2023-11-14 22:13:20 UTC
OPTIONS = ["--units", "in", "--holes", "off", "--components", "blocks", "--ends", "round",
           "--zero-width", "none", "--layers", "all"]
RELEASES = ["V2.5", "V2.6", "R9", "R10", "R11", "R12", "R13", "R14"]
REQUIRED = [(fmt, r) for fmt in ("dxf", "dwg") for r in RELEASES]


def golden_name(fmt, release):
    return f"{fmt}-{release}.{fmt}"


def export(orvanta, work, fmt, release):
    """Exports one pair; returns its bytes, or None with the reason."""
    os.makedirs(os.path.dirname(BOARD), exist_ok=True)
    shutil.copyfile(SOURCE_BOARD, BOARD)
    out = os.path.join(work, golden_name(fmt, release))
    env = dict(os.environ, SOURCE_DATE_EPOCH=EPOCH, TZ="UTC",
               ORVANTA_OPTIONS_FILE=os.path.join(work, "options.ini"))
    env.pop("XDG_CONFIG_HOME", None)
    r = subprocess.run([orvanta, "export", BOARD, "-o", out, "--format", fmt,
                        "--version", release] + OPTIONS,
                       cwd=work, env=env, capture_output=True, text=True, timeout=120)
    if r.returncode != 0:
        return None, (r.stderr or r.stdout).strip()
    with open(out, "rb") as f:
        return f.read(), ""


def first_difference(a, b):
    n = min(len(a), len(b))
    for i in range(n):
        if a[i] != b[i]:
            return i
    return n


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--bin", required=True, help="folder of the orvanta program")
    ap.add_argument("--regenerate", nargs="*", metavar="FORMAT-RELEASE",
                    help="write golden files: those named, or all the engine writes")
    args = ap.parse_args()
    orvanta = os.path.join(os.path.abspath(args.bin), "orvanta")

    with tempfile.TemporaryDirectory(prefix="golden-") as work:
        pairs = [(fmt, release) for fmt in ("dxf", "dwg") for release in RELEASES]
        if args.regenerate is not None:
            wanted = set(args.regenerate)
            unknown = wanted - {f"{fmt}-{release}" for fmt, release in pairs}
            if unknown:
                print("not a pair: " + ", ".join(sorted(unknown)), file=sys.stderr)
                return 2
            os.makedirs(GOLDEN, exist_ok=True)
            for fmt, release in pairs:
                if wanted and f"{fmt}-{release}" not in wanted:
                    continue
                data, why = export(orvanta, work, fmt, release)
                if data is None:
                    print(f"{fmt} {release}: not written ({why})")
                    continue
                with open(os.path.join(GOLDEN, golden_name(fmt, release)), "wb") as f:
                    f.write(data)
                print(f"{fmt} {release}: {len(data)} bytes")
            return 0

        failures = []
        present = sorted(n for n in os.listdir(GOLDEN) if not n.startswith("."))
        for fmt, release in REQUIRED:
            if golden_name(fmt, release) not in present:
                failures.append(f"{golden_name(fmt, release)}: golden file missing")
        for name in present:
            stem, ext = os.path.splitext(name)
            fmt, _, release = stem.partition("-")
            if ext != "." + fmt or fmt not in ("dxf", "dwg") or release not in RELEASES:
                failures.append(f"{name}: not a golden file name (<format>-<release>.<format>)")
                continue
            with open(os.path.join(GOLDEN, name), "rb") as f:
                want = f.read()
            got, why = export(orvanta, work, fmt, release)
            if got is None:
                failures.append(f"{name}: export failed: {why}")
            elif got != want:
                at = first_difference(got, want)
                failures.append(f"{name}: {len(got)} bytes exported, {len(want)} in the golden "
                                f"file; first difference at byte {at} (0x{at:x})")
            print(f"{name}: checked")
        for fmt, release in pairs:
            if golden_name(fmt, release) not in present and export(orvanta, work, fmt,
                                                                   release)[0] is not None:
                print(f"{fmt}-{release}: written by the engine, no golden file yet "
                      f"(--regenerate {fmt}-{release} adds it)")
        for f in failures:
            print("FAIL " + f, file=sys.stderr)
        return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
