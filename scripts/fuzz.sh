#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and UndefinedBehaviorSanitizer in their own
# tree (build-fuzz) and runs each over its seed corpus plus SECONDS of fuzzing, one target at a time.
# Fails on the first crash, leak, overflow, undefined behaviour or hang.
#
#   scripts/fuzz.sh [SECONDS]        (default 30; 0 replays the corpus only)
#   FUZZ_TARGETS="dbase plcsim" scripts/fuzz.sh 600    (some targets only)
#
# New inputs found while fuzzing go to build-fuzz/corpus/<target>; findings to build-fuzz/findings.
# Copy an input worth keeping into tests/fuzz/corpus/<target>/ (keep the corpus small).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
dir=build-fuzz
all_targets="backup_set s5_program_file dbase s7_project s7_answers iso_packets mpi_frames plcsim"
targets=${FUZZ_TARGETS:-$all_targets}

launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR=$PWD
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
CC=${FUZZ_CC:-clang} CXX=${FUZZ_CXX:-clang++} cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  "${launcher[@]}" -DVAULTRA_FUZZ=ON -DVAULTRA_BUILD_TESTS=OFF -DVAULTRA_BUILD_BENCH=OFF >/dev/null
build=()
for t in $targets; do build+=("fuzz_$t"); done
cmake --build "$dir" -j"$(nproc)" --target "${build[@]}"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:allocator_may_return_null=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
mkdir -p "$dir/findings"
for t in $targets; do
  seeds=tests/fuzz/corpus/$t
  work=$dir/corpus/$t
  mkdir -p "$work" "$seeds"
  echo "== fuzz_$t: corpus + ${seconds}s =="
  if [ "$seconds" -gt 0 ]; then limit=(-max_total_time="$seconds"); else limit=(-runs=0); fi
  log=$dir/fuzz_$t.log
  # -rss_limit_mb/-malloc_limit_mb: a damaged input must not make a reader ask for gigabytes; -timeout:
  # nor hang it.
  if ! "$dir/fuzz/fuzz_$t" "$work" "$seeds" "${limit[@]}" -len_control=20 -max_len=8192 -timeout=10 \
    -rss_limit_mb=2048 -malloc_limit_mb=1024 -print_final_stats=1 \
    -artifact_prefix="$dir/findings/${t}-" >"$log" 2>&1; then
    tail -n 80 "$log" >&2
    echo "fuzz_$t found a fault; the input is in $dir/findings/ (log: $log)" >&2
    exit 1
  fi
  grep -E '^(INFO: seed corpus|stat::number_of_executed_units|stat::peak_rss_mb|Done)' "$log" || true
done
echo "== fuzzing found nothing =="
