#!/usr/bin/env bash
# Runs every fuzz target that the fuzz preset built (cmake --preset fuzz && cmake --build --preset fuzz):
# first for a bounded time on a scratch copy of its corpus, so the inputs it discovers never dirty the
# checkout, then on the committed corpus, once per file. Any crash, sanitizer report, leak, timeout or
# memory blow-up fails the script; the input that caused it is kept and printed as hex.
#   FUZZ_SECONDS  time per target (default 20)
#   FUZZ_BUILD    the fuzz build folder (default build/fuzz)
#   FUZZ_SEED     libFuzzer's random seed (default 1, so a CI run explores the same inputs each time and
#                 a red run can be repeated; 0 lets libFuzzer pick one, for exploring beyond CI)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-20}
seed=${FUZZ_SEED:-1}
build=${FUZZ_BUILD:-build/fuzz}
artifacts="$build/fuzz-artifacts"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

shopt -s nullglob
sources=(fuzz/*.cpp)
if [ ${#sources[@]} -eq 0 ]; then
  echo "run-fuzzers: no fuzz targets in fuzz/" >&2
  exit 1
fi

# Shows why a run failed: the end of its log and each input it saved.
report_failure() {
  local name=$1 log=$2
  echo "run-fuzzers: $name FAILED; the end of its output:" >&2
  tail -n 80 "$log" >&2
  for input in "$artifacts/$name"/*; do
    echo "run-fuzzers: saved input $input, in hex:" >&2
    od -An -tx1 -v "$input" | head -n 40 >&2
  done
}

for source in "${sources[@]}"; do
  name=$(basename "$source" .cpp)
  binary="$build/fuzz/fuzz_$name"
  corpus="fuzz/corpus/$name"
  if [ ! -x "$binary" ]; then
    echo "run-fuzzers: $binary is missing: build the fuzz preset first" >&2
    exit 1
  fi
  seeds=("$corpus"/*)
  if [ ${#seeds[@]} -eq 0 ]; then
    echo "run-fuzzers: $corpus has no seed inputs" >&2
    exit 1
  fi
  mkdir -p "$scratch/$name" "$artifacts/$name"
  cp -R "$corpus"/. "$scratch/$name/"

  start=$SECONDS
  log="$scratch/$name.fuzz.log"
  if ! "$binary" -max_total_time="$seconds" -seed="$seed" -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
      -artifact_prefix="$artifacts/$name/" "$scratch/$name" >"$log" 2>&1; then
    report_failure "$name" "$log"
    exit 1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  found=$(($(find "$scratch/$name" -type f | wc -l) - ${#seeds[@]}))
  echo "run-fuzzers: $name: ${runs:-?} runs in $((SECONDS - start))s, corpus ${#seeds[@]} seeds + $found found"

  log="$scratch/$name.replay.log"
  # Files named on the command line are each run once, with no fuzzing.
  if ! "$binary" -rss_limit_mb=2048 -timeout=10 "${seeds[@]}" >"$log" 2>&1; then
    report_failure "$name" "$log"
    exit 1
  fi
  echo "run-fuzzers: $name: replayed the ${#seeds[@]} committed inputs"
done
