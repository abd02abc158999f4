#!/usr/bin/env bash
# Builds everything and runs every test through ctest.
set -euo pipefail
top="$(cd "$(dirname "$0")" && pwd)"
# Compiler cache entries are shared between clones of the repository (paths relative to it).
export CCACHE_BASEDIR="$top" CCACHE_NOHASHDIR=1
"$top/scripts/install-deps"
"$top/scripts/build"
cd "$top/build"
ctest --output-on-failure -j "$(nproc)" --timeout 600

# The decoder's bad-input tests once more under AddressSanitizer and UndefinedBehaviorSanitizer
# (leaks included), in a small second build of just that test program.
cmake -S "$top" -B "$top/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVG_SANITIZE=ON \
  >/dev/null
cmake --build "$top/build-asan" --target test_decoder -j "$(nproc)"
QT_QPA_PLATFORM=offscreen "$top/build-asan/tests/decoder/test_decoder" --gtest_filter='BadInput.*'
