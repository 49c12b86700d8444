#include "TempDir.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace orvtest {

TempDir::TempDir() {
    char path[] = "/tmp/orv-test-XXXXXX";
    if (mkdtemp(path) != nullptr) mPath = path;
}

TempDir::~TempDir() {
    std::error_code ignored;
    if (!mPath.empty()) std::filesystem::remove_all(mPath, ignored);
}

std::string TempDir::Write(const std::string& name, const std::string& text) const {
    std::ofstream(Path(name), std::ios::binary) << text;
    return Path(name);
}

}  // namespace orvtest
