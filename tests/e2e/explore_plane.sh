#!/usr/bin/env bash
# A node's splitting plane. Key L shows the root's plane as a translucent
# polygon clipped to the mesh's bounds, with the node's figures; F, B and U
# go to the front child, its back child and up again. Each picture is the one
# drawn offscreen for the same node; L again gives back the demo's picture.
set -euo pipefail
source "$ORV_E2E_DIR/lib.sh"
source "$ORV_E2E_DIR/demo_lib.sh"
MAX_OFF=50

demo_start_shown

# F does nothing while no plane is shown. Key 2 goes down after it, so once
# the outlines are gone the demo has seen F held; with F still held, the
# outlines come back and the picture must be the start one again.
xdotool keydown f
e2e_hold 2 demo_shot_differs no_outlines start || e2e_fail "key 2 did not change the picture"
e2e_hold 2 demo_shot_equals still start || e2e_fail "key F changed the picture without a plane"
xdotool keyup f

e2e_hold l demo_shot_differs root start || e2e_fail "key L did not show a plane"
explore_like root $MAX_OFF --plane ""
explore_keep root plane
e2e_hold f demo_shot_differs front root || e2e_fail "key F did not go to the front child"
explore_like front $MAX_OFF --plane F
e2e_hold b demo_shot_differs front_back front || e2e_fail "key B did not go to the back child"
explore_like front_back $MAX_OFF --plane FB
e2e_hold u demo_shot_differs up front_back || e2e_fail "key U did not go back up"
explore_like up $MAX_OFF --plane F
e2e_hold l demo_shot_equals hidden start || e2e_fail "key L again did not give back the picture"

demo_quit
