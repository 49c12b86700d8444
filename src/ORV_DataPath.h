// ORV_DataPath.h - where a data file named relative to the working directory
// is found: there first, then beside the program, then in the installed data.
#ifndef ORV_DATA_PATH_H
#define ORV_DATA_PATH_H

#include <string>

namespace ORV {

// The path to open for pRelative (such as "data/mesh/test_1.txt"): pRelative
// itself when it exists from the working directory; otherwise the copy
// beside the program, <folder of the running program>/pRelative, where the
// build puts the data, so a built program started from any folder finds it;
// otherwise its installed copy, <folder of the running
// program>/<ORV_DATA_FROM_BIN>/pRelative, so an installed program (or a
// moved prefix) finds it; otherwise pRelative unchanged, so that a failure
// names the file as the program asked for it.
std::string DataPath(const char* pRelative);

}  // namespace ORV

#endif
