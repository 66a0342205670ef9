#!/usr/bin/env bash
# Shows the plug-in at work: builds gen_hushbell.dll and the demo program, then plays one
# scripted evening (screen saver, standby, a short and a long lock) with the real DLL inside
# the stand-in player under Wine, printing a timeline of what the plug-in sent.
# Exits with the demo's own code: 0 when every expected command came and nothing else did.
# It runs on the Windows tests' target (scripts/wine-arch.sh). HB_BUILD_DIR overrides the build
# folder (default build/win-ARCH), HB_WINEPREFIX the Wine prefix.
exec "$(dirname "$0")/run-windows-program.sh" demo evening.exe evening gen_hushbell
