#!/usr/bin/env bash
# Builds the fuzz targets with clang into build-fuzz and runs each one for a
# fixed number of inputs, starting from its seeds in fuzz/corpus/<name>.
# Usage: scripts/fuzz.sh [inputs-per-target] [name...]
#   scripts/fuzz.sh                  every target, 20,000 inputs each
#   scripts/fuzz.sh 1000000 wav_file one target for longer
# A target that crashes or breaks one of its properties fails the run; its
# log and the input that did it (as hex) are printed.
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-20000}"
shift || true

scripts/setup.sh fuzz
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER="${FUZZ_CXX:-clang++}" -DQUENDLE_BUILD_FUZZ=ON \
  -DQUENDLE_BUILD_TESTS=OFF -DQUENDLE_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null
cmake --build build-fuzz --target quendle_fuzzers -j "$(nproc)"

if [ "$#" -gt 0 ]; then
  names=("$@")
else
  names=()
  for dir in fuzz/corpus/*/; do names+=("$(basename "$dir")"); done
fi

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:symbolize=1"
export LSAN_OPTIONS="suppressions=$PWD/fuzz/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export QT_QPA_PLATFORM=offscreen
failed=()
for name in "${names[@]}"; do
  target="build-fuzz/fuzz/fuzz_$name"
  [ -x "$target" ] || { echo "no fuzz target $name" >&2; exit 2; }
  work="$(mktemp -d)"
  mkdir "$work/new"
  log="$work/log"
  # New inputs go to the first folder, so the seeds in the repository stay as they are.
  if "$target" -runs="$runs" -max_len=8192 -timeout=20 -rss_limit_mb=3072 \
    -artifact_prefix="$work/" "$work/new" "fuzz/corpus/$name" >"$log" 2>&1; then
    echo "fuzz $name: passed; $(grep -E '^Done [0-9]+ runs' "$log")"
  else
    failed+=("$name")
    echo "fuzz $name: FAILED"
    cat "$log"
    for input in "$work"/crash-* "$work"/leak-* "$work"/timeout-* "$work"/oom-* "$work"/slow-unit-*; do
      [ -e "$input" ] || continue
      echo "---- failing input $(basename "$input"), $(stat -c %s "$input") bytes, as hex:"
      od -An -tx1 -v "$input"
    done
  fi
  rm -rf "$work"
done

if [ "${#failed[@]}" -gt 0 ]; then
  echo "fuzz targets that failed: ${failed[*]}" >&2
  exit 1
fi
