#!/usr/bin/env bash
# Keeps one wineserver alive for a whole test run (start), and ends it (stop).
source "$(dirname "$0")/wine-env.sh"
case "$1" in
  # Its output must not stay attached to CTest's pipe, or the test that started it never ends.
  # The first program also starts Wine's helper processes, which stay with the server: start
  # them here, detached from CTest's pipes, or CTest waits for them to close their output.
  start) wineserver -p </dev/null >/dev/null 2>&1
         wine cmd.exe /c exit </dev/null >/dev/null 2>&1
         exit 0 ;;
  stop) wineserver -k >/dev/null 2>&1; exit 0 ;;
  *) echo "usage: $0 start|stop" >&2; exit 2 ;;
esac
