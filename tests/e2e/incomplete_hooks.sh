#!/usr/bin/env bash
# A game state that leaves a hook unset gets an ORV_ASSERT report and status 1
# before any hook runs, instead of a crash at the first call of the missing one.
set -euo pipefail
source "$ORV_E2E_DIR/lib.sh"

e2e_start_display
e2e_start
e2e_wait_exit 20
e2e_expect_eq "exit status" 1 "$E2E_STATUS"
line=$(grep -n 'ORV_ASSERT(gpGameStateLoad' "$ORV_SOURCE_DIR/src/main.cpp" | cut -d: -f1)
printf 'ORV_ASSERT: %s\nLine: %s\nFunc: main\nFile: src/main.cpp\n' \
    "gpGameStateLoad && gpGameStateInit && gpGameStateUpdate && gpGameStateDraw && gpGameStateFree && gpGameStateUnload" \
    "$line" >"$E2E_DIR/expected"
e2e_expect_output "$E2E_DIR/expected"
