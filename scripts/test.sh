#!/usr/bin/env bash
# Installs the dependencies, builds everything and runs every test through ctest.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/install-deps.sh"
bash "$top/scripts/build.sh"
# The fuzz targets are a second, clang build; building them here keeps the test run itself short.
if command -v clang++ >/dev/null 2>&1; then
  FUZZ_JOBS=$(nproc) sh "$top/scripts/fuzz.sh" --build-only --build-dir "$top/build/fuzz-build"
fi
export QT_QPA_PLATFORM=offscreen
cd "$top/build"
ctest --output-on-failure --parallel "$(nproc)" --timeout 600
