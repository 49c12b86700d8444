#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace orvtest {

TempDir::TempDir() {
    char pattern[] = "/tmp/orv-test-XXXXXX";
    if (mkdtemp(pattern) != nullptr) mPath = pattern;
    else ADD_FAILURE() << "no temporary folder could be made";
}

TempDir::~TempDir() {
    std::error_code ignored;
    if (!mPath.empty()) std::filesystem::remove_all(mPath, ignored);
}

std::string TempDir::Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(Path(name), std::ios::binary) << bytes;
    return Path(name);
}

std::string TempDir::Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    return Write(name, std::string(bytes.begin(), bytes.end()));
}

}  // namespace orvtest
