// TempDir.h - a fresh folder for one test's files, removed with everything in
// it (std::filesystem, no shell).
#ifndef ORV_TEST_TEMP_DIR_H
#define ORV_TEST_TEMP_DIR_H

#include <cstdint>
#include <string>
#include <vector>

namespace orvtest {

class TempDir {
public:
    // A new folder under /tmp; a test failure when none can be made.
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return mPath; }
    std::string Path(const std::string& name) const { return mPath + "/" + name; }
    // Writes bytes to the file name in the folder, replacing it; returns its
    // path.
    std::string Write(const std::string& name, const std::string& bytes) const;
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) const;

private:
    std::string mPath;
};

}  // namespace orvtest

#endif
