#!/bin/sh
# Installs what is needed, builds with the address and undefined-behaviour
# sanitizers, and runs every test.
set -eu
cd "$(dirname "$0")"
scripts/setup.sh
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=Debug -DORVANTA_SANITIZE=ON >/dev/null
cmake --build build-test -j"$(nproc)"
# The tests keep their options stores and registries in their own folders;
# nothing of the user's is read or written.
export ORVANTA_OPTIONS_FILE="$PWD/build-test/test-home/options.ini"
export ORVANTA_REGISTRY_ROOT="$PWD/build-test/test-home/registry"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
cd build-test
# Dialog tests need a display: give them a virtual one when there is none.
if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null 2>&1; then
  exec xvfb-run -a ctest --output-on-failure -j"$(nproc)"
fi
exec ctest --output-on-failure -j"$(nproc)"
