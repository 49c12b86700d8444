#!/usr/bin/env bash
# The painter's order step by step. Key P starts it from nothing; after k
# presses of N the window shows the first k triangles of the walk, the last
# one outlined, and "k of total" in its text: the picture drawn offscreen for
# the same k is the closest of its neighbours and matches but for a few
# pixels. N held down paints on by itself; Space plays the order to its end
# and stops there; P again gives back the demo's picture exactly. The console
# status line stays what it was throughout.
set -euo pipefail
source "$ORV_E2E_DIR/lib.sh"
source "$ORV_E2E_DIR/demo_lib.sh"
MAX_OFF=50  # pixels that may differ from the offscreen reference

read -r _ total _ depth < <(explore_ref --facts)
demo_start_shown
status=$(demo_last_status)
e2e_expect_eq "the status line's depth" "$depth" "${status##*: }"

e2e_hold p demo_shot_differs painted0 start || e2e_fail "key P did not change the picture"
explore_like painted0 $MAX_OFF --painter 0

# The count a screenshot shows, from the offscreen pictures of from..to.
shown_count() {
    local name=$1 from=$2 to=$3 k n next
    read -r _ k _ n _ next < <(explore_ref --find "$from" "$to" "$E2E_DIR/$name.rgb")
    echo "$name: closest to $k painted, $n pixels off (the next closest: $next)" >&2
    [ "$n" -le $MAX_OFF ] || e2e_fail "$name is none of the pictures of $from..$to painted"
    echo "$k"
}

# A press held past the repeat delay may paint more than one triangle: the
# count must then be at least one more.
k=0
prev=painted0
for i in 1 2 3 4 5; do
    t0=$(e2e_now_us)
    e2e_hold n demo_shot_differs "step$i" "$prev" || e2e_fail "key N did not paint a triangle"
    held=$(($(e2e_now_us) - t0))
    got=$(shown_count "step$i" "$k" $((k + 40)))
    if [ "$held" -lt 450000 ]; then
        e2e_expect_eq "triangles painted after step $i" $((k + 1)) "$got"
    else
        [ "$got" -gt "$k" ] || e2e_fail "step $i painted nothing"
    fi
    k=$got
    prev=step$i
done
e2e_expect_eq "the status line while painting" "$status" "$(demo_last_status)"

# Held: the picture keeps changing without another press.
changes=0
last=$prev
changed_again() {
    demo_grab held
    if ! demo_same_shot held "$last"; then
        changes=$((changes + 1))
        cp "$E2E_DIR/held.rgb" "$E2E_DIR/held_$changes.rgb"
        last=held_$changes
    fi
    [ $changes -ge 3 ]
}
e2e_hold n 30 changed_again || e2e_fail "key N held did not paint on (changes: $changes)"
demo_settled_shot repeated
got=$(shown_count repeated $((k + 2)) $((k + 400)))
k=$got

# Played: the whole order, then it stops with everything painted. The frames
# seen while it plays are kept: four of them make the README's strip.
explore_ref --painter "$total" --write "$E2E_DIR/all.rgb"
frames=0
first_frame() {
    demo_grab playing_1
    ! demo_same_shot playing_1 repeated && frames=1
}
e2e_hold space first_frame || e2e_fail "Space did not play"
ends_painted() {
    demo_grab played
    if ! demo_same_shot played "playing_$frames"; then
        frames=$((frames + 1))
        cp "$E2E_DIR/played.rgb" "$E2E_DIR/playing_$frames.rgb"
    fi
    [ "$(explore_ref --diff "$E2E_DIR/played.rgb" "$E2E_DIR/all.rgb" | awk '{ print $2 }')" -le $MAX_OFF ]
}
e2e_wait_until 60 ends_painted || e2e_fail "playing did not paint all $total triangles"
explore_like played $MAX_OFF --painter "$total"
echo "playing: $frames different frames seen"
[ $frames -ge 8 ] || e2e_fail "playing showed only $frames frames: it is not a steady pace"
for i in 1 2 3; do explore_keep "playing_$((frames * i / 4))" "painter_$i"; done
explore_keep played painter_4

e2e_hold p demo_shot_equals drawing start || e2e_fail "key P again did not give back the picture"
e2e_expect_eq "the status line after painting" "$status" "$(demo_last_status)"

demo_quit
