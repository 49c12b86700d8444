// MeshImport.h - meshes of any format Assimp reads, as Orvane's mesh text, and
// the one rule for opening a mesh file that the demo follows. orvane-bsp
// convert writes the same text to a file.
#ifndef BSP_MESH_IMPORT_H
#define BSP_MESH_IMPORT_H

#include <cstddef>
#include <string>

namespace ORV {
class Mesh;
}

namespace meshimport {

// What a conversion found.
struct Summary {
    size_t triNum = 0;
    size_t posNum = 0;
    size_t vertexColoured = 0;  // triangles coloured from vertex colours
    size_t skippedFaces = 0;    // points and lines left out
    bool normals = false;       // written, because every part of the file has them
    bool texCoords = false;     // likewise
};

// Converts the file at path into mesh text: the whole scene as one mesh,
// triangulated, with colours from vertex colours or, failing those, one per
// face from its unit normal n, (0.5 + 0.5 n, 1); normals and texture
// coordinates where every part has them. False with *pWhy (without the path)
// when Assimp cannot read the file or it holds no usable triangles.
bool ToText(const std::string& path, std::string* pText, Summary* pSummary, std::string* pWhy);

// Empty when path is a regular file this process can read, else why not
// ("No such file or directory", "is a folder, not a file", ...).
std::string WhyUnreadable(const std::string& path);

// Whether Open converts path through Assimp: its extension is one Assimp
// reads, other than ".txt", which is always Orvane's mesh text.
bool IsForeign(const std::string& path);

// Opens a mesh file as the demo does, deindexed: Orvane's mesh text with
// ORV::Mesh::Load, any foreign file (IsForeign) converted in memory by
// ToText and read with ORV::Mesh::LoadText. Null with *pWhy when the file
// cannot be read or holds no mesh. Malformed mesh text ends in the mesh
// reader's report, followed on standard error by a line naming the file (a
// report handler of Open's own, which then hands the report on to the
// handler it replaced). The caller deletes the mesh.
ORV::Mesh* Open(const std::string& path, std::string* pWhy);
// Reads path as Open does, but without its report handler: for a caller
// whose own handler names the file (orvane-bsp).
ORV::Mesh* Read(const std::string& path, std::string* pWhy);

}  // namespace meshimport

#endif
