#!/bin/sh
# Reads one of AutoCAD's own pre-R13 DWG files with the same reader and checks
# as our exports: LibreDWG must read it without error, what it reads must
# agree with AutoCAD's DXF of the drawing (dwg_reference_compare.py names the
# reader's known limits), and its structure and checks must pass our check.
# A reader limit then shows here as well as in our files; a fault of ours
# shows only there.
#
#   dwg_reference_check.sh DRAWING.dwg DRAWING.dxf WORKDIR
set -u
dwg=$1 dxf=$2 work=$3
readers=$(dirname "$0")
rm -rf "$work" && mkdir -p "$work" || exit 2
node "$readers/dwg_read_libredwg.mjs" "$dwg" >"$work/libredwg.json" ||
  { echo "dwg_reference_check: LibreDWG rejected $dwg" >&2; exit 1; }
status=0
/usr/bin/python3 "$readers/dwg_reference_compare.py" "$dxf" "$work/libredwg.json" || status=1
/usr/bin/python3 "$readers/dwg_pre13_check.py" "$dwg" || status=1
exit $status
