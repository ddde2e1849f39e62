#!/usr/bin/env bash
# Opens the tool on the simulated master unit (installs and builds what is needed).
set -euo pipefail
cd "$(dirname "$0")"
./tools/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j "$(nproc)"
echo "the window arrives with the main-window work"
