#!/usr/bin/env bash
# Opens the tool on the simulated master unit (installs and builds what is needed).
# The demo's working directory (config.ini), the simulator's state file (the master's
# committed ID table) and its wire log stay in build/demo/, so a second run shows what the
# first one wrote when its window was closed. Delete build/demo/ to start afresh.
set -euo pipefail
cd "$(dirname "$0")"
root=$(pwd)
./tools/install-deps.sh run
# What the Debian package holds (the two programs, their library and the D2XX driver on
# libftdi beside it, the manual pages) and the simulated master: no tests, so the test tools
# need not be installed. ./test.sh turns the tests on again in the same folder.
cmake -S . -B build -G Ninja -DKESTRAVION_TESTS=OFF -DKESTRAVION_BENCH=OFF >/dev/null
cmake --build build -j "$(nproc)" --target tarvelo tarvelo-cli brenvoli kestravion_d2xx man_pages \
    ftd2xx_sim

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "run.sh: no display to open the window on (DISPLAY is not set)" >&2
    exit 1
fi

demo="$root/build/demo"
mkdir -p "$demo"
cd "$demo"
export KSIM_SCENARIO="$root/sim/scenarios/demo.json"
export KSIM_STATE="$demo/master-state.txt"
export KSIM_WIRELOG="$demo/wire.log"
# The interface library finds the simulated driver by the ordinary library search.
export LD_LIBRARY_PATH="$root/build/sim${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
echo "tarvelo on the simulated master; working directory, state and wire log in $demo"
exec "$root/build/bin/tarvelo"
