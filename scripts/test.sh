#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite, then the
# packaging checks.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build
QT_QPA_PLATFORM=offscreen ctest --test-dir build -j "$(nproc)" --output-on-failure
if [ -x scripts/check_packaging.sh ]; then
  scripts/check_packaging.sh build
fi
