#!/usr/bin/env bash
# The whole test suite: a normal build with warnings as errors, then the same suite again under
# AddressSanitizer and UndefinedBehaviorSanitizer, then a check that the libraries and programs also build
# in Release mode and with clang.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

run_suite() {
  local dir=$1
  shift
  scripts/build.sh "$dir" "$@"
  ctest --test-dir "$dir" --output-on-failure -j"$(nproc)"
}

echo "== build and tests =="
run_suite build -DVAULTRA_WERROR=ON
echo "== build and tests under AddressSanitizer + UndefinedBehaviorSanitizer =="
ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1} \
UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1} \
  run_suite build-asan -DVAULTRA_WERROR=ON -DVAULTRA_SANITIZE=ON -DVAULTRA_BUILD_BENCH=OFF

# Libraries and programs only (no tests, no benchmarks), to keep the cost low.
echo "== Release build with GCC =="
scripts/build.sh build-release -DCMAKE_BUILD_TYPE=Release -DVAULTRA_BUILD_TESTS=OFF -DVAULTRA_BUILD_BENCH=OFF
echo "== build with clang =="
CC=clang CXX=clang++ scripts/build.sh build-clang -DVAULTRA_WERROR=ON -DVAULTRA_BUILD_TESTS=OFF \
  -DVAULTRA_BUILD_BENCH=OFF
