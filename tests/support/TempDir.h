// TempDir.h - a fresh folder for one test's files.
#ifndef ORV_TEST_TEMP_DIR_H
#define ORV_TEST_TEMP_DIR_H

#include <string>

namespace orvtest {

// A fresh folder under /tmp, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string Path(const std::string& name) const { return mPath + "/" + name; }
    // Writes text to the file name in the folder; returns its path.
    std::string Write(const std::string& name, const std::string& text) const;

private:
    std::string mPath;
};

}  // namespace orvtest

#endif
