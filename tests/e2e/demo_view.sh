#!/usr/bin/env bash
# What the demo shows: key 2 takes the outlines away and brings them back
# (the picture returns exactly), a left-button drag turns the view, and key C
# switches the camera to fly mode, where Q moves the eye down (in orbit mode
# Q does nothing). The start picture is kept as orvane.png in the program's
# folder: docs/orvane.png is a copy of it.
set -euo pipefail
source "$ORV_E2E_DIR/lib.sh"
source "$ORV_E2E_DIR/demo_lib.sh"

e2e_start_display
e2e_start
e2e_find_window
e2e_focus
e2e_wait_until 10 demo_frames_at_least 2 || e2e_fail "the demo shows no frames"

demo_shot start
import -window "$E2E_WID" "$PWD/orvane.png" || e2e_fail "cannot save orvane.png"
demo_shot start_again
demo_same_shot start start_again || e2e_fail "the picture changes without input"

demo_press 2
demo_shot no_outlines
demo_same_shot start no_outlines && e2e_fail "key 2 did not change the picture"
demo_press 2
demo_shot outlines_again
demo_same_shot start outlines_again || e2e_fail "key 2 pressed twice did not restore the picture"

xdotool mousemove --window "$E2E_WID" 400 300
demo_wait_frames 2
xdotool mousedown 1
demo_wait_frames 2
xdotool mousemove --window "$E2E_WID" 460 320
demo_wait_frames 2
xdotool mouseup 1
demo_shot dragged
demo_same_shot start dragged && e2e_fail "dragging with the left button did not turn the view"

demo_press q 6
demo_shot orbit_q
demo_same_shot dragged orbit_q || e2e_fail "Q changed the view in orbit mode"
demo_press c
demo_wait_frames 2
demo_press q 6
demo_shot fly_q
demo_same_shot orbit_q fly_q && e2e_fail "Q did not move the eye after key C (fly mode)"

# Held until the program has ended: a slow frame cannot miss it.
xdotool keydown Escape
e2e_wait_exit 10
xdotool keyup Escape || true
e2e_expect_eq "exit status" 0 "$E2E_STATUS"
