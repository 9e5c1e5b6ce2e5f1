#!/usr/bin/env bash
# Runs many random edit sequences on the tree control, each step compared with a whole
# recalculation (the test suite runs a few hundred of them).
#   scripts/edit-sequences.sh [FIRST_SEED] [COUNT] [JOBS]
# COUNT sequences from FIRST_SEED on (default 1 and 5000), in JOBS processes (default 3). A failure
# prints its seed; "scripts/edit-sequences.sh SEED 1 1" runs that sequence again alone.
# QD_EDIT_THREADS=N shares every sequence's walks out among N threads from a few nodes on
# (unset: each sequence takes its own count from its seed).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
seed=${1:-1}
count=${2:-5000}
jobs=${3:-3}
program="$top/build/tests/test_control"
[ -x "$program" ] || { echo "Build first: $program is missing" >&2; exit 2; }
export QT_QPA_PLATFORM=offscreen
# Each job runs the test's first block on its own share of the seeds.
per=$(( (count + jobs - 1) / jobs ))
status=0
pids=()
for (( k = 0; k < jobs; ++k )); do
  first=$(( seed + k * per ))
  n=$(( count - k * per < per ? count - k * per : per ))
  (( n > 0 )) || break
  QD_EDIT_SEED=$first QD_EDIT_COUNT=$n "$program" --gtest_brief=1 \
    --gtest_filter='Seeds/EditSequences.EveryStepEqualsAWholeRecalculation/Block0' &
  pids+=($!)
done
for pid in "${pids[@]}"; do
  wait "$pid" || status=1
done
if (( status == 0 )); then echo "$count sequences from seed $seed: every step equal"; fi
exit $status
