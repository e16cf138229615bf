#!/usr/bin/env bash
# The console end to end: builds a Release tree with the benchmarks
# (build/bench), then runs tarnel-console --raw over a loopback connection
# that delivers a 10 MB MCCP2 game transcript, once for each trigger count,
# and prints the console's CPU time (the least of three runs) and peak
# memory.  The load of each run:
# N triggers of which 10 fire often, 20 highlights, 10 replaces, the log.
#
#   bash bench/console_session.sh [--no-build] [TRIGGERS...]
#
# TRIGGERS defaults to 10 100 1000 5000.  Packages come from
# scripts/setup.sh (run it once first).
set -euo pipefail
cd "$(dirname "$0")/.."

build=1
if [ "${1:-}" = "--no-build" ]; then
  build=0
  shift
fi
counts=("$@")
[ ${#counts[@]} -eq 0 ] && counts=(10 100 1000 5000)

if [ "$build" = 1 ]; then
  cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARNEL_TESTS=OFF \
    -DTARNEL_BENCH=ON >/dev/null
  cmake --build build/bench --target tarnel-console tarnel-console-session
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/tarnel-console-session.XXXXXX")
trap 'rm -rf "$work"' EXIT
build/bench/bench/tarnel-console-session "$PWD/build/bench/tarnel-console" "$work" "${counts[@]}"
