// MeshImport.cpp - opening a mesh file by its kind, on every platform; the
// conversion of other formats is the platform's (MeshImportDesktop.cpp,
// MeshImportWeb.cpp).
#include "MeshImport.h"

#include "ORV.h"
#include "ORV_Mesh.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace meshimport {

namespace {

// The file being read and the report handler Open replaced, for the line
// after a report of the mesh reader.
std::string sReading;
ORV::Report::Handler spOuterHandler = nullptr;

// The report handler while Open reads: names the file, then hands the report
// on to the handler it replaced; the report then ends as it would have.
void nameFileAfterReport() {
    std::fflush(stdout);
    std::fprintf(stderr, "The report above is about the mesh file '%s'.\n", sReading.c_str());
    if (spOuterHandler != nullptr) spOuterHandler();
}

}  // namespace

std::string WhyUnreadable(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return std::strerror(errno);
    if (S_ISDIR(st.st_mode)) return "is a folder, not a file";
    if (!S_ISREG(st.st_mode)) return "is not a regular file";
    FILE* pFile = std::fopen(path.c_str(), "rb");
    if (pFile == nullptr) return std::string("cannot be read: ") + std::strerror(errno);
    std::fclose(pFile);
    return "";
}

ORV::Mesh* Open(const std::string& path, std::string* pWhy) {
    sReading = path;
    spOuterHandler = ORV::Report::SetHandler(nameFileAfterReport);
    // A handler that throws leaves through here: the outer one comes back.
    struct Restore {
        ~Restore() { ORV::Report::SetHandler(spOuterHandler); }
    } restore;
    return Read(path, pWhy);
}

ORV::Mesh* Read(const std::string& path, std::string* pWhy) {
    *pWhy = WhyUnreadable(path);
    if (!pWhy->empty()) return nullptr;
    ORV::Mesh* pMesh = nullptr;
    if (IsForeign(path)) {
        std::string text;
        Summary summary;
        if (ToText(path, &text, &summary, pWhy)) {
            pMesh = ORV::Mesh::LoadText(&text[0], true);
            if (pMesh == nullptr) *pWhy = "converts to no mesh";
        }
    } else {
        pMesh = ORV::Mesh::Load(path.c_str(), true);
        if (pMesh == nullptr)
            *pWhy = "holds no mesh (a Mesh block with Position and Face_Position sections)";
    }
    return pMesh;
}

}  // namespace meshimport
