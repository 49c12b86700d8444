// check.cpp - orvane-bsp check: the rendering oracle as a command. From each
// viewpoint the tree's painter's order must paint the same picture as the
// depth buffer, within rounding, on at least 99.5% of the pixels.
#include "Cli.h"
#include "Tool.h"
#include "Views.h"
#include "render/OffscreenGL.h"

#include <cstdio>

namespace orvbsp {

namespace {

// The share of pixels every view must get right: cut pieces meet their
// uncut neighbours at T-junctions, where a few edge pixels differ.
constexpr double REQUIRED = 0.995;

struct CheckOptions {
    std::string mesh;
    size_t views = 18;
    std::string size = "800x600";
    std::string order = "tree";
};

int check(const CheckOptions& opt) {
    int width = 0, height = 0;
    ParseSize(opt.size, &width, &height);
    Order order = Order::Tree;
    ParseOrder(opt.order, &order);
    std::vector<Triangle> list = LoadTriangles(opt.mesh);
    BSPTree tree;
    BuildTree(tree, list);
    std::vector<NamedView> views = CheckViews(BoundsOf(list), opt.views, width, height);

    OffscreenGL gl(width, height);
    if (!gl.Ok()) throw Error("no offscreen OpenGL context: " + gl.Error());
    std::printf("%s: %zu triangles, %s order against the depth buffer, %zu views at %dx%d%s\n",
                opt.mesh.c_str(), list.size(), OrderName(order), views.size(), width, height,
                CandidatesNote().c_str());
    double worst = 1.0;
    size_t worstIndex = 0, failed = 0;
    for (size_t i = 0; i < views.size(); ++i) {
        const LookAt& view = views[i].view;
        BeginFrame(width, height);
        ApplyLookAt(view);
        DrawFills(tree, list, Order::DepthBuffer, view.eye);
        std::vector<uint8_t> oracle = gl.ReadPixels();
        BeginFrame(width, height);
        ApplyLookAt(view);
        DrawFills(tree, list, order, view.eye);
        std::vector<uint8_t> painted = gl.ReadPixels();

        const double good = Agreement(painted, oracle);
        if (good < REQUIRED) ++failed;
        if (good < worst) {
            worst = good;
            worstIndex = i;
        }
        std::printf("  %-44s agree %8.4f%%  (scene %6.2f%% of the picture)%s\n",
                    views[i].name.c_str(), 100.0 * good, 100.0 * Covered(oracle),
                    good < REQUIRED ? "  BELOW" : "");
    }
    if (glGetError() != GL_NO_ERROR) throw Error("OpenGL reported an error while drawing");
    std::printf("worst view: %s, %.4f%%\n", views[worstIndex].name.c_str(), 100.0 * worst);
    if (failed != 0) {
        std::printf("FAILED: %zu of %zu views below %.1f%%\n", failed, views.size(),
                    100.0 * REQUIRED);
        return 1;
    }
    std::printf("passed: every view at or above %.1f%%\n", 100.0 * REQUIRED);
    return 0;
}

}  // namespace

void AddCheck(CLI::App& app, int* pStatus) {
    static CheckOptions sOpt;
    CLI::App* pCmd = app.add_subcommand(
        "check", "the rendering oracle: does the tree's painter's order match the depth buffer?");
    pCmd->footer(
        "From N viewpoints (two thirds around the mesh, the rest inside its box) draws the flat "
        "fills once in the tree's order with the depth test off and once in mesh order with the "
        "depth buffer, and counts the pixels that agree (each channel within 2). Exit status 1 "
        "when any view is below 99.5%.");
    pCmd->add_option("MESH", sOpt.mesh, kMeshHelp)->required();
    pCmd->add_option("--views", sOpt.views, "number of viewpoints")
        ->check(CLI::Range(size_t(1), size_t(1000)))
        ->capture_default_str();
    pCmd->add_option("--size", sOpt.size, "picture size")->check(SizeText())->capture_default_str();
    pCmd->add_option("--order", sOpt.order,
                     "painting order under test: the tree's walk or (to see the check fail) "
                     "that walk reversed")
        ->check(OrderText(false))
        ->capture_default_str();
    AddCandidatesOption(pCmd);
    pCmd->callback([pStatus] { *pStatus = check(sOpt); });
}

}  // namespace orvbsp
