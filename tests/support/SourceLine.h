// SourceLine.h - where a check sits in the source, for tests that compare a
// report's "Line:" field without hard-coding line numbers.
#ifndef ORV_TEST_SOURCE_LINE_H
#define ORV_TEST_SOURCE_LINE_H

#include <string>

namespace orvtest {

// The 1-based number of the nth line of file (relative to the repository
// root) that contains needle; a test failure and -1 when there is none.
int LineOf(const std::string& file, const std::string& needle, int nth = 1);

}  // namespace orvtest

#endif
