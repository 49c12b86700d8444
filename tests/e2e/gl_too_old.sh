#!/usr/bin/env bash
# Below OpenGL 2.0 the program halts with its report and status 1 after the
# window and console exist and before any hook runs.
set -euo pipefail
source "$ORV_E2E_DIR/lib.sh"

e2e_start_display
e2e_start env MESA_GL_VERSION_OVERRIDE=1.5 "$ORV_E2E_PROGRAM"
e2e_wait_exit 20
e2e_expect_eq "exit status" 1 "$E2E_STATUS"
e2e_halt_report src/main.cpp main "OpenGL 2.0 is not supported!!" >"$E2E_DIR/expected"
e2e_expect_output "$E2E_DIR/expected"
