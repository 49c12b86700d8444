// orvane-bsp - convert, measure, tune, render and check BSP trees built by
// the demo's own tree code.
#include "Tool.h"

#include <CLI/CLI.hpp>

#include <unistd.h>

#include <cstdio>
#include <new>

int main(int argc, char** argv) {
    CLI::App app{
        "orvane-bsp: convert, measure, tune, render and check the BSP trees of Orvane's demo",
        "orvane-bsp"};
    app.require_subcommand(1);
    orvbsp::ShowTreeProgress(isatty(STDOUT_FILENO) != 0);
    int status = 0;
    orvbsp::AddConvert(app, &status);
    orvbsp::AddStats(app, &status);
    orvbsp::AddSweep(app, &status);
    orvbsp::AddRender(app, &status);
    orvbsp::AddCheck(app, &status);
    orvbsp::AddDot(app, &status);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // Help is a success; every mistake on the command line is status 1.
        return app.exit(e) == 0 ? 0 : 1;
    } catch (const orvbsp::Error& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "orvane-bsp: error: %s\n", e.what());
        return 1;
    } catch (const std::bad_alloc&) {
        // A scene that expands, or a tree that grows, past the heap.
        std::fflush(stdout);
        std::fprintf(stderr, "orvane-bsp: error: out of memory\n");
        return 1;
    }
    std::fflush(stdout);
    return status;
}
