#!/usr/bin/env bash
# A close request (the WM_DELETE_WINDOW message a window manager sends) ends
# the program with the whole shutdown and exit status 0.
set -euo pipefail
source "$ORV_E2E_DIR/lib.sh"
source "$ORV_E2E_DIR/probe.sh"

probe_start
probe_frames_at_least 5
e2e_close
e2e_wait_exit 10
e2e_expect_eq "exit status" 0 "$E2E_STATUS"
probe_check
e2e_expect_eq "keys triggered" "" "$(probe_fact triggered)"
