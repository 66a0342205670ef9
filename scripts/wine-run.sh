#!/usr/bin/env bash
# Runs a Windows program under the project's Wine prefix (CMake's cross-compiling emulator).
source "$(dirname "$0")/wine-env.sh"
exec wine "$@"
