// ToolRun.h - run the real orvane-bsp program and capture what it prints.
#ifndef ORV_TOOL_RUN_H
#define ORV_TOOL_RUN_H

#include "TempDir.h"

#include <string>
#include <vector>

#include "TempDir.h"

namespace orvtest {

struct ToolResult {
    std::string out;    // standard output
    std::string err;    // standard error
    int exitCode = -1;  // or -1 when it did not exit normally
    int signal = 0;     // the signal that ended it, or 0
};

// Runs orvane-bsp with args, standard input from /dev/null; kills it after
// timeoutSeconds.
ToolResult RunTool(const std::vector<std::string>& args, unsigned timeoutSeconds = 300);

std::string ReadText(const std::string& path);
bool FileExists(const std::string& path);

// A file of the assimp-testmodels package, and a mesh of this test's data.
std::string AssimpModel(const std::string& relative);
std::string ToolData(const std::string& name);

}  // namespace orvtest

#endif
