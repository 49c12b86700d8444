// MeshFiles.h - triangle lists from mesh files, for the tree's tests and
// benchmarks: Orvane's own mesh text (read as the demo reads it) and any file
// Assimp imports, such as the OBJ meshes of Debian's assimp-testmodels.
#ifndef ORV_TEST_MESH_FILES_H
#define ORV_TEST_MESH_FILES_H

#include "TempDir.h"
#include "Triangle.h"

#include <string>
#include <vector>

namespace orvtest {

// Where assimp-testmodels puts its meshes.
extern const char* const kAssimpModelsDir;

// The demo's mesh file, in the source tree.
std::string DemoMeshPath();
// The demo's triangle list: its mesh read as the demo reads it.
std::vector<Triangle> DemoTriangles();

// The triangles of an Orvane mesh file, one record per mesh triangle with
// the corner colours the demo gives them. Empty when the file does not load.
std::vector<Triangle> LoadMeshTriangles(const std::string& path);

// The triangles `orvane PATH` shows for a mesh file of any format it opens
// (meshimport::Open). Empty when the file does not open.
std::vector<Triangle> OpenTriangles(const std::string& path);

// The triangles of any file Assimp reads (triangulated, all parts in world
// coordinates, points and lines left out), in file order. Each face is
// coloured by its normal as orvane-bsp convert colours it. Empty when the
// file does not import; pError then receives Assimp's message.
std::vector<Triangle> ImportTriangles(const std::string& path, std::string* pError = nullptr);

// A glTF scene written into dir (scene.gltf and scene.bin) of one mesh of
// triangles triangles, no two sharing a corner (with normals when asked),
// placed by instances nodes apart from each other: a small file that
// expands to triangles x instances. Returns the .gltf file's path.
std::string WriteInstancedGltf(const TempDir& dir, uint32_t triangles, uint32_t instances,
                               bool normals);

// tris as Orvane's mesh text, laid out as orvane-bsp convert writes a mesh
// without normals: positions shared by equal corners, one colour per face
// (each triangle's first corner colour), numbers with nine significant digits.
std::string MeshText(const std::vector<Triangle>& tris);

}  // namespace orvtest

#endif
