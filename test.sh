#!/usr/bin/env bash
# Builds everything and runs every test through ctest.
set -euo pipefail
top="$(cd "$(dirname "$0")" && pwd)"
"$top/scripts/install-deps"
"$top/scripts/build"
cd "$top/build"
ctest --output-on-failure -j "$(nproc)" --timeout 600
