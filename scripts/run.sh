#!/usr/bin/env bash
# Installs what is missing, builds, and starts the editor. Arguments go to the
# editor (for example --simulated-pedal, or --port /dev/pts/3).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build
exec build/quendle-editor "$@"
