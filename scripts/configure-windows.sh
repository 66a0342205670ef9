#!/usr/bin/env bash
# Configures the Windows build of the Wine tests' target (scripts/wine-arch.sh): the tests, the
# demo, the benchmarks and the screenshots all build there, so they must configure it alike or
# each run would undo the last one's configuration.
# Usage: scripts/configure-windows.sh [BUILD_DIR]   (default build/win-ARCH)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/wine-arch.sh" || exit 2
exec cmake -S "$root" -B "${1:-$root/build/win-$HB_WINE_ARCH}" \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$HB_WINE_ARCH.cmake" -DCMAKE_BUILD_TYPE=MinSizeRel -DHB_BUILD_TESTS=ON
