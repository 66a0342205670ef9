#!/usr/bin/env bash
# Runs a Windows test program under the project's Wine prefix with comctl32 disabled, so the
# program sees a process in which the common controls were never registered (Wine would
# otherwise load them on demand).
source "$(dirname "$0")/../../../scripts/wine-env.sh"
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;comctl32=d"
exec wine "$@"
