#!/usr/bin/env bash
# Builds Mirvaly and runs every test. Installs what is missing first.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/setup.sh
export QT_QPA_PLATFORM=offscreen
cd build
ctest --output-on-failure -j"$(nproc)" --timeout 600
