// DemoCommandLine.h - the demo's command line, `orvane [--draw PATH] [MESH]`,
// and the list of its keys that `orvane --help` prints.
#ifndef BSP_DEMO_COMMAND_LINE_H
#define BSP_DEMO_COMMAND_LINE_H

#include "DrawPath.h"

#include <cstddef>
#include <string>
#include <vector>

struct DemoOptions {
    std::string meshPath;  // empty: the demo's own mesh
    bool help = false;     // --help or -h
    std::string error;     // a usage error, empty when the line is fine
    // --candidates N: splitter candidates scored per node (0: all).
    size_t candidates = 0;
    // --draw immediate|batched: how the walk is drawn, when given.
    bool drawGiven = false;
    DrawPath draw = DrawPath::Immediate;
};

// Reads the arguments after the program's name: at most one MESH, --help
// (or -h), --candidates N (or --candidates=N; N a whole number), --draw
// immediate|batched (or --draw=...), and "--" before a MESH that starts
// with "-". Anything else starting with "-" is an
// unknown option.
DemoOptions ParseDemoCommandLine(const std::vector<std::string>& args);

// The keys, one line each ("  Escape              quit"), in sections
// under a heading line.
std::vector<std::string> DemoKeyLines();

// What --help prints: the command line, what MESH may be, and every key.
std::string DemoHelpText();

// The usage error's text on standard error, for status 2.
std::string DemoUsageError(const std::string& error);

#endif
