#!/usr/bin/env bash
# Builds the fuzz targets (build/fuzz, clang) and runs each in turn for a
# while on a scratch copy of its seed corpus, with its dictionary and the
# libFuzzer options of fuzz/<target>.options.  fuzz/corpus is only read:
# new inputs go to the scratch copy, which is removed at the end.  Prints a
# table of what ran and what was found, and exits non-zero when a target
# found something.  Nothing is installed here (scripts/setup.sh does that).
#
#   bash scripts/fuzz.sh [--no-build] [--fast] [--runs N] [--jobs N] [SECONDS] [TARGET...]
#
# SECONDS defaults to 60 per target.  --runs N ends a target's run after
# N inputs when that comes before SECONDS.  A run goes on after a finding
# (libFuzzer's fork mode), so one defect does not hide the rest; the files
# that reproduce what was found stay in build/fuzz/findings/<target>/ until
# that target runs again.  Runs are niced and use one core; --jobs N runs
# N fuzzing processes on one corpus (one per core), for a target whose
# inputs are slow.
#
# --fast is for long runs: the targets run without AddressSanitizer and
# without comparison tracing (build/fuzz-fast, UBSan only), which executes
# three to five times as many inputs, and afterwards every input the run
# kept (each one reaches code no earlier input reached) runs once more in
# the AddressSanitizer build.  What either finds counts.
set -euo pipefail
cd "$(dirname "$0")/.."

build=1
fast=0
runs_limit=""
jobs=1
while [ $# -gt 0 ]; do
  case "$1" in
    --no-build) build=0 ;;
    --fast) fast=1 ;;
    --runs) runs_limit="$2"; shift ;;
    --jobs) jobs="$2"; shift ;;
    *) break ;;
  esac
  shift
done
seconds="${1:-60}"
[ $# -gt 0 ] && shift
targets=("$@")

configure() {  # build dir, whether the fast build
  CC=clang CXX=clang++ cmake -S . -B "$1" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTARNEL_FUZZ=ON -DTARNEL_FUZZ_FAST="$2" -DTARNEL_GUI=OFF -DTARNEL_TESTS=OFF >/dev/null
  nice -n 19 cmake --build "$1" -j1
}
run_dir=build/fuzz
if [ "$build" = 1 ]; then
  configure build/fuzz OFF
  [ "$fast" = 1 ] && configure build/fuzz-fast ON
fi
[ "$fast" = 1 ] && run_dir=build/fuzz-fast
if [ ${#targets[@]} -eq 0 ]; then
  for bin in "$run_dir"/fuzz/*_fuzz; do
    [ -x "$bin" ] && targets+=("$(basename "$bin")")
  done
fi
if [ ${#targets[@]} -eq 0 ]; then
  echo "No fuzz targets in $run_dir/fuzz: build them first." >&2
  exit 2
fi

# tmpfs when there is one: a profile save syncs its file to disk.
parent=/dev/shm
[ -d "$parent" ] && [ -w "$parent" ] || parent="${TMPDIR:-/tmp}"
scratch=$(mktemp -d "$parent/tarnel-fuzz-run.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

table=()
found=0
for name in "${targets[@]}"; do
  bin=$run_dir/fuzz/$name
  work=$scratch/$name
  findings=build/fuzz/findings/$name
  mkdir -p "$work/corpus" "$work/tmp"
  rm -rf "$findings"
  mkdir -p "$findings"
  if [ -d "fuzz/corpus/$name" ]; then cp -r "fuzz/corpus/$name/." "$work/corpus/"; fi
  # The entropic schedule's bookkeeping for every feature of every run took
  # more than a third of the time of the targets over the whole client:
  # without it they run about twice as many inputs.
  args=(-fork="$jobs" -entropic=0 -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1 -max_total_time="$seconds"
        -artifact_prefix="$PWD/$findings/")
  [ -n "$runs_limit" ] && args+=(-runs="$runs_limit")
  [ -f "fuzz/$name.dict" ] && args+=(-dict="fuzz/$name.dict")
  if [ -f "fuzz/$name.options" ]; then
    read -r -a options <"fuzz/$name.options"
    args+=("${options[@]}")
  fi
  echo "Fuzzing $name for $seconds seconds"
  TIMEFORMAT='%R %U %S'
  { time TMPDIR=$work/tmp TARNEL_FUZZ_TMP=$work/tmp nice -n 19 "$bin" "${args[@]}" "$work/corpus" \
      </dev/null >"$work/log" 2>&1; } 2>"$work/time" || true
  read -r real user sys <"$work/time"
  if [ "$fast" = 1 ]; then
    # The kept inputs once more, under AddressSanitizer: -runs=0 executes
    # the corpus and stops.
    echo "Running the $(find "$work/corpus" -type f | wc -l) inputs kept by $name under AddressSanitizer"
    replay=(-runs=0 -artifact_prefix="$PWD/$findings/")
    [ -f "fuzz/$name.options" ] && replay+=("${options[@]}")
    TMPDIR=$work/tmp TARNEL_FUZZ_TMP=$work/tmp nice -n 19 "build/fuzz/fuzz/$name" "${replay[@]}" \
      "$work/corpus" </dev/null >"$work/replay.log" 2>&1 || true
  fi
  runs=$(grep -aoE '^#[0-9]+' "$work/log" | tail -1 | tr -d '#' || true)
  runs=${runs:-0}
  corpus=$(find "$work/corpus" -type f | wc -l)
  counts=""
  mkdir -p "$findings"  # another run of the same target may have removed it
  total=0
  for kind in crash leak timeout oom slow-unit; do
    n=$(find "$findings" -type f -name "$kind-*" | wc -l)
    total=$((total + n))
    [ "$n" -gt 0 ] && counts+="$n $kind "
  done
  if [ "$total" -gt 0 ]; then
    found=1
    tail -n 30 "$work/log" >"$findings/log-tail.txt"
  else
    counts="none"
    rmdir "$findings" 2>/dev/null || true
  fi
  wall=$(awk -v r="$runs" -v t="$real" 'BEGIN { printf "%d", (t > 0 ? r / t : 0) }')
  cpu=$(awk -v r="$runs" -v u="$user" -v s="$sys" 'BEGIN { printf "%d", (u + s > 0 ? r / (u + s) : 0) }')
  table+=("$(printf '%-22s %12s %9s %9s %8s  %s' "$name" "$runs" "$wall" "$cpu" "$corpus" "$counts")")
done

echo
printf "%-22s %12s %9s %9s %8s  %s\n" target executed exec/s exec/cpu-s corpus findings
for row in "${table[@]}"; do echo "$row"; done
if [ "$found" = 1 ]; then
  echo
  echo "Reproducers (run a target with one of them as its argument):"
  find build/fuzz/findings -type f ! -name 'log-tail.txt' | sort
  exit 1
fi
