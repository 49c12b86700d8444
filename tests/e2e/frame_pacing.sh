#!/usr/bin/env bash
# Over a second of frames the frame counter advances by one per frame,
# FrameTime never reads below 1/60 (both checked by probe_check on every
# frame), and the steady clock agrees that 60 frames take a second.
set -euo pipefail
source "$ORV_E2E_DIR/lib.sh"
source "$ORV_E2E_DIR/probe.sh"

probe_start
probe_frames_at_least 61 20
e2e_close
e2e_wait_exit 10
e2e_expect_eq "exit status" 0 "$E2E_STATUS"

probe_check
frames=$(probe_fact frames)
seconds=$(probe_fact paced_seconds)
# Frames 0 to frames-1 span frames-1 whole paced frames; 1 ms for rounding.
awk -v n="$frames" -v s="$seconds" 'BEGIN { exit !(n >= 62 && s >= (n - 1) / 60.0 - 0.001) }' ||
    e2e_fail "$frames frames took $seconds s on the steady clock: faster than 60 per second"
