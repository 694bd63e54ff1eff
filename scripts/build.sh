#!/usr/bin/env bash
# Configures and builds one build tree: scripts/build.sh [DIR [cmake options...]] (default DIR: build).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
shift || true
# A compiler cache makes the second and later builds of the same sources (another build tree, another
# clone) quick; the build works the same without it.
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR=$PWD
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@" >/dev/null
cmake --build "$dir" -j"$(nproc)"
