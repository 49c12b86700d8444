# probe_check.awk - checks the whole output of a run of the probe game state
# (GameStateProbe.cpp) and prints what the run showed, one fact a line:
#
#   frames N                  frames run (Update .. Draw blocks)
#   triggered CODE FRAME      a key that went down, and in which frame
#   first_mouse DX DY         the movement the first frame saw
#   mouse_sum DX DY           the movement summed over all frames
#   active_frames N           frames that saw the window active
#   paced_seconds S           steady-clock seconds from frame 0 to the last frame
#
# It fails (status 1, reason on standard error) unless the run reads Load,
# Init, then per frame k = 0, 1, ...: "Update k ..." (FrameCounter k, FrameTime
# at least 1/60), any Triggered lines, "Draw"; then, when shutdown=1, an empty
# line (the status line's end), Free, Unload and nothing more.
function fail(msg) {
    printf "probe_check: line %d: %s (got '%s')\n", NR, msg, $0 > "/dev/stderr"
    failed = 1
    exit 1
}
BEGIN { state = "load"; frames = 0; minTime = 1.0 / 60.0 }
{
    if (state == "load") {
        if ($0 != "Load") fail("expected Load")
        state = "init"
    } else if (state == "init") {
        if ($0 != "Init") fail("expected Init after Load")
        state = "update"
    } else if (state == "update" && $1 == "Update") {
        if (NF != 7) fail("Update needs 6 fields")
        if ($2 != frames) fail("expected FrameCounter " frames)
        if ($3 + 0 < minTime) fail("FrameTime below 1/60")
        if (frames == 0) { firstDX = $4; firstDY = $5; clock0 = $7 }
        sumDX += $4; sumDY += $5; active += $6; clockLast = $7
        state = "frame"
    } else if (state == "update" && $0 == "") {
        state = "free"
    } else if (state == "frame" && $1 == "Triggered" && NF == 2) {
        printf "triggered %d %d\n", $2, frames
    } else if (state == "frame" && $0 == "Draw") {
        frames++
        state = "update"
    } else if (state == "free") {
        if ($0 != "Free") fail("expected Free after the status line's end")
        state = "unload"
    } else if (state == "unload") {
        if ($0 != "Unload") fail("expected Unload after Free")
        state = "done"
    } else {
        fail("unexpected line in state " state)
    }
}
END {
    if (failed) exit 1
    if (shutdown && state != "done") { NR++; $0 = "<end>"; fail("the shutdown sequence is incomplete") }
    printf "frames %d\n", frames
    printf "first_mouse %d %d\n", firstDX, firstDY
    printf "mouse_sum %d %d\n", sumDX, sumDY
    printf "active_frames %d\n", active
    printf "paced_seconds %.6f\n", clockLast - clock0
}
