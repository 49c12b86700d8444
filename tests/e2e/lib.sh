# lib.sh - helpers shared by the end-to-end test scripts; source it.
#
# The scripts run under bash with `set -euo pipefail`, started by CTest (see
# CMakeLists.txt) with ORV_E2E_PROGRAM, ORV_E2E_SEND_CLOSE and ORV_SOURCE_DIR
# in the environment. Every wait here is bounded and polls for something
# observable; the display and the program are stopped when the script ends.
#
#   e2e_start_display [WxH]       a private Xvfb (default 1280x1024), DISPLAY set
#   e2e_start [command...]        the program (default $ORV_E2E_PROGRAM) in the
#                                 background: stdout in $E2E_OUT, stderr in $E2E_ERR
#   e2e_find_window [title]       waits for the visible window; sets E2E_WID
#   e2e_focus                     gives E2E_WID the input focus
#   e2e_hold KEY [secs] CMD...    holds KEY down until CMD succeeds (the
#                                 program shows the press), lets it go and
#                                 waits until the program has seen it go;
#                                 false after secs (default 20)
#   e2e_frames                    frames the program has shown so far (the
#                                 probe's Update lines; demo_lib.sh counts
#                                 status lines instead)
#   e2e_close                     sends WM_DELETE_WINDOW to E2E_WID
#   e2e_wait_output REGEX [secs]  until a line of standard output matches
#   e2e_wait_status REGEX [secs]  until a status line (output split on
#                                 backspaces and line feeds) matches
#   e2e_wait_until SECS CMD...    until CMD succeeds; false after SECS
#   e2e_wait_exit [secs]          until the program ends; sets E2E_STATUS
#   e2e_status_lines              prints the output split on backspaces, without
#                                 the blank lines that erase a status line
#   e2e_expect_eq WHAT EXPECTED ACTUAL
#   e2e_expect_output FILE        standard output equals FILE byte for byte
#   e2e_halt_report SRC FUNC MESG prints the ORV_HALT report that the unique
#                                 line of SRC holding "MESG" makes
#   e2e_fail MESSAGE              reports, shows the program's output, exits 1

E2E_DIR=$(mktemp -d "${TMPDIR:-/tmp}/orv-e2e.XXXXXX")
E2E_OUT=$E2E_DIR/stdout
E2E_ERR=$E2E_DIR/stderr
E2E_PID=
E2E_XVFB_PID=
E2E_WID=
E2E_STATUS=
: >"$E2E_OUT"
: >"$E2E_ERR"

e2e_cleanup() {
    if [ -n "$E2E_PID" ] && kill -0 "$E2E_PID" 2>/dev/null; then kill "$E2E_PID" 2>/dev/null || true; fi
    if [ -n "$E2E_XVFB_PID" ]; then kill "$E2E_XVFB_PID" 2>/dev/null || true; fi
    wait 2>/dev/null || true
    rm -rf "$E2E_DIR"
}
trap e2e_cleanup EXIT

e2e_fail() {
    echo "FAIL: $*" >&2
    # A status line rewritten in place is one endless line: show it split.
    echo "--- standard output, last 30 lines split on backspaces ---" >&2
    e2e_status_lines | tail -n 30 >&2
    echo "--- standard error ---" >&2
    tail -n 20 "$E2E_ERR" >&2 || true
    exit 1
}

e2e_now_us() { echo "${EPOCHREALTIME/./}"; }

e2e_wait_until() {
    local secs=$1
    shift
    local deadline=$(($(e2e_now_us) + secs * 1000000))
    until "$@"; do
        if [ "$(e2e_now_us)" -ge "$deadline" ]; then return 1; fi
        sleep 0.02
    done
}

e2e_start_display() {
    local size=${1:-1280x1024}
    # -displayfd: Xvfb picks a free display itself and writes its number when
    # it accepts connections, so parallel tests never race for one. -noreset:
    # by default the server resets when its last client leaves, and a program
    # that connects during the reset is refused ("Failed to open display").
    Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp -noreset 3>"$E2E_DIR/display" \
        2>"$E2E_DIR/xvfb.log" &
    E2E_XVFB_PID=$!
    e2e_wait_until 20 test -s "$E2E_DIR/display" ||
        { cat "$E2E_DIR/xvfb.log" >&2; e2e_fail "Xvfb did not start"; }
    export DISPLAY=":$(head -n 1 "$E2E_DIR/display")"
}

e2e_start() {
    if [ $# -eq 0 ]; then set -- "$ORV_E2E_PROGRAM"; fi
    # The subshell records the exit status, which bash cannot wait for with a
    # time limit.
    (
        "$@" >"$E2E_OUT" 2>"$E2E_ERR" </dev/null &
        echo $! >"$E2E_DIR/pid"
        wait $! && echo 0 >"$E2E_DIR/status.tmp" || echo $? >"$E2E_DIR/status.tmp"
        mv "$E2E_DIR/status.tmp" "$E2E_DIR/status"
    ) &
    e2e_wait_until 5 test -s "$E2E_DIR/pid" || e2e_fail "the program did not start"
    E2E_PID=$(cat "$E2E_DIR/pid")
}

e2e_wait_exit() {
    local secs=${1:-10}
    e2e_wait_until "$secs" test -s "$E2E_DIR/status" ||
        e2e_fail "the program did not end within $secs s"
    E2E_STATUS=$(cat "$E2E_DIR/status")
}

e2e_find_window() {
    local title=${1:-Orvane}
    E2E_WID=$(timeout 30 xdotool search --sync --onlyvisible --name "^${title}\$" | head -n 1) ||
        e2e_fail "no visible window titled '$title'"
    [ -n "$E2E_WID" ] || e2e_fail "no visible window titled '$title'"
}

e2e_focus() {
    # Xvfb has no window manager, so windowactivate would fail.
    timeout 10 xdotool windowfocus --sync "$E2E_WID" || e2e_fail "cannot focus window $E2E_WID"
}

e2e_frames() { grep -c '^Update ' "$E2E_OUT" || true; }

e2e_frames_at_least() { [ "$(e2e_frames)" -ge "$1" ]; }

# The program samples the keyboard once per frame, so a press and a release
# that reach it within one event poll are never seen, nor is a release
# followed by a new press of the same key. Under load the X server can hand
# events over late and together. A key is therefore held until the program
# shows its effect, however long that takes. A release shows nothing: xdotool
# returns once the X server has sent it to the program, so two frames shown
# after that have polled it, and the next press is seen as one.
e2e_hold() {
    local key=$1 secs=20 seen=0
    shift
    if [[ $1 =~ ^[0-9]+$ ]]; then secs=$1; shift; fi
    xdotool keydown "$key"
    e2e_wait_until "$secs" "$@" && seen=1
    xdotool keyup "$key" || true
    e2e_wait_until 20 e2e_frames_at_least $(($(e2e_frames) + 2)) ||
        e2e_fail "no frame shown after '$key' was let go"
    [ $seen = 1 ]
}

e2e_close() {
    "$ORV_E2E_SEND_CLOSE" "$E2E_WID" || e2e_fail "cannot send WM_DELETE_WINDOW to $E2E_WID"
}

e2e_status_lines() { tr '\b' '\n' <"$E2E_OUT" | grep -v '^ *$' || true; }

e2e_output_has() { grep -qE -- "$1" "$E2E_OUT"; }
e2e_status_has() { e2e_status_lines | grep -qE -- "$1"; }

e2e_wait_output() {
    e2e_wait_until "${2:-20}" e2e_output_has "$1" || e2e_fail "no output line matching '$1'"
}

e2e_wait_status() {
    e2e_wait_until "${2:-20}" e2e_status_has "$1" || e2e_fail "no status line matching '$1'"
}

e2e_expect_eq() {
    [ "$2" = "$3" ] || e2e_fail "$1: expected '$2', got '$3'"
}

e2e_expect_output() {
    cmp -s "$1" "$E2E_OUT" || {
        echo "--- expected ---" >&2
        cat -A "$1" >&2
        echo "--- got ---" >&2
        cat -A "$E2E_OUT" >&2
        e2e_fail "standard output differs from the expected text"
    }
}

e2e_halt_report() {
    local src=$1 func=$2 mesg=$3 line
    line=$(grep -nF "\"$mesg\"" "$ORV_SOURCE_DIR/$src" | cut -d: -f1)
    [ "$(echo "$line" | wc -l)" -eq 1 ] && [ -n "$line" ] ||
        e2e_fail "'$mesg' is not on exactly one line of $src"
    printf 'ORV_HALT:\nLine: %s\nFunc: %s\nFile: %s\nMesg: %s\n' "$line" "$func" "$src" "$mesg"
}
