#!/usr/bin/env bash
# Why the tree. Key O paints the sorted order, then the file's order, then the
# tree's again; key X marks the pixels the order paints wrong against the
# depth buffer; key G shows the tree as a diagram, whose cursor F and B move.
# Each picture is the one drawn offscreen for the same presses; X and G off
# again give back the demo's picture exactly.
set -euo pipefail
source "$ORV_E2E_DIR/lib.sh"
source "$ORV_E2E_DIR/demo_lib.sh"
MAX_OFF=50

"$ORV_E2E_PROGRAM" --help >"$E2E_DIR/help" </dev/null
for key in O X G; do
    grep -qE "^  $key +[a-z]" "$E2E_DIR/help" || e2e_fail "--help does not list key $key"
done

demo_start_shown

e2e_hold o demo_shot_differs sorted start || e2e_fail "key O did not paint the sorted order"
explore_like sorted $MAX_OFF --order 1
e2e_hold x demo_shot_differs sorted_wrong sorted || e2e_fail "key X did not mark wrong pixels"
explore_like sorted_wrong $MAX_OFF --order 1 --wrong
explore_keep sorted_wrong wrong
e2e_hold o demo_shot_differs file_wrong sorted_wrong || e2e_fail "key O did not paint the file order"
explore_like file_wrong $MAX_OFF --order 2 --wrong
e2e_hold o demo_shot_differs tree_wrong file_wrong || e2e_fail "key O did not go back to the tree"
explore_like tree_wrong $MAX_OFF --order 3 --wrong
e2e_hold x demo_shot_equals tree start || e2e_fail "key X again did not give back the picture"

e2e_hold g demo_shot_differs diagram start || e2e_fail "key G did not show the diagram"
explore_like diagram $MAX_OFF --diagram ""
e2e_hold f demo_shot_differs diagram_f diagram || e2e_fail "key F did not move the diagram's cursor"
e2e_hold b demo_shot_differs diagram_fb diagram_f || e2e_fail "key B did not move the diagram's cursor"
explore_like diagram_fb $MAX_OFF --diagram FB
explore_keep diagram_fb diagram
e2e_hold g demo_shot_equals plain start || e2e_fail "key G again did not give back the picture"

demo_quit
