#!/usr/bin/env bash
# What the plug-in costs the player's start against an empty plug-in (bench/start_cost.cpp),
# under Wine in the stand-in player. Exits with the benchmark's own code: 0 when the goal is
# met, 1 when it is missed, 2 when it cannot run. Same target and overrides as bench-wts.sh.
exec "$(dirname "$0")/run-windows-program.sh" bench start_cost.exe start_cost
