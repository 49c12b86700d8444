// render.cpp - orvane-bsp render: the demo's picture of a tree, offscreen,
// into a PNG file.
#include "Cli.h"
#include "Png.h"
#include "Tool.h"
#include "Views.h"
#include "render/OffscreenGL.h"

#include <cstdio>

namespace orvbsp {

namespace {

struct RenderOptions {
    std::string mesh;
    std::string out;
    std::string eye;
    std::string target;
    std::string size = "800x600";
    std::string order = "tree";
    std::string draw = "immediate";
};

void render(const RenderOptions& opt) {
    int width = 0, height = 0;
    ParseSize(opt.size, &width, &height);
    Order order = Order::Tree;
    ParseOrder(opt.order, &order);
    DrawPath path = DrawPath::Immediate;
    ParseDrawPath(opt.draw, &path);
    CheckWritable(opt.out);
    std::vector<Triangle> list = LoadTriangles(opt.mesh);
    BSPTree tree;
    BuildTree(tree, list);

    LookAt view = DefaultView(BoundsOf(list), width, height);
    if (!opt.target.empty()) {
        ParseVec3(opt.target, &view.target);
        const float dist = FitDistance(BoundsOf(list), width, height);
        if (opt.eye.empty()) view.eye = view.target + ORV::Vec3(0.0f, 0.0f, dist);
    }
    if (!opt.eye.empty()) ParseVec3(opt.eye, &view.eye);
    if (view.eye.IsEqual(view.target)) throw Error("--eye and --target must be different points");
    view.up = UpFor(view.eye, view.target);

    OffscreenGL gl(width, height);
    if (!gl.Ok()) throw Error("no offscreen OpenGL context: " + gl.Error());
    BeginFrame(width, height);
    ApplyLookAt(view);
    const size_t drawn = DrawDemo(tree, list, order, view.eye, path);
    WritePng(opt.out, gl.ReadPixels(), width, height);
    std::printf("%s: %dx%d, %zu triangles in %s order, eye (%g, %g, %g), target (%g, %g, %g)\n",
                opt.out.c_str(), width, height, drawn, OrderName(order), double(view.eye.x),
                double(view.eye.y), double(view.eye.z), double(view.target.x),
                double(view.target.y), double(view.target.z));
}

}  // namespace

void AddRender(CLI::App& app, int* pStatus) {
    static RenderOptions sOpt;
    CLI::App* pCmd = app.add_subcommand(
        "render", "draw a mesh through its tree as the demo does, offscreen, into a PNG file");
    pCmd->footer(
        "The demo's drawing: 60 degree vertical projection, near 0.01, far 10000, back faces "
        "culled, depth test off, each triangle filled flat in its first corner's colour then "
        "outlined in black. Needs no display (EGL on Mesa's surfaceless platform).");
    pCmd->add_option("MESH", sOpt.mesh, kMeshHelp)->required();
    pCmd->add_option("OUT", sOpt.out, "PNG file to write")->required();
    pCmd->add_option("--eye", sOpt.eye,
                     "eye position (default: in front of the mesh along +z, far enough to see it "
                     "whole)")
        ->check(Vec3Text());
    pCmd->add_option("--target", sOpt.target, "point looked at (default: the mesh's centre)")
        ->check(Vec3Text());
    pCmd->add_option("--size", sOpt.size, "picture size")->check(SizeText())->capture_default_str();
    pCmd->add_option("--order", sOpt.order,
                     "painting order: the tree's back-to-front walk, that walk reversed, or the "
                     "mesh's order with the depth buffer")
        ->check(OrderText(true))
        ->capture_default_str();
    pCmd->add_option("--draw", sOpt.draw,
                     "the demo's drawing of the tree's orders: one triangle at a time, or batched "
                     "into one draw call (outlines painted by the fills' shader)")
        ->check(DrawPathText())
        ->capture_default_str();
    AddCandidatesOption(pCmd);
    pCmd->callback([pStatus] {
        render(sOpt);
        *pStatus = 0;
    });
}

}  // namespace orvbsp
