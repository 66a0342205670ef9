#!/usr/bin/env bash
# Builds Windows targets for the Wine tests' target (scripts/wine-arch.sh) and runs one program
# of them under Wine in Xvfb, with one display and one detached wineserver for the whole run
# (detached, so that Wine's helper processes do not hold this script's output open).
# Usage: scripts/run-windows-program.sh LABEL PROGRAM TARGET... [-- ARGUMENT...]
# PROGRAM.exe runs under Wine; any other PROGRAM is a command of this machine that drives Wine
# itself (a benchmark). Either starts in the bin folder and gets the ARGUMENTs.
# Exits with the program's own code, or 2 when it cannot be built or run. HB_BUILD_DIR
# overrides the build folder (default build/win-ARCH), HB_WINEPREFIX the Wine prefix.
set -uo pipefail
label=$1 program=$2
shift 2
targets=()
while (($# > 0)) && [[ $1 != -- ]]; do targets+=("$1"); shift; done
(($# > 0)) && shift
cd "$(dirname "$0")/.."
root=$PWD
source scripts/wine-arch.sh || exit 2
source scripts/jobs.sh
build=${HB_BUILD_DIR:-$root/build/win-$HB_WINE_ARCH}
log=$(mktemp)
trap 'rm -f "$log"' EXIT
[[ $program == *.exe ]] && set -- "$root/scripts/wine-run.sh" "$program" "$@" || set -- "$program" "$@"

echo "Building ${targets[*]} for $HB_WINE_ARCH ($HB_WINE_ARCH_WHY) in $build"
if ! { scripts/configure-windows.sh "$build" &&
       cmake --build "$build" -j"$HB_JOBS" --target "${targets[@]}"; } >"$log" 2>&1; then
  cat "$log"
  echo "$label: the build failed" >&2
  exit 2
fi

xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  root=$1 bin=$2
  shift 2
  "$root/scripts/wine-prefix.sh" || exit 2
  "$root/scripts/wineserver.sh" start
  cd "$bin" && "$@"
  status=$?
  "$root/scripts/wineserver.sh" stop
  exit $status' "$label" "$root" "$build/bin" "$@"
