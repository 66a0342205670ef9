#!/usr/bin/env bash
# Shows the plug-in at work: builds gen_hushbell.dll and the demo program, then plays one
# scripted evening (screen saver, standby, a short and a long lock) with the real DLL inside
# the stand-in player under Wine, printing a timeline of what the plug-in sent.
# Exits with the demo's own code: 0 when every expected command came and nothing else did.
# It runs on the Windows tests' target (scripts/wine-arch.sh). HB_BUILD_DIR overrides the build
# folder (default build/win-ARCH), HB_WINEPREFIX the Wine prefix.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
source scripts/wine-arch.sh || exit 2
build=${HB_BUILD_DIR:-$root/build/win-$HB_WINE_ARCH}
log=$(mktemp)
trap 'rm -f "$log"' EXIT

echo "Building gen_hushbell.dll and the demo for $HB_WINE_ARCH ($HB_WINE_ARCH_WHY) in $build"
if ! { cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$HB_WINE_ARCH.cmake" \
         -DCMAKE_BUILD_TYPE=MinSizeRel -DHB_BUILD_TESTS=ON &&
       cmake --build "$build" -j2 --target evening gen_hushbell; } >"$log" 2>&1; then
  cat "$log"
  echo "demo: the build failed" >&2
  exit 2
fi

# One display and one wineserver for every Wine command of the run; the server is started
# detached so that Wine's helper processes do not hold this script's output open.
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  root=$1 bin=$2
  "$root/scripts/wine-prefix.sh" || exit 2
  "$root/scripts/wineserver.sh" start
  cd "$bin" && "$root/scripts/wine-run.sh" evening.exe
  status=$?
  "$root/scripts/wineserver.sh" stop
  exit $status' demo "$root" "$build/bin"
