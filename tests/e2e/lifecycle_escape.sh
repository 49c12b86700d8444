#!/usr/bin/env bash
# The hooks run in order (Load, Init, Update and Draw per frame, Free,
# Unload); a key is triggered on one frame only; Escape going down ends the
# program after that frame, with the whole shutdown and exit status 0.
set -euo pipefail
source "$ORV_E2E_DIR/lib.sh"
source "$ORV_E2E_DIR/probe.sh"

probe_start
e2e_focus
e2e_wait_output '^Update [0-9]+ [^ ]+ -?[0-9]+ -?[0-9]+ 1 '  # a frame saw the focus
probe_frames_at_least 10

e2e_hold c e2e_output_has '^Triggered 67$' || e2e_fail "key C was never seen going down"
# Held until the program has ended: its last frame is the one that saw it.
xdotool keydown Escape
e2e_wait_exit 20
xdotool keyup Escape || true
e2e_expect_eq "exit status" 0 "$E2E_STATUS"

probe_check
frames=$(probe_fact frames)
e2e_expect_eq "keys triggered (code frame)" \
    "67 $(probe_fact triggered | awk '$1 == 67 { print $2 }')
27 $((frames - 1))" "$(probe_fact triggered)"
