#!/bin/sh
# Runs every libFuzzer target for SECONDS seconds each over its seed corpus.
#
#   scripts/fuzz.sh [--build-dir DIR] [--only TARGET] [--build-only | --no-build] SECONDS
#
# The targets are built with clang (address and undefined-behaviour sanitizers) in DIR
# (default build-fuzz), apart from the ordinary g++ build. Seeds and regression inputs live in
# fuzz/corpus/<target>/ and are only read; what a run finds goes to DIR/corpus/<target>/. A
# crash, leak or hang is written to DIR/artifacts/ and the script fails: copy the input into
# fuzz/corpus/<target>/ as regression-<what it was>, fix the fault, and the seed run keeps it
# fixed. FUZZ_JOBS sets the build's parallel jobs (default 3).
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"
only=""
build_step=yes
run_step=yes
seconds=""
while [ $# -gt 0 ]; do
    case "$1" in
    --build-dir) build=$2; shift 2 ;;
    --only) only=$2; shift 2 ;;
    --build-only) run_step=no; shift ;;
    --no-build) build_step=no; shift ;;
    -h|--help) sed -n '2,13p' "$0"; exit 0 ;;
    *) seconds=$1; shift ;;
    esac
done
targets="document style_states saved_style workbook formula"
[ -n "$only" ] && targets=$only

if [ "$build_step" = yes ]; then
    cc=$(command -v clang-14 || command -v clang)
    cxx=$(command -v clang++-14 || command -v clang++)
    if [ ! -f "$build/build.ninja" ]; then
        mkdir -p "$build"
        CC=$cc CXX=$cxx cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
            -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -gline-tables-only" \
            -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -gline-tables-only" -DQD_FUZZ=ON -DQD_BUILD_TESTS=OFF -DQD_BUILD_BENCH=OFF >"$build/configure.log" 2>&1 ||
            { cat "$build/configure.log"; exit 1; }
    fi
    ninja -C "$build" -j"${FUZZ_JOBS:-3}" fuzzers
fi
[ "$run_step" = yes ] || exit 0
if [ -z "$seconds" ]; then
    echo "usage: $0 [--build-dir DIR] [--only TARGET] [--build-only | --no-build] SECONDS" >&2
    exit 2
fi

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1:malloc_context_size=4}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export QT_QPA_PLATFORM=offscreen
status=0
for t in $targets; do
    work="$build/corpus/$t"
    artifacts="$build/artifacts"
    mkdir -p "$work" "$artifacts"
    echo "== $t: $seconds s"
    # Workbooks are tried up to 1 MB, where the size limits of a package and its texts matter;
    # for the other readers libFuzzer sizes the inputs after the seeds.
    max_len=0
    [ "$t" = workbook ] && max_len=1048576
    # A single input may take at most 10 s and 2 GB: more is a hang or a memory fault.
    if ! "$build/fuzz/fuzz_$t" -max_total_time="$seconds" -max_len="$max_len" -timeout=10 -rss_limit_mb=2048 \
        -malloc_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$artifacts/$t-" \
        "$work" "$root/fuzz/corpus/$t" >"$build/$t.log" 2>&1; then
        status=1
        tail -n 60 "$build/$t.log"
        echo "== $t FAILED; the input is in $artifacts/"
    else
        grep -E "stat::number_of_executed_units|stat::average_exec_per_sec" "$build/$t.log" || true
    fi
done
exit $status
