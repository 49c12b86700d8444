// MeshTriangles.h - the demo's triangle list made from a loaded mesh: the
// adapter between the framework's indexed mesh and the tree's records.
#ifndef BSP_MESH_TRIANGLES_H
#define BSP_MESH_TRIANGLES_H

#include "Triangle.h"

#include <vector>

namespace ORV {
class Mesh;
}

// One record per triangle of mesh, in mesh order, with the mesh's corner
// colours; a mesh without colours colours each corner by its position
// (x, y, z, 0). mTag stays 0.
std::vector<Triangle> MeshTriangles(const ORV::Mesh& mesh);

#endif  // BSP_MESH_TRIANGLES_H
