#!/usr/bin/env bash
# The demo's status line: the tree's figures from the first frame on (none
# drawn before the first frame), the plain mesh's count after key 1 and back,
# one rebuild per press of key 3 (five times) and of key 4, each showing the
# figures of the tree it built; Escape ends the line and the program with 0.
set -euo pipefail
source "$ORV_E2E_DIR/lib.sh"
source "$ORV_E2E_DIR/demo_lib.sh"

# The figures of the start tree and of the trees the key presses below build.
mapfile -t facts < <("$ORV_DEMO_TREE_FACTS" data/mesh/test_1.txt 3 3 3 3 3 4)
[ "${#facts[@]}" -eq 8 ] || e2e_fail "demo_tree_facts gave ${#facts[@]} lines"
tri_num=${facts[0]}
status_of() {
    local total drawn depth
    read -r total drawn depth <<<"${facts[$1]}"
    echo "Using BSP tree, $total triangles total, $drawn triangles drawn, tree depth: $depth"
}
read -r total _ depth <<<"${facts[1]}"

e2e_start_display
e2e_start
e2e_find_window
e2e_focus

e2e_wait_until 10 demo_frames_at_least 1 || e2e_fail "no status line"
e2e_expect_eq "first status line" \
    "Using BSP tree, $total triangles total, 0 triangles drawn, tree depth: $depth" \
    "$(demo_status_lines | head -n 1)"
demo_wait_last_status "$(status_of 1)"

# The frame rate under Xvfb: one status line per frame.
before=$(demo_frames)
start=$(e2e_now_us)
demo_wait_frames 60 20
frames=$(($(demo_frames) - before))
elapsed=$(($(e2e_now_us) - start))
echo "frames: $frames in $((elapsed / 1000)) ms, $((elapsed / frames / 1000)) ms per frame"

# Each key is held until the status line shows what it did.
e2e_hold 1 demo_last_status_is "Not using BSP tree, $tri_num triangles" ||
    e2e_fail "key 1 did not switch to the plain mesh (the status line is '$(demo_last_status)')"
e2e_hold 1 demo_last_status_is "$(status_of 1)" ||
    e2e_fail "key 1 did not switch back to the tree (the status line is '$(demo_last_status)')"

for i in 2 3 4 5 6; do
    # Each rebuild must be told apart from the one before.
    [ "$(status_of "$i")" != "$(status_of $((i - 1)))" ] ||
        e2e_fail "trees $((i - 1)) and $i show the same figures: the test cannot see the rebuild"
    e2e_hold 3 demo_last_status_is "$(status_of "$i")" ||
        e2e_fail "press $((i - 1)) of key 3 did not show tree $i: '$(status_of "$i")' (it is '$(demo_last_status)')"
done

# A key held down acts once: while 4 stays down for more frames, the status
# stays that of the one tree it built.
xdotool keydown 4
e2e_wait_until 20 demo_last_status_is "$(status_of 7)" ||
    { xdotool keyup 4; e2e_fail "key 4 did not show tree 7: '$(status_of 7)' (it is '$(demo_last_status)')"; }
demo_wait_frames 10
xdotool keyup 4
demo_wait_frames 2
[ "$(demo_status_lines | awk -v s="$(status_of 7)" '$0 == s { on = 1 } on' | sort -u)" = "$(status_of 7)" ] ||
    e2e_fail "key 4 held down rebuilt the tree more than once"

# Held until the program has ended: a slow frame cannot miss it.
xdotool keydown Escape
e2e_wait_exit 20
xdotool keyup Escape || true
e2e_expect_eq "exit status" 0 "$E2E_STATUS"
# The last status line is ended by one line feed, and nothing follows.
e2e_expect_eq "end of output" "$(status_of 7)" "$(tail -n 1 "$E2E_OUT" | tr '\b' '\n' | tail -n 1)"
[ "$(tail -c 1 "$E2E_OUT" | od -An -c | tr -d ' ')" = '\n' ] || e2e_fail "the output does not end with a line feed"
[ "$(grep -c '' "$E2E_OUT")" -eq 1 ] || e2e_fail "the status line was not rewritten in place"
