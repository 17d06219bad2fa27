#!/usr/bin/env bash
# Renders every window in every look to PNG files under build/screenshots,
# in a real X server (Xvfb) when one can be started.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${1:-build}"
cmake --build "$build_dir" --target quendle-screenshots
out="$build_dir/screenshots"
mkdir -p "$out"
if command -v xvfb-run >/dev/null 2>&1; then
  xvfb-run -a -s "-screen 0 1280x1024x24" "$build_dir/quendle-screenshots" "$out"
else
  QT_QPA_PLATFORM=offscreen "$build_dir/quendle-screenshots" "$out"
fi
echo "screenshots in $out"
