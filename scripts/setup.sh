#!/bin/sh
# Installs what building, running and testing the project needs on Debian 12:
# the Debian packages (skipped when all are present) and the independent
# drawing readers of the tests (npm, under tests/readers).
set -eu
cd "$(dirname "$0")/.."

PACKAGES="cmake make g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev rapidjson-dev
  python3 python3-ezdxf libfltk1.3-dev xvfb xauth xdotool imagemagick clang-format ca-certificates"
# The PCB editor module reads board documents with simdjson.
PACKAGES="$PACKAGES libsimdjson-dev"
# Real KiCad boards in the tests: KiCad's demo boards, KiCad itself (its
# Python module plots the copper the exports are measured against) and
# shapely for the areas.
PACKAGES="$PACKAGES kicad kicad-demos python3-shapely"
# Node may come from elsewhere than Debian; only ask Debian for it when missing.
command -v node >/dev/null 2>&1 || PACKAGES="$PACKAGES nodejs"
command -v npm >/dev/null 2>&1 || PACKAGES="$PACKAGES npm"
# The reader's fuzz test is built with clang and its libFuzzer runtime.
PACKAGES="$PACKAGES clang libclang-rt-14-dev"

missing=""
for p in $PACKAGES; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
done

if [ -n "$missing" ]; then
  echo "setup: installing$missing"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  log=$(mktemp)
  # shellcheck disable=SC2086
  if ! { $SUDO apt-get update -qq && $SUDO apt-get install -y -qq --no-install-recommends $missing; } >"$log" 2>&1; then
    cat "$log" >&2
    rm -f "$log"
    echo "setup: installing the Debian packages failed" >&2
    exit 1
  fi
  rm -f "$log"
fi

# The readers: installed again only when their package files changed.
if [ -f tests/readers/package.json ]; then
  stamp=tests/readers/node_modules/.orvanta-installed
  if [ ! -f "$stamp" ] || [ tests/readers/package.json -nt "$stamp" ] ||
     { [ -f tests/readers/package-lock.json ] && [ tests/readers/package-lock.json -nt "$stamp" ]; }; then
    echo "setup: installing the drawing readers (npm)"
    if [ -f tests/readers/package-lock.json ]; then
      (cd tests/readers && npm ci --no-audit --no-fund --loglevel=error)
    else
      (cd tests/readers && npm install --no-audit --no-fund --loglevel=error)
    fi
    touch "$stamp"
  fi
fi
