#!/usr/bin/env bash
# Runs the shared mutation runner (../shared/mutation-check/run.py, beside the checkout) with this
# project's fault list, scripts/mutation-faults.py, instead of the runner's own list, which was written
# for older code. The runner imports `M` from a mutations.py next to itself, so both go into a temporary
# folder; the copy runs from the project's root. Arguments pass through, e.g.
#
#   bash scripts/mutation-check.sh --build build/default --json /tmp/mutation.json [M01 N03 ...]
set -euo pipefail

root="$(git rev-parse --show-toplevel)"
runner="$root/../shared/mutation-check/run.py"
faults="$root/scripts/mutation-faults.py"
if [[ ! -f "$runner" ]]; then
  echo "mutation-check: no runner at $runner" >&2
  exit 2
fi

work="$(mktemp -d "${TMPDIR:-/tmp}/mutation-check.XXXXXX")"
trap 'rm -rf "$work"' EXIT
cp "$runner" "$work/run.py"
cp "$faults" "$work/mutations.py"

# The runner rebuilds with a plain `cmake --build`: keep it to the machine's two cores unless told.
export CMAKE_BUILD_PARALLEL_LEVEL="${CMAKE_BUILD_PARALLEL_LEVEL:-2}"

cd "$root"
python3 "$work/run.py" "$@"
