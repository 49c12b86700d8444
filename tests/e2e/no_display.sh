#!/usr/bin/env bash
# Without a display there is no window: the "Cannot create window!!" report
# and status 1, and no hook runs.
set -euo pipefail
source "$ORV_E2E_DIR/lib.sh"

e2e_start env -u DISPLAY -u WAYLAND_DISPLAY "$ORV_E2E_PROGRAM"
e2e_wait_exit 20
e2e_expect_eq "exit status" 1 "$E2E_STATUS"
e2e_halt_report src/main.cpp main "Cannot create window!!" >"$E2E_DIR/expected"
e2e_expect_output "$E2E_DIR/expected"
grep -q DISPLAY "$E2E_ERR" || e2e_fail "standard error does not say why there is no window"
