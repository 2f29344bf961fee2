#!/bin/sh
# Installs what is needed, builds, and exports the bundled example board to a
# drawing with the stored options (at first the defaults: out/example-board.dwg, DWG R13).
set -eu
cd "$(dirname "$0")"
scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DORVANTA_TESTS=OFF -DORVANTA_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)" --target orvanta
mkdir -p out
build/bin/orvanta export examples/example-board.json -o out/example-board "$@"
