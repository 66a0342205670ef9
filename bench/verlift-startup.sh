#!/usr/bin/env bash
# Start-up of a check that is not due (the common start of the player with weekly checks on),
# against a program that does nothing, side by side under Wine with hyperfine.
# Usage: bench/verlift-startup.sh [RUNS]   (default 40; the Wine target as scripts/wine-arch.sh picks)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# Builds Verlift and comes back below, in its bin folder with the Wine session up.
[[ ${1:-} == --measure ]] || exec "$root/scripts/run-windows-program.sh" bench "$root/bench/verlift-startup.sh" Verlift -- --measure "${1:-40}"
runs=$2
source "$root/scripts/wine-env.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$HB_WINE_ARCH-w64-mingw32-g++-posix" -Os -fno-exceptions -fno-rtti -municode -mwindows -static -s \
  "$root/bench/bare_main.cpp" -o "$work/bare.exe"
cp Verlift.exe "$work/"

# Checked a moment ago, weekly: not due.
now=$(python3 -c 'import time; t=int((time.time()+11644473600)*10**7); s=lambda v: v-2**32 if v>=2**31 else v; print(s(t&0xffffffff), s(t>>32))')
read -r lo hi <<<"$now"
printf '[Update]\r\nName=Bench\r\nhomepage=http://127.0.0.1:9\r\ninterval=7\r\n[LastCheck]\r\nlo=%s\r\nhi=%s\r\n' "$lo" "$hi" >"$work/notdue.ini"

loader=/usr/lib/wine/wine
[[ $HB_WINE_ARCH == x86_64 ]] && loader=/usr/lib/wine/wine64
echo "Verlift.exe ($HB_WINE_ARCH build, $(stat -c %s "$work/Verlift.exe") bytes), not-due start against a bare program"
cd "$work"
hyperfine -N --warmup 5 --runs "$runs" -n bare "$loader bare.exe" -n "Verlift not due" "$loader Verlift.exe notdue.ini"
