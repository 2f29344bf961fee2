#!/usr/bin/python3
"""End to end: orvanta exports a board to DXF of one release with the real
drawing engine, and once more with the recording engine, which writes what the
exporter asked the engine to draw as normalised JSON. Both independent readers
must then read the DXF without complaint and find exactly that, entity by
entity.

usage: export_readback.py BIN_DIR RECORDING_DIR BOARD WORK_DIR VERSION [OPTION...]
BIN_DIR holds orvanta and its modules, RECORDING_DIR the recording libtav2.so;
VERSION is an orvanta --version value (V2.5 .. R14); OPTIONs go to orvanta."""
import os
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
MODULES = ["orvanta", "libquennet.so", "libkorvex.so"]


def run(cmd, env):
    p = subprocess.run(cmd, capture_output=True, text=True, env=env)
    return p.returncode, p.stdout, p.stderr


# LeakSanitizer's own tracer can crash at exit in a process that unloaded a
# module with thread-local storage (the host unloads its plug-in): the export
# is done by then, and the crash is the checker's, not the program's. Such a
# run is repeated once without leak checking, and said so.
LSAN_TRACER_CRASH = "LeakSanitizer has encountered a fatal error"


def export(cmd, env):
    code, out, err = run(cmd, env)
    if code != 0 and LSAN_TRACER_CRASH in err and "Tracer caught signal" in err:
        print(f"note: leak checker crashed in {cmd[0]}; repeated without it", file=sys.stderr)
        quiet = dict(env, ASAN_OPTIONS=env.get("ASAN_OPTIONS", "") + ":detect_leaks=0")
        code, out, err = run(cmd, quiet)
    return code, out, err


def main():
    if len(sys.argv) < 6:
        print(__doc__, file=sys.stderr)
        return 2
    bin_dir, rec_dir, board, work, version = sys.argv[1:6]
    options = sys.argv[6:]
    tag = version.replace(".", "_")
    work = os.path.join(work, tag + "".join(o.strip("-") for o in options))
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    env = dict(os.environ, ORVANTA_OPTIONS_FILE=os.path.join(work, "options.ini"))

    # The exporter finds its engine beside itself: a folder of copies with the
    # recording engine in the real one's place.
    rec = os.path.join(work, "recording")
    os.makedirs(rec)
    for m in MODULES:
        shutil.copy2(os.path.join(bin_dir, m), rec)
    for m in ["libtav2.so", "TAVINIT.DAT"]:
        shutil.copy2(os.path.join(rec_dir, m), rec)

    # The exporter gives the file the format's extension: the recording
    # engine's listing is JSON under a .dxf name.
    expected = os.path.join(work, "expected.dxf")
    dxf = os.path.join(work, "board.dxf")
    faults = []
    for exe, out in [(os.path.join(rec, "orvanta"), expected),
                     (os.path.join(bin_dir, "orvanta"), dxf)]:
        code, _, err = export([exe, "export", board, "-o", out, "--version", version,
                               "--format", "dxf"] + options, env)
        if code != 0 or not os.path.exists(out):
            faults.append(f"{exe} export {version} failed ({code}): {err.strip()}")
    if faults:
        print("\n".join(faults), file=sys.stderr)
        return 1

    readers = [
        ("ezdxf", ["/usr/bin/python3", os.path.join(HERE, "read_ezdxf.py"), dxf]),
        ("libdxfrw", ["node", os.path.join(HERE, "read_libdxfrw.js"), dxf]),
    ]
    for name, cmd in readers:
        code, out, err = run(cmd, env)
        if code != 0:
            faults.append(f"{name} rejected {dxf}: {err.strip()}")
            continue
        actual = os.path.join(work, name + ".json")
        with open(actual, "w") as f:
            f.write(out)
        code, out, err = run(["/usr/bin/python3", os.path.join(HERE, "compare.py"),
                              expected, actual], env)
        if code != 0:
            faults.append(out.strip() + err.strip())
    if faults:
        print("\n".join(faults), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
