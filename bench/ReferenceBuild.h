// ReferenceBuild.h - the tree's construction written the straightforward way:
// recursion over the nodes, every candidate splitter scored against every
// other triangle of its list, scalar, with no shortcut of any kind. The fast
// construction in BSPTree must give the same tree bit for bit; the identity
// test and the benchmarks compare the two in one run.
#ifndef ORV_REFERENCE_BUILD_H
#define ORV_REFERENCE_BUILD_H

#include "BSPTree.h"

#include <cstdint>
#include <vector>

namespace orvref {

// Builds tree from list (left unchanged) as BSPTree::Build does: triangles
// without a plane are left out and counted, so are pieces without one and
// the side of a sliver that a cut leaves with fewer than three points, and a
// cut point outside its edge by more than the cutting tolerance is clamped to
// the edge's end. Aborts where the product halts (a side of more than four
// points). Returns the number of triangle classifications made.
uint64_t Build(BSPTree& tree, const std::vector<Triangle>& list);

}  // namespace orvref

#endif
