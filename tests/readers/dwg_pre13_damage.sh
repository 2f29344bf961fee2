#!/bin/sh
# Exports a board as DWG R11/R12, flips one byte in each section that carries
# a check (header variables, an entity, a table row, a block's entity, the
# auxiliary header) and expects each damage to be reported. LibreDWG reads
# these files without verifying their CRCs (it reads every damaged copy with
# error code 0, which is printed), so the report comes from our own check,
# dwg_pre13_check.py.
#
#   dwg_pre13_damage.sh ORVANTA BOARD WORKDIR
set -u
orvanta=$1 board=$2 work=$3
readers=$(dirname "$0")
rm -rf "$work" && mkdir -p "$work/config" || exit 2
export XDG_CONFIG_HOME="$work/config"
"$orvanta" export "$board" -o "$work/board" --format dwg --version R12 >/dev/null ||
  { echo "dwg_pre13_damage: export failed" >&2; exit 1; }
/usr/bin/python3 "$readers/dwg_pre13_check.py" "$work/board.dwg" || exit 1
/usr/bin/python3 - "$work/board.dwg" "$readers" <<'PY'
import struct, subprocess, sys
path, readers = sys.argv[1], sys.argv[2]
d = open(path, "rb").read()
es, ee, bs = struct.unpack_from("<3I", d, 0x14)
layers = struct.unpack_from("<I", d, 0x2C + 10 + 6)[0]
places = {"header variables": 0x100, "an entity": es + 20, "a LAYER row": layers + 5,
          "a block's entity": bs + 12, "the auxiliary header": len(d) - 40}
failed = False
for what, at in places.items():
    damaged = bytearray(d)
    damaged[at] ^= 0x10
    copy = path + ".damaged"
    open(copy, "wb").write(damaged)
    ours = subprocess.run(["/usr/bin/python3", f"{readers}/dwg_pre13_check.py", copy],
                          capture_output=True, text=True)
    theirs = subprocess.run(["node", f"{readers}/dwg_read_libredwg.mjs", copy],
                            capture_output=True, text=True)
    verdict = "rejected" if theirs.returncode else "read it with error code 0"
    print(f"byte 0x{at:X} in {what}: our check: {ours.stderr.strip() or 'nothing found'}; "
          f"LibreDWG {verdict}")
    if ours.returncode != 1:
        failed = True
sys.exit(1 if failed else 0)
PY
