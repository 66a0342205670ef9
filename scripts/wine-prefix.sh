#!/usr/bin/env bash
# Creates the private Wine prefix once (about 15 s), tuned for fast, windowless GUI tests.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
stamp=$WINEPREFIX/.hushbell-ready
[[ -f $stamp ]] && exit 0
mkdir -p "$WINEPREFIX"
echo "Creating Wine prefix in $WINEPREFIX"
wineboot -i >/dev/null 2>&1
wineserver -w
# Without a window manager every close of a top-level window otherwise waits about 2 s.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
wineserver -w
touch "$stamp"
