#include "SourceLine.h"

#include <gtest/gtest.h>

#include <fstream>

namespace orvtest {

int LineOf(const std::string& file, const std::string& needle, int nth) {
    std::ifstream in(std::string(ORV_SOURCE_DIR) + "/" + file);
    std::string line;
    for (int n = 1; std::getline(in, line); ++n)
        if (line.find(needle) != std::string::npos && --nth == 0) return n;
    ADD_FAILURE() << "'" << needle << "' not found in " << file;
    return -1;
}

}  // namespace orvtest
