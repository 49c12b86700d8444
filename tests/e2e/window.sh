#!/usr/bin/env bash
# The platform layer's window tests (test_window.cpp) on a display of their own.
set -euo pipefail
source "$ORV_E2E_DIR/lib.sh"

e2e_start_display
timeout 100 "$ORV_E2E_PROGRAM"
