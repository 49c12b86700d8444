#!/usr/bin/env bash
# The demo's command line. --help prints the command line and the keys and
# ends with 0 without opening a window (no display is given); an unknown
# option is a usage error with status 2. `orvane MESH` opens the given file:
# a missing one ends with a report naming it; an OBJ file is converted in
# memory, and its tree's figures are those of the same file converted by
# orvane-bsp convert, also after rebuilds by keys 3 and 4, and its pictures
# are the ones drawn offscreen for the same tree, batched, and per triangle
# after key R; a mesh far from
# the origin starts whole and centred in the window.
set -euo pipefail
source "$ORV_E2E_DIR/lib.sh"
source "$ORV_E2E_DIR/demo_lib.sh"
program=$ORV_E2E_PROGRAM

rc=0
env -u DISPLAY "$program" --help >"$E2E_DIR/help" 2>"$E2E_DIR/help.err" || rc=$?
e2e_expect_eq "--help exit status" 0 "$rc"
e2e_expect_eq "--help first line" "usage: orvane [--draw immediate|batched] [--candidates N] [MESH]" "$(head -n 1 "$E2E_DIR/help")"
grep -qx '  Escape              quit' "$E2E_DIR/help" || e2e_fail "--help does not list Escape"
[ ! -s "$E2E_DIR/help.err" ] || e2e_fail "--help wrote on standard error: $(cat "$E2E_DIR/help.err")"

rc=0
env -u DISPLAY "$program" --bogus >"$E2E_DIR/bogus" 2>"$E2E_DIR/bogus.err" || rc=$?
e2e_expect_eq "unknown option exit status" 2 "$rc"
e2e_expect_eq "unknown option message" "orvane: unknown option '--bogus'" "$(head -n 1 "$E2E_DIR/bogus.err")"
[ ! -s "$E2E_DIR/bogus" ] || e2e_fail "a usage error wrote on standard output"

e2e_start_display

# Starts the demo with the given arguments; the previous run's status goes.
start() {
    rm -f "$E2E_DIR/status" "$E2E_DIR/pid"
    e2e_start "$program" "$@"
}

missing=$E2E_DIR/no/such/mesh.obj
start "$missing"
e2e_wait_exit 20
e2e_expect_eq "exit status for a missing mesh" 1 "$E2E_STATUS"
line=$(demo_line_of src/GameStates/GameStateBSP.cpp "Fail to load mesh '%s'")
demo_report ORV_ASSERT_MESG spMesh src/GameStates/GameStateBSP.cpp "$line" gameStateLoad \
    "Fail to load mesh '$missing': No such file or directory!!" >"$E2E_DIR/expected"
e2e_expect_output "$E2E_DIR/expected"

# The tool converts the same file; the tree built over its text must show the
# figures the demo shows for the OBJ file itself.
wuson=/usr/share/assimp/models/OBJ/WusonOBJ.obj
"$ORV_BSP_TOOL" convert "$wuson" "$E2E_DIR/wuson.txt" >/dev/null || e2e_fail "orvane-bsp convert failed"
mapfile -t facts < <(demo_facts "$E2E_DIR/wuson.txt" 3 4)
[ "${#facts[@]}" -eq 4 ] || e2e_fail "demo_tree_facts gave ${#facts[@]} lines"
status_of() {
    local total drawn depth
    read -r total drawn depth <<<"${facts[$1]}"
    echo "Using BSP tree, $total triangles total, $drawn triangles drawn, tree depth: $depth"
}

# The picture's bounding box of everything that is not the background, as
# "left top right bottom" (right and bottom exclusive).
drawn_box() {
    convert -size 800x600 -depth 8 "rgb:$E2E_DIR/$1.rgb" -format '%@' info: |
        awk -F'[x+]' '{ print $3, $4, $3 + $1, $4 + $2 }'
}

# Whole (no edge touched), centred within 40 pixels, and not a speck.
expect_whole_and_centred() {
    local left top right bottom
    read -r left top right bottom <<<"$(drawn_box "$1")"
    echo "$1: drawn within x $left..$right, y $top..$bottom"
    [ "$left" -gt 0 ] && [ "$top" -gt 0 ] && [ "$right" -lt 800 ] && [ "$bottom" -lt 600 ] ||
        e2e_fail "$1 does not show the whole mesh (x $left..$right, y $top..$bottom)"
    [ $(((left + right) / 2 - 400)) -le 40 ] && [ $((400 - (left + right) / 2)) -le 40 ] &&
        [ $(((top + bottom) / 2 - 300)) -le 40 ] && [ $((300 - (top + bottom) / 2)) -le 40 ] ||
        e2e_fail "$1 is not centred (x $left..$right, y $top..$bottom)"
    [ $((bottom - top)) -ge 120 ] || [ $((right - left)) -ge 160 ] ||
        e2e_fail "$1 shows the mesh too small (x $left..$right, y $top..$bottom)"
}

start "$wuson"
e2e_find_window
e2e_focus
demo_wait_last_status "$(status_of 1)"
demo_settled_shot wuson
expect_whole_and_centred wuson
explore_like wuson 50 --mesh "$wuson"
e2e_hold 3 demo_last_status_is "$(status_of 2)" ||
    e2e_fail "key 3 did not rebuild the tree: '$(status_of 2)' (it is '$(demo_last_status)')"
demo_settled_shot wuson3
explore_like wuson3 50 --mesh "$wuson" --key3
e2e_hold 4 demo_last_status_is "$(status_of 3)" ||
    e2e_fail "key 4 did not rebuild the tree: '$(status_of 3)' (it is '$(demo_last_status)')"
demo_settled_shot wuson34
explore_like wuson34 50 --mesh "$wuson" --key3 --key4
# R: the same tree drawn one triangle at a time instead of batched.
e2e_hold r demo_shot_differs wusonR wuson34 || e2e_fail "key R did not change how the tree is drawn"
explore_like wusonR 50 --mesh "$wuson" --key3 --key4 --draw immediate
xdotool keydown Escape
e2e_wait_exit 20
xdotool keyup Escape || true
e2e_expect_eq "exit status" 0 "$E2E_STATUS"

# A unit cube a thousand units away from the origin, in a format of its own.
printf '%s\n' 'ply' 'format ascii 1.0' 'element vertex 8' 'property float x' 'property float y' \
    'property float z' 'element face 6' 'property list uchar int vertex_indices' 'end_header' \
    '1000 1000 1000' '1001 1000 1000' '1001 1001 1000' '1000 1001 1000' \
    '1000 1000 1001' '1001 1000 1001' '1001 1001 1001' '1000 1001 1001' \
    '4 0 3 2 1' '4 4 5 6 7' '4 0 1 5 4' '4 2 3 7 6' '4 1 2 6 5' '4 0 4 7 3' >"$E2E_DIR/far.ply"
start "$E2E_DIR/far.ply"
e2e_find_window
e2e_focus
e2e_wait_status '^Using BSP tree, 12 triangles total, 12 triangles drawn'
demo_settled_shot far
expect_whole_and_centred far
xdotool keydown Escape
e2e_wait_exit 20
xdotool keyup Escape || true
e2e_expect_eq "exit status" 0 "$E2E_STATUS"
