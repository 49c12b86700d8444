# demo_lib.sh - helpers for the scripts that run the real demo (orvane); source
# it after lib.sh.
#
#   demo_status_lines          the demo's status lines so far, oldest first
#   demo_last_status           the newest status line
#   demo_wait_last_status TEXT [secs]   until the newest status line is TEXT
#   demo_frames                how many status lines (one per frame) so far
#   demo_wait_frames N [secs]  until N more frames have been shown
#   demo_grab NAME             the window's pixels now, into $E2E_DIR/NAME.rgb
#   demo_settled_shot NAME     grabs until two grabs in a row agree: the picture
#                              the demo keeps drawing while nothing changes
#   demo_shot_differs NAME REF true once a settled picture differs from REF
#                              (kept as NAME)
#   demo_shot_equals NAME REF  true once the picture equals REF (kept as NAME)
#   demo_same_shot A B         true when the two screenshots are identical
#   demo_line_of SRC TEXT [AFTER]   the number of the first line of SRC holding
#                              TEXT (after the first line holding AFTER)
#   demo_report KIND EXPR SRC LINE FUNC [MESG]   the text of a failure report
#   demo_facts MESH [KEY...]   demo_tree_facts' figure lines, without the progress line
#                              that a build longer than half a second prints

demo_status_lines() { e2e_status_lines | grep -E '^(Using|Not using) BSP tree, ' || true; }

demo_last_status() { demo_status_lines | tail -n 1; }

demo_last_status_is() { [ "$(demo_last_status)" = "$1" ]; }

demo_wait_last_status() {
    e2e_wait_until "${2:-20}" demo_last_status_is "$1" ||
        e2e_fail "the status line did not become '$1' (it is '$(demo_last_status)')"
}

demo_frames() { demo_status_lines | wc -l; }

# The demo shows one status line per frame.
e2e_frames() { demo_frames; }

demo_frames_at_least() { [ "$(demo_frames)" -ge "$1" ]; }

demo_wait_frames() {
    local target=$(($(demo_frames) + $1))
    e2e_wait_until "${2:-20}" demo_frames_at_least "$target" ||
        e2e_fail "the demo did not show $1 more frames"
}

demo_grab() {
    import -window "$E2E_WID" -depth 8 "rgb:$E2E_DIR/$1.rgb" || e2e_fail "cannot take screenshot $1"
}

demo_same_shot() { cmp -s "$E2E_DIR/$1.rgb" "$E2E_DIR/$2.rgb"; }

demo_settled() {
    demo_grab "$1.next"
    if demo_same_shot "$1" "$1.next"; then return 0; fi
    mv "$E2E_DIR/$1.next.rgb" "$E2E_DIR/$1.rgb"
    return 1
}

demo_settled_shot() {
    demo_grab "$1"
    e2e_wait_until 20 demo_settled "$1" || e2e_fail "the picture does not hold still ($1)"
}

demo_shot_differs() {
    demo_grab "$1"
    ! demo_same_shot "$1" "$2" && demo_settled "$1"
}

demo_shot_equals() {
    demo_grab "$1"
    demo_same_shot "$1" "$2"
}

demo_line_of() {
    local src=$1 text=$2 after=${3:-} line
    line=$(awk -v text="$text" -v after="$after" '
        after != "" && !seen { if (index($0, after)) seen = 1; next }
        index($0, text) { print NR; exit }' "$ORV_SOURCE_DIR/$src")
    [ -n "$line" ] || e2e_fail "'$text' is not in $src"
    echo "$line"
}

# A report without a Mesg line when MESG is left out; MESG is printed as given
# (it may hold \n).
demo_report() {
    local kind=$1 expr=$2 src=$3 line=$4 func=$5
    printf '%s: %s\nLine: %s\nFunc: %s\nFile: %s\n' "$kind" "$expr" "$line" "$func" "$src"
    if [ $# -ge 6 ]; then printf 'Mesg: %b\n' "$6"; fi
}

demo_facts() {
    "$ORV_DEMO_TREE_FACTS" "$@" | tr '\r\b' '\n\n' | grep -E '^[0-9]+( [0-9]+ [0-9]+)?$'
}

# The exploration modes' pictures against the same picture drawn offscreen by
# tests/e2e/explore_reference.cpp (GLX under Xvfb and EGL both run llvmpipe).
#
#   explore_ref STEP...        runs the reference program
#   explore_like NAME MAX STEP...   the screenshot NAME is the reference after
#                              STEP..., but for at most MAX pixels (printed)
#   explore_pixels_off NAME STEP...   how many pixels of NAME differ from it

# A build slow enough (a sanitizer's) shows its progress line on standard
# output, ended by carriage returns; only the results are kept.
explore_ref() {
    "$ORV_EXPLORE_REFERENCE" "$@" | tr '\r' '\n' | awk 'NF && !/^Building the BSP tree/'
}

explore_pixels_off() {
    local name=$1 out
    shift
    out=$(explore_ref "$@" --compare "$E2E_DIR/$name.rgb" 2>&1) || true
    awk '$1 == "differing" { print $2 }' <<<"$out"
    grep -q '^differing ' <<<"$out" || echo "explore_reference $*: $out" >&2
}

explore_like() {
    local name=$1 max=$2 n
    shift 2
    n=$(explore_pixels_off "$name" "$@")
    echo "$name: $n of 480000 pixels differ from the offscreen reference (${*:-start})"
    [ -n "$n" ] && [ "$n" -le "$max" ] ||
        e2e_fail "$name differs from the offscreen reference (${*:-start}) in ${n:-?} pixels, more than $max"
}

# explore_keep NAME PNG   keeps the screenshot NAME as pictures/PNG.png in the
#                         program's folder, where scripts/pictures takes it
#                         for the README (docs/)
explore_keep() {
    mkdir -p "$PWD/pictures"
    convert -size 800x600 -depth 8 "rgb:$E2E_DIR/$1.rgb" "$PWD/pictures/$2.png" ||
        e2e_fail "cannot keep $1 as pictures/$2.png"
}

# demo_start_shown [ARG...]  the demo (given ARGs) on a display of its own,
#                   focused, its first settled picture kept as the
#                   screenshot "start"
# demo_run_shown [ARG...]    the same on the display already started, after
#                   demo_quit ended the demo before
# demo_shown_from DIR PROGRAM   PROGRAM started in the folder DIR (made if
#                   missing) on the display already started, its window
#                   found and focused
# demo_quit         Escape, held until the program has ended (a slow frame
#                   cannot miss it), ends it with status 0
demo_start_shown() {
    e2e_start_display
    demo_run_shown "$@"
}

demo_run_shown() {
    rm -f "$E2E_DIR/pid" "$E2E_DIR/status"
    E2E_STATUS=
    e2e_start "$ORV_E2E_PROGRAM" "$@"
    e2e_find_window
    e2e_focus
    e2e_wait_until 10 demo_frames_at_least 2 || e2e_fail "the demo shows no frames"
    demo_settled_shot start
}

demo_shown_from() {
    mkdir -p "$1"
    (cd "$1" && e2e_start "$2")
    E2E_PID=$(cat "$E2E_DIR/pid")
    e2e_find_window
    e2e_focus
}

demo_quit() {
    xdotool keydown Escape
    e2e_wait_exit 20
    xdotool keyup Escape || true
    e2e_expect_eq "exit status" 0 "$E2E_STATUS"
}
