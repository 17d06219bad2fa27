#!/usr/bin/env bash
# Configures and builds the editor, its tests and tools into a build folder.
# Usage: scripts/build.sh [build-folder] [extra cmake arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${1:-build}"
shift || true
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" \
  "${launcher[@]}" "$@"
cmake --build "$build_dir" -j "$(nproc)"
