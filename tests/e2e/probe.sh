# probe.sh - helpers for the scripts that run the probe game state; source it
# after lib.sh.
#
#   probe_start [WxH]  a display of that size, the program on it, its window
#                      found (E2E_WID)
#   probe_check        checks the run's whole output (probe_check.awk, with the
#                      shutdown sequence required) and keeps its facts
#   probe_fact NAME    prints the values of fact NAME (see probe_check.awk)
#   probe_frames_at_least N [secs]   waits until frame N has been updated

PROBE_FACTS=

probe_start() {
    e2e_start_display "$@"
    e2e_start
    e2e_find_window
}

probe_check() {
    PROBE_FACTS=$(awk -v shutdown=1 -f "$ORV_E2E_DIR/probe_check.awk" "$E2E_OUT") ||
        e2e_fail "the run does not follow Load, Init, Update/Draw per frame, end of line, Free, Unload"
}

probe_fact() {
    echo "$PROBE_FACTS" | awk -v name="$1" '$1 == name { $1 = ""; sub(/^ /, ""); print }'
}

probe_frames_at_least() {
    e2e_wait_output "^Update $1 " "${2:-20}"
}
