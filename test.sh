#!/bin/sh
# Installs what is needed, builds with the address and undefined-behaviour
# sanitizers, and runs every test.
set -eu
cd "$(dirname "$0")"
scripts/setup.sh
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=Debug -DORVANTA_SANITIZE=ON >/dev/null
cmake --build build-test -j"$(nproc)"
# Nothing of the user's is read or written: a test that names no options
# store of its own (XDG_CONFIG_HOME or ORVANTA_OPTIONS_FILE) gets one here.
unset ORVANTA_OPTIONS_FILE
export XDG_CONFIG_HOME="$PWD/build-test/test-home/config"
export ORVANTA_REGISTRY_ROOT="$PWD/build-test/test-home/registry"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
cd build-test
# Dialog tests need a display: give them a virtual one when there is none
# (kept up between clients, so one window closing does not reset it under the next).
if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null 2>&1; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" ctest --output-on-failure -j"$(nproc)"
fi
exec ctest --output-on-failure -j"$(nproc)"
