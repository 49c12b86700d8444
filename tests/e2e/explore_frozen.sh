#!/usr/bin/env bash
# A frozen eye. Key I freezes the eye of the walk; the camera then moves
# away and round behind the scene (right- and left-button drags of known
# lengths, whose turns and distances are exact), and the window shows the
# order computed for the frozen point, with its marker, as drawn offscreen
# for the same steps. That order is not the one for the camera's own eye:
# frozen there instead, the picture differs under the text in many more
# pixels than the marker covers (a few hundred). I again draws the camera's
# own order, as the demo would.
set -euo pipefail
source "$ORV_E2E_DIR/lib.sh"
source "$ORV_E2E_DIR/demo_lib.sh"
MAX_OFF=50

demo_start_shown

# A drag with a button held from (400, 300) by dx, dy pixels, until the
# picture changes from the shot before (kept as NAME).
drag() {
    local button=$1 dx=$2 dy=$3 name=$4 before=$5
    xdotool mousemove --window "$E2E_WID" 400 300
    demo_wait_frames 2
    xdotool mousedown "$button"
    xdotool mousemove --window "$E2E_WID" $((400 + dx)) $((300 + dy))
    e2e_wait_until 20 demo_shot_differs "$name" "$before" ||
        { xdotool mouseup "$button"; e2e_fail "the drag by $dx, $dy did not move the camera"; }
    xdotool mouseup "$button"
    demo_wait_frames 2
    demo_settled_shot "$name"
}

# Nearer first (a frozen eye inside the scene's reach), frozen there, then
# away and round behind.
drag 3 0 -40 near start
e2e_hold i demo_shot_differs frozen near || e2e_fail "key I did not show the frozen eye"
explore_like frozen $MAX_OFF --zoom -40 --freeze
drag 3 0 150 frozen_far frozen
drag 1 300 20 behind frozen_far
explore_like behind $MAX_OFF --zoom -40 --freeze --zoom 150 --drag 300 20
explore_keep behind frozen

# The same camera with the eye frozen where it is: the camera's own order.
own=$(explore_ref --zoom -40 --zoom 150 --drag 300 20 --freeze --below 60 \
    --compare "$E2E_DIR/behind.rgb" | awk '{ print $2 }')
echo "behind: $own pixels under the text differ from the camera's own order"
[ "$own" -ge 2000 ] || e2e_fail "the frozen order looks like the camera's own ($own pixels differ)"

e2e_hold i demo_shot_differs unfrozen behind || e2e_fail "key I again did not change the picture"
explore_like unfrozen $MAX_OFF --zoom -40 --zoom 150 --drag 300 20

demo_quit
