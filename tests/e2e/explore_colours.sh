#!/usr/bin/env bash
# The colourings. Key M colours every triangle by the depth of its node, with
# a legend, then cut pieces (tinted, outlined by the triangle they were cut
# from) against whole triangles (greyed), then the mesh's own colours again:
# each picture is the one drawn offscreen for the same presses, and the last
# is the demo's own picture exactly. Then a mesh whose bounds are thinner
# than a float step, which once crashed the pieces colouring: the colourings,
# the plane and the painter's order playing all run on it.
set -euo pipefail
source "$ORV_E2E_DIR/lib.sh"
source "$ORV_E2E_DIR/demo_lib.sh"
MAX_OFF=50

demo_start_shown

e2e_hold m demo_shot_differs depth start || e2e_fail "key M did not colour by depth"
explore_like depth $MAX_OFF --colours 1
explore_keep depth depth
e2e_hold m demo_shot_differs pieces depth || e2e_fail "key M again did not show the pieces"
explore_like pieces $MAX_OFF --colours 2
e2e_hold m demo_shot_equals mesh start || e2e_fail "key M a third time did not give back the picture"
demo_quit

demo_run_shown "$ORV_SOURCE_DIR/tests/data/regress/mesh_slab_thinner_than_a_float_cell.txt"
prev=start
for step in m:depth m:pieces l:plane p:painter space:played; do
    key=${step%%:*} name=slab_${step#*:}
    e2e_hold "$key" demo_shot_differs "$name" "$prev" || e2e_fail "key $key did not show the slab's ${step#*:}"
    prev=$name
done
demo_quit
