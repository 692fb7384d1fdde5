#!/usr/bin/env bash
# Runs the shared perf harness's terminal workload on our library beside ncurses and termbox, in one run
# at 80 x 25 and 200 x 60, and prints its tables (see PERFORMANCE.md). Needs libncurses-dev and
# libtermbox-dev for the anchors, and the default preset configured. RUNS sets the runs per
# configuration (default 5); further arguments go to bench.py (for example --workloads cell1,cell10).
set -euo pipefail
cd "$(dirname "$0")/.."
harness=${KELVANE_PERF_HARNESS_DIR:-../shared/perf-harness}
out=$PWD/build/perf
if [ ! -f "$harness/workload.h" ]; then
  echo "run-perf-harness: no perf harness in $harness (set KELVANE_PERF_HARNESS_DIR)" >&2
  exit 1
fi
mkdir -p "$out"
make -s -C "$harness" OUT="$out"
cmake --build --preset default -j2 --target bench_kelvane
uptime
python3 "$harness/bench.py" --build "$out" --runs "${RUNS:-5}" --json "$out/results.json" \
  --lib kelvane="$PWD/build/default/bench/bench_kelvane" --lib ncurses="$out/bench_ncurses" \
  --lib termbox="$out/bench_termbox" "$@"
uptime
python3 "$harness/table.py" "$out/results.json"
