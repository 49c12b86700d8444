#!/usr/bin/env bash
# The built demo started from a folder without data finds the data the build
# put beside it. A copy of it with no data beside it, started where its data
# is missing or broken, ends with the report of the first thing that failed
# and status 1: the image loader's for a missing texture, "Fail to load
# mesh!!" for a missing mesh, the tokenizer's with the line number for a
# malformed mesh file.
set -euo pipefail
source "$ORV_E2E_DIR/lib.sh"
source "$ORV_E2E_DIR/demo_lib.sh"

e2e_start_display
texture=$PWD/data/textures/Test1.tga
empty=$E2E_DIR/empty
demo_shown_from "$empty" "$ORV_E2E_PROGRAM"
e2e_wait_status '^Using BSP tree, [0-9]+ triangles total, [1-9]'
demo_quit

program=$E2E_DIR/bin/orvane
mkdir -p "$E2E_DIR/bin"
cp "$ORV_E2E_PROGRAM" "$program"

# Runs the demo in folder $1 and compares its whole output with the file
# $E2E_DIR/expected.
run_in() {
    local dir=$1
    rm -f "$E2E_DIR/status" "$E2E_DIR/pid"
    (cd "$dir" && e2e_start "$program")
    E2E_PID=$(cat "$E2E_DIR/pid")
    e2e_wait_exit 20
    e2e_expect_eq "exit status in $(basename "$dir")" 1 "$E2E_STATUS"
    e2e_expect_output "$E2E_DIR/expected"
}

line=$(demo_line_of src/ORV_Image.cpp "Cannot open" "Image::Load(")
demo_report ORV_ASSERT_MESG pFile src/ORV_Image.cpp "$line" ORV::Image::Load \
    "Cannot open 'data/textures/Test1.tga'\n" >"$E2E_DIR/expected"
run_in "$empty"

no_mesh=$E2E_DIR/no_mesh
mkdir -p "$no_mesh/data/textures" "$no_mesh/data/mesh"
cp "$texture" "$no_mesh/data/textures/"
line=$(demo_line_of src/GameStates/GameStateBSP.cpp '"Fail to load mesh!!"')
demo_report ORV_ASSERT_MESG spMesh src/GameStates/GameStateBSP.cpp "$line" gameStateLoad \
    "Fail to load mesh!!" >"$E2E_DIR/expected"
run_in "$no_mesh"

# The opening brace on line 5 touches the number after it.
broken=$E2E_DIR/broken
mkdir -p "$broken/data/textures" "$broken/data/mesh"
cp "$texture" "$broken/data/textures/"
printf 'Mesh\n{\n    Position\n    {\n        0 {0 0 0 }\n    }\n}\n' >"$broken/data/mesh/test_1.txt"
line=$(demo_line_of framework/ORV_TokenTree.cpp "missing space after")
demo_report ORV_ASSERT_MESG '(pEnd - pBegin) == 1' framework/ORV_TokenTree.cpp "$line" \
    ORV::TokenTree::nextToken "5: missing space after '{'" >"$E2E_DIR/expected"
run_in "$broken"
