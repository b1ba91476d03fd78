#!/usr/bin/env bash
# Installs what is missing, builds every flavour and runs every test through ctest, native first:
# the Windows tests on the 64-bit build always, and on the 32-bit build where the machine runs
# 32-bit programs.
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

# Both Windows products: the 32-bit and the 64-bit build of the same sources, each with its
# installer and portable package.
cmake --preset win32
cmake --build --preset win32
cmake --preset win64
cmake --build --preset win64
if orv_wine_i386_ok; then
  ctest --preset win32
else
  # The 32-bit program and packages are built above, with warnings as errors and the layout
  # checks of the shared structures; this machine cannot run 32-bit code.
  echo "test: this machine runs 64-bit programs only; the 32-bit build is compiled, not run"
fi
ctest --preset win64
