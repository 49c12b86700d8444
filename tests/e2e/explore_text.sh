#!/usr/bin/env bash
# Text in the window. --help lists every key of the exploration. Key T puts
# the status line in the window and leaves the picture under it as it was;
# key H adds the list of keys; each as drawn offscreen. H and T again give
# back the demo's picture exactly.
set -euo pipefail
source "$ORV_E2E_DIR/lib.sh"
source "$ORV_E2E_DIR/demo_lib.sh"
MAX_OFF=50

"$ORV_E2E_PROGRAM" --help >"$E2E_DIR/help" </dev/null
for key in P N Space I M L 'F, B, U' T H; do
    grep -qE "^  $key +[a-z]" "$E2E_DIR/help" || e2e_fail "--help does not list key $key"
done

demo_start_shown

e2e_hold t demo_shot_differs text start || e2e_fail "key T did not show the status line"
explore_like text $MAX_OFF --text
# Only the text's box changes the picture: under it, nothing.
read -r _ n < <(explore_ref --diff "$E2E_DIR/start.rgb" "$E2E_DIR/text.rgb" 40)
e2e_expect_eq "pixels changed under the text" 0 "$n"
e2e_hold h demo_shot_differs keys text || e2e_fail "key H did not show the keys"
explore_like keys $MAX_OFF --text --keys
e2e_hold h demo_shot_equals text_again text || e2e_fail "key H again did not hide the keys"
e2e_hold t demo_shot_equals plain start || e2e_fail "key T again did not give back the picture"

demo_quit
