#!/usr/bin/env bash
# The first frame's mouse movement is the cursor's client position (the
# previous position starts at 0, 0); later movement sums to the new position;
# the left and right buttons are the virtual keys 1 and 2.
set -euo pipefail
source "$ORV_E2E_DIR/lib.sh"
source "$ORV_E2E_DIR/probe.sh"

probe_start 1280x1024  # pointer starts at the centre, 640, 512
e2e_focus
probe_frames_at_least 3

xdotool mousemove --window "$E2E_WID" 100 50
sum_is() {
    [ "$(awk '$1 == "Update" { x += $4; y += $5 } END { print x, y }' "$E2E_OUT")" = "$1" ]
}
e2e_wait_until 10 sum_is "100 50" || e2e_fail "the mouse movement does not sum to 100, 50"
xdotool mousedown 1
e2e_wait_output '^Triggered 1$'
xdotool mouseup 1
xdotool mousedown 3
e2e_wait_output '^Triggered 2$'
xdotool mouseup 3

e2e_close
e2e_wait_exit 10
e2e_expect_eq "exit status" 0 "$E2E_STATUS"
probe_check
# The client area's origin is (240, 212) on this screen.
e2e_expect_eq "first frame's movement" "400 300" "$(probe_fact first_mouse)"
e2e_expect_eq "summed movement" "100 50" "$(probe_fact mouse_sum)"
