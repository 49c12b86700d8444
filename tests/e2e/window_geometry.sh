#!/usr/bin/env bash
# The window is titled "Orvane" (also its class), and its 800 x 600 client
# area is centred by integer halving: on a 1025 x 767 screen at 112, 83.
set -euo pipefail
source "$ORV_E2E_DIR/lib.sh"
source "$ORV_E2E_DIR/probe.sh"

probe_start 1025x767
probe_frames_at_least 1

info=$(xwininfo -id "$E2E_WID")
field() { echo "$info" | awk -F: -v f="$1" '$1 ~ "^ *" f "$" { gsub(/ /, "", $2); print $2 }'; }
e2e_expect_eq "client x" 112 "$(field 'Absolute upper-left X')"
e2e_expect_eq "client y" 83 "$(field 'Absolute upper-left Y')"
e2e_expect_eq "client width" 800 "$(field 'Width')"
e2e_expect_eq "client height" 600 "$(field 'Height')"
e2e_expect_eq "title" Orvane "$(xdotool getwindowname "$E2E_WID")"
e2e_expect_eq "class" 'WM_CLASS(STRING) = "Orvane", "Orvane"' "$(xprop -id "$E2E_WID" WM_CLASS)"

e2e_close
e2e_wait_exit 10
e2e_expect_eq "exit status" 0 "$E2E_STATUS"
