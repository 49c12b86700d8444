// ORV_DataPath.cpp - the data file lookup: working directory, beside the
// program, then the install.
#include "ORV_DataPath.h"

#include <unistd.h>

#include <climits>

// The installed data relative to the installed program's folder; the build
// computes it from the install directories.
#ifndef ORV_DATA_FROM_BIN
#define ORV_DATA_FROM_BIN "../share/orvane"
#endif

namespace ORV {

namespace {

bool exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

// The folder of the running program, "" when the kernel does not say.
std::string programFolder() {
    char buf[PATH_MAX];
    ssize_t len = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (len <= 0) return "";
    std::string exe(buf, static_cast<size_t>(len));
    size_t slash = exe.find_last_of('/');
    return slash == std::string::npos ? "" : exe.substr(0, slash);
}

}  // namespace

std::string DataPath(const char* pRelative) {
    std::string relative = pRelative;
    if (exists(relative)) return relative;
    std::string folder = programFolder();
    if (!folder.empty()) {
        std::string beside = folder + "/" + relative;
        if (exists(beside)) return beside;
        std::string installed = folder + "/" + ORV_DATA_FROM_BIN + "/" + relative;
        if (exists(installed)) return installed;
    }
    return relative;
}

}  // namespace ORV
