#!/usr/bin/env bash
# Installed like a program: cmake --install puts orvane, orvane-bsp and the
# demo's data under a prefix; the prefix moved elsewhere, bin/orvane started
# from a folder without data finds the installed data and shows the demo's
# tree, while data in the working directory still comes first.
set -euo pipefail
source "$ORV_E2E_DIR/lib.sh"
source "$ORV_E2E_DIR/demo_lib.sh"

"$ORV_CMAKE" --install "$ORV_BUILD_DIR" --prefix "$E2E_DIR/prefix" >"$E2E_DIR/install.log" ||
    { cat "$E2E_DIR/install.log" >&2; e2e_fail "cmake --install failed"; }
for f in bin/orvane bin/orvane-bsp share/orvane/data/mesh/test_1.txt \
    share/orvane/data/textures/Test1.tga; do
    [ -f "$E2E_DIR/prefix/$f" ] || e2e_fail "the install has no $f"
done
# Nothing may depend on where the prefix was when it was installed.
mv "$E2E_DIR/prefix" "$E2E_DIR/moved"
program=$E2E_DIR/moved/bin/orvane
"$E2E_DIR/moved/bin/orvane-bsp" --help >/dev/null || e2e_fail "the installed orvane-bsp does not run"

mapfile -t facts < <(demo_facts "$ORV_SOURCE_DIR/data/mesh/test_1.txt")
read -r total drawn depth <<<"${facts[1]}"

e2e_start_display
demo_shown_from "$E2E_DIR/elsewhere" "$program"
demo_wait_last_status "Using BSP tree, $total triangles total, $drawn triangles drawn, tree depth: $depth"
demo_quit

# A broken mesh in the working directory is read, not the installed one.
own=$E2E_DIR/own
mkdir -p "$own/data/mesh"
printf 'Mesh\n{\n    Position\n    {\n        0 {0 0 0 }\n    }\n}\n' >"$own/data/mesh/test_1.txt"
rm -f "$E2E_DIR/status" "$E2E_DIR/pid"
(cd "$own" && e2e_start "$program")
E2E_PID=$(cat "$E2E_DIR/pid")
e2e_wait_exit 20
e2e_expect_eq "exit status with a broken mesh in the working directory" 1 "$E2E_STATUS"
line=$(demo_line_of framework/ORV_TokenTree.cpp "missing space after")
demo_report ORV_ASSERT_MESG '(pEnd - pBegin) == 1' framework/ORV_TokenTree.cpp "$line" \
    ORV::TokenTree::nextToken "5: missing space after '{'" >"$E2E_DIR/expected"
e2e_expect_output "$E2E_DIR/expected"
