#!/usr/bin/env bash
# Installs what is missing, builds both flavours and runs every test through ctest, native first.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
. scripts/display.sh
. tests/wine-env.sh

cmake --preset native
cmake --build --preset native
ctest --preset native

# The fuzz targets (clang, libFuzzer), each for a few seconds on a copy of its seed corpus.
cmake --preset fuzz
cmake --build --preset fuzz
ctest --preset fuzz

cmake --preset win32
cmake --build --preset win32
if orv_wine_i386_ok; then
  ctest --preset win32
else
  # The 32-bit program is built above; this machine cannot run 32-bit code, so the Windows
  # tests run on the 64-bit build of the same sources.
  echo "test: this machine runs 64-bit programs only; running the Windows tests on the win64 build"
  cmake --preset win64
  cmake --build --preset win64
  ctest --preset win64
fi
