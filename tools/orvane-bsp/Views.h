// Views.h - where render and check look from.
#ifndef ORVBSP_VIEWS_H
#define ORVBSP_VIEWS_H

#include "Tool.h"
#include "render/Scene.h"

#include <string>
#include <vector>

namespace orvbsp {

struct NamedView {
    std::string name;
    LookAt view;
};

// render's default: looking at the mesh's centre along the demo's starting
// direction (towards -z), from FitDistance.
LookAt DefaultView(const Bounds& bounds, int width, int height);

// check's viewpoints, num of them: about two thirds around the mesh, evenly
// spread over a sphere at FitDistance and looking at the centre; the rest
// inside its box, looking in spread directions. Always the same for the
// same arguments.
std::vector<NamedView> CheckViews(const Bounds& bounds, size_t num, int width, int height);

}  // namespace orvbsp

#endif
