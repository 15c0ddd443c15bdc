#!/usr/bin/env bash
# Builds everything from scratch in build/ and runs every test: the unit
# tests, the artifact checks and the Wine end-to-end suite.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-prerequisites.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build -j"$(nproc)"
# Each engine's installer rows have a test and a Wine prefix of their own:
# one a core.
ctest --test-dir build --output-on-failure -j"$(nproc)"
