#!/usr/bin/env bash
# Measures how soon the plug-in reacts to a lock and an unlock, with the session's notification
# and with the poll alone: builds gen_hushbell.dll and bench/wts_latency.cpp, then runs it with
# the real DLL inside the stand-in player under Wine. Exits with the benchmark's own code: 0 when
# the worst case with the notification meets the goal, 1 when it misses it, 2 when it cannot run.
# It runs on the Windows tests' target (scripts/wine-arch.sh). HB_BUILD_DIR overrides the build
# folder (default build/win-ARCH), HB_WINEPREFIX the Wine prefix.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
source scripts/wine-arch.sh || exit 2
build=${HB_BUILD_DIR:-$root/build/win-$HB_WINE_ARCH}
log=$(mktemp)
trap 'rm -f "$log"' EXIT

echo "Building gen_hushbell.dll and the benchmark for $HB_WINE_ARCH ($HB_WINE_ARCH_WHY) in $build"
if ! { cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$HB_WINE_ARCH.cmake" \
         -DCMAKE_BUILD_TYPE=MinSizeRel -DHB_BUILD_TESTS=ON &&
       cmake --build "$build" -j2 --target wts_latency gen_hushbell; } >"$log" 2>&1; then
  cat "$log"
  echo "bench: the build failed" >&2
  exit 2
fi

# As scripts/demo.sh: one display and one detached wineserver for the whole run.
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  root=$1 bin=$2
  "$root/scripts/wine-prefix.sh" || exit 2
  "$root/scripts/wineserver.sh" start
  cd "$bin" && "$root/scripts/wine-run.sh" wts_latency.exe
  status=$?
  "$root/scripts/wineserver.sh" stop
  exit $status' bench "$root" "$build/bin"
