#!/bin/sh
# Builds the board document reader with clang's libFuzzer and the address and
# undefined-behaviour sanitizers, and fuzzes it from the corpus in
# korvex/fuzz/corpus with the dictionary korvex/fuzz/board.dict.
#
# usage: scripts/fuzz-board.sh SECONDS [BUILD_DIR]
#   The test suite runs it for 60 seconds. By hand, for longer, on every core:
#     scripts/fuzz-board.sh 3600 build-fuzz
#   New inputs it finds go to BUILD_DIR/corpus (the checked-in corpus is only
#   read); a crash is written as BUILD_DIR/crash-* and the run fails.
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-60}
out=${2:-build-fuzz}
mkdir -p "$out/corpus"
fuzzer="$out/board_fuzzer"
sources="korvex/fuzz/board_fuzzer.cpp korvex/src/document/*.cpp korvex/src/session.cpp
  korvex/src/layernames.cpp layers/layers.cpp"
newest=$(ls -t $sources korvex/src/*.h korvex/src/document/*.h korvex/fuzz/ignorelist.txt | head -n 1)
if [ ! -x "$fuzzer" ] || [ "$newest" -nt "$fuzzer" ]; then
  clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
    -fsanitize-ignorelist=korvex/fuzz/ignorelist.txt -I. -Iinclude $sources -lsimdjson \
    -o "$fuzzer"
fi
# FUZZ_JOBS=N runs N fuzzers side by side; their logs go to BUILD_DIR/fuzz-*.log.
parallel=""
if [ "${FUZZ_JOBS:-1}" -gt 1 ]; then parallel="-jobs=$FUZZ_JOBS -workers=$FUZZ_JOBS"; fi
src=$(pwd)
cd "$out"
exec ./board_fuzzer -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -dict="$src/korvex/fuzz/board.dict" -artifact_prefix=./ -print_final_stats=1 \
  $parallel corpus "$src/korvex/fuzz/corpus"
