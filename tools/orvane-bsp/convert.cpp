// convert.cpp - orvane-bsp convert: any mesh that Assimp reads into Orvane's
// mesh text format (MeshImport, which the demo uses too), written to a file.
#include "Tool.h"

#include "MeshImport.h"

#include <CLI/CLI.hpp>

#include <sys/resource.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>

namespace orvbsp {

namespace {

struct ConvertOptions {
    std::string in;
    std::string out;
};

// A file whose header promises billions of elements makes Assimp allocate
// them before it finds the data missing. Bound this process's heap by the
// file's size, so such a file fails to allocate instead of taking the
// machine's memory. (AddressSanitizer reserves its shadow memory as data,
// so sanitized builds go without the bound.)
void boundMemory(const std::string& path) {
#if !defined(__SANITIZE_ADDRESS__)
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return;
    const rlim_t limit = (rlim_t(1) << 30) + 64 * rlim_t(st.st_size);
    struct rlimit current;
    if (getrlimit(RLIMIT_DATA, &current) != 0) return;
    if (current.rlim_cur != RLIM_INFINITY && current.rlim_cur <= limit) return;
    struct rlimit bounded = current;
    bounded.rlim_cur = limit;
    setrlimit(RLIMIT_DATA, &bounded);
#else
    (void)path;
#endif
}

void convert(const ConvertOptions& opt) {
    CheckReadable(opt.in);
    CheckWritable(opt.out);
    boundMemory(opt.in);
    std::string text, why;
    meshimport::Summary summary;
    if (!meshimport::ToText(opt.in, &text, &summary, &why)) Fail(opt.in, why);
    WriteFile(opt.out, text);

    const size_t triNum = summary.triNum;
    std::printf("%s: %zu triangles, %zu positions; colours from %s; %s; %s\n", opt.out.c_str(),
                triNum, summary.posNum,
                summary.vertexColoured == triNum ? "vertex colours"
                : summary.vertexColoured == 0    ? "face normals"
                                                 : "vertex colours and face normals",
                summary.normals ? "normals" : "no normals",
                summary.texCoords ? "texture coordinates" : "no texture coordinates");
    if (summary.skippedFaces != 0)
        std::printf("%s: %zu points and lines left out\n", opt.in.c_str(), summary.skippedFaces);
}

}  // namespace

void AddConvert(CLI::App& app, int* pStatus) {
    static ConvertOptions sOpt;
    CLI::App* pCmd = app.add_subcommand(
        "convert", "convert a mesh of any format Assimp reads into Orvane's mesh text format");
    pCmd->footer(
        "Reads OBJ, PLY, OFF, STL, glTF and every other format Assimp reads; polygons are "
        "triangulated, points and lines left out. Colours come from the file's vertex colours "
        "where it has them; other faces get one colour each from their unit normal n: "
        "(0.5 + 0.5 n, 1). Normals and texture coordinates are kept where every part of the "
        "file has them.");
    pCmd->add_option("IN", sOpt.in, "mesh file in any format Assimp reads")->required();
    pCmd->add_option("OUT", sOpt.out, "mesh text file to write")->required();
    pCmd->callback([pStatus] {
        convert(sOpt);
        *pStatus = 0;
    });
}

}  // namespace orvbsp
