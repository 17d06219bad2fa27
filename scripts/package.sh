#!/bin/sh
# Builds the editor's Debian package: a Release build in build-package/, then
# CPack. Prints the path of the .deb on its last line.
#
#   scripts/package.sh                                  stand-in images
#   scripts/package.sh -DQUENDLE_IMAGES_DIR=/path/to    the maker's images
#
# Arguments are passed to CMake's configure step. BUILD_DIR overrides the
# build folder.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-package}

launcher=
if command -v ccache >/dev/null 2>&1; then launcher=-DCMAKE_CXX_COMPILER_LAUNCHER=ccache; fi

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DQUENDLE_BUILD_TESTS=OFF -DQUENDLE_BUILD_BENCH=OFF $launcher "$@"
cmake --build "$build" -j2
rm -f "$build"/quendle-editor_*.deb
(cd "$build" && cpack -G DEB)
ls "$build"/quendle-editor_*.deb
