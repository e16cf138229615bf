#!/usr/bin/env bash
# Set-up of Tarnel MUD Client on a Debian 12 machine: installs the packages
# that are missing, builds, and then either starts the client or runs every
# test.
#
#   bash scripts/setup.sh run  [arguments for the client]
#   bash scripts/setup.sh test
set -euo pipefail

mode="${1:-run}"
[ $# -gt 0 ] && shift
cd "$(dirname "$0")/.."

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-multimedia-dev libgl-dev zlib1g-dev
  libgtest-dev libgmock-dev libbenchmark-dev libtelnet-dev
  clang libclang-rt-14-dev
  fonts-dejavu-core
  tinymux xvfb x11-utils
  dpkg-dev desktop-file-utils appstream groff-base
  openssl ca-certificates
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

jobs=$(nproc 2>/dev/null || echo 2)

case "$mode" in
  run)
    cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARNEL_TESTS=OFF \
      -DTARNEL_WERROR=OFF
    cmake --build build/release -j "$jobs"
    if [ -x build/release/tarnel ] && [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
      exec build/release/tarnel "$@"
    fi
    if [ -x build/release/tarnel ]; then
      echo "No display found (DISPLAY is not set): starting the console client instead."
      echo "Run build/release/tarnel from a desktop session for the window."
    fi
    exec build/release/tarnel-console "$@"
    ;;
  test)
    cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTARNEL_SANITIZE=ON \
      -DTARNEL_BENCH=ON -DTARNEL_WERROR=ON
    cmake --build build/test -j "$jobs"
    # A packager's plain build with clang, tests and all: clang must build
    # every file, not only the core.
    CC=clang CXX=clang++ cmake -S . -B build/clang -G Ninja -DCMAKE_BUILD_TYPE=Release
    cmake --build build/clang -j "$jobs"
    # The core also builds with clang: the fuzz targets, each run briefly.
    CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DTARNEL_FUZZ=ON -DTARNEL_GUI=OFF -DTARNEL_TESTS=OFF
    cmake --build build/fuzz -j "$jobs"
    # Each target for 15 seconds on a scratch copy of its seeds, with its
    # dictionary; what it finds is listed (build/fuzz/findings) and the
    # tests run all the same.
    bash scripts/fuzz.sh --no-build 15 || echo "Fuzzing found something: see the list above."
    log=build/test/ctest.log
    set +e
    (cd build/test && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs") 2>&1 | tee "$log"
    status=${PIPESTATUS[0]}
    set -e
    grep -E "tests passed|tests failed" "$log" | tail -1
    exit "$status"
    ;;
  *)
    echo "usage: bash scripts/setup.sh run|test" >&2
    exit 2
    ;;
esac
