// The framework header, the math and the tree's headers include no GL header,
// so that the tree and everything that only builds or reads it (the fuzz
// targets, the unit tests) compile without GL. The build fails here when one
// of them brings GL in.
#include "BSPBuild.h"
#include "BSPProgress.h"
#include "BSPRules.h"
#include "BSPSearch.h"
#include "BSPTree.h"
#include "MeshTriangles.h"
#include "ORV.h"
#include "ORV_Mesh.h"
#include "ORV_TokenTree.h"
#include "ThreadPool.h"
#include "Triangle.h"

#if defined(GL_VERSION_1_1) || defined(__glew_h__) || defined(__gl_h_) || defined(__GL_H__)
#error "a header of the framework's math or of the tree includes a GL header"
#endif
