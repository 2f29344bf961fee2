#!/bin/sh
# Exports a board as DWG and as DXF with the same options, reads the DWG with
# LibreDWG and (R13, R14) libdxfrw and the DXF with ezdxf, and compares what
# they read entity by entity.
#
#   dwg_export_check.sh ORVANTA BOARD WORKDIR RELEASE [export options...]
set -u
orvanta=$1 board=$2 work=$3 release=$4
shift 4
readers=$(dirname "$0")
rm -rf "$work" && mkdir -p "$work/config" || exit 2
# A private options store, so the run neither reads nor changes the user's.
export XDG_CONFIG_HOME="$work/config"

fail() {
  echo "dwg_export_check: $release $*: $1" >&2
  exit 1
}

"$orvanta" export "$board" -o "$work/board" --format dwg --version "$release" "$@" ||
  fail "DWG export failed"
"$orvanta" export "$board" -o "$work/board" --format dxf --version "$release" "$@" ||
  fail "DXF export failed"
[ -s "$work/board.dwg" ] || fail "no board.dwg written"

node "$readers/dwg_read_libredwg.mjs" "$work/board.dwg" >"$work/libredwg.json" ||
  fail "LibreDWG rejected board.dwg"
# libdxfrw reads DWG from R13 on; files of the older releases have their
# structure and checks verified instead, which LibreDWG does not do for them.
case $release in
R13 | R14)
  node "$readers/dwg_read_libdxfrw.js" "$work/board.dwg" >"$work/libdxfrw.json" ||
    fail "libdxfrw rejected board.dwg"
  ;;
*)
  /usr/bin/python3 "$readers/dwg_pre13_check.py" "$work/board.dwg" ||
    fail "board.dwg is damaged"
  ;;
esac
/usr/bin/python3 "$readers/read_ezdxf.py" "$work/board.dxf" >"$work/ezdxf.json" ||
  fail "ezdxf rejected board.dxf"
status=0
/usr/bin/python3 "$readers/dwg_compare.py" "$work/ezdxf.json" "$work/libredwg.json" || status=1
[ -f "$work/libdxfrw.json" ] &&
  { /usr/bin/python3 "$readers/dwg_compare.py" "$work/ezdxf.json" "$work/libdxfrw.json" || status=1; }
exit $status
