#!/usr/bin/env bash
# Measures how soon the plug-in reacts to a lock and an unlock, with the session's notification
# and with the poll alone: builds gen_hushbell.dll and bench/wts_latency.cpp, then runs it with
# the real DLL inside the stand-in player under Wine. Exits with the benchmark's own code: 0 when
# the worst case with the notification meets the goal, 1 when it misses it, 2 when it cannot run.
# It runs on the Windows tests' target (scripts/wine-arch.sh). HB_BUILD_DIR overrides the build
# folder (default build/win-ARCH), HB_WINEPREFIX the Wine prefix.
exec "$(dirname "$0")/run-windows-program.sh" bench wts_latency.exe wts_latency gen_hushbell
