// DemoCommandLine.cpp - the demo's arguments and key list.
#include "DemoCommandLine.h"

namespace {

struct KeyHelp {
    const char* pKeys;
    const char* pAction;
};

// The demo's keys and the camera's, as README.md's table lists them.
const KeyHelp kDemoKeys[] = {
    {"Escape", "quit"},
    {"1", "draw through the BSP tree / draw the plain mesh"},
    {"2", "outlines on / off"},
    {"3", "raise the split weight by 0.1 and rebuild the tree"},
    {"4", "raise the balance weight by 1.0 and rebuild the tree"},
    {"C", "orbit camera / fly camera"},
    {"left mouse drag", "turn the camera"},
    {"right mouse drag", "move the camera nearer or farther"},
    {"arrows", "turn the camera"},
    {"W, S", "orbit: nearer, farther; fly: forward, back"},
    {"A, D, Q, E", "fly: left, right, down, up"},
};

// Keys that show how the tree works (Explorer.h); the text in the window
// stays off until one of them is pressed.
const KeyHelp kExploreKeys[] = {
    {"R", "drawing: one triangle at a time / batched"},
    {"P", "painter's order step by step / back to drawing"},
    {"N", "paint the next triangle (held: repeats)"},
    {"Space", "play the painter's order (about 10 s) / stop"},
    {"I", "freeze the eye the order is for / follow the camera"},
    {"M", "colours: mesh / node depth / cut pieces"},
    {"L", "a node's splitting plane (root first) on / off"},
    {"F, B, U", "that node's front child, back child, parent"},
    {"T", "the status line in the window on / off"},
    {"H", "this list of keys in the window on / off"},
};

const char* const kUsage =
    "usage: orvane [--draw immediate|batched] [--candidates N] [MESH]\n       orvane --help\n";

// N of --candidates: digits only, at most a billion (more than any list).
bool parseCount(const std::string& text, size_t* pOut) {
    if (text.empty() || text.size() > 10 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const unsigned long long value = std::stoull(text);
    if (value > 1000000000ull) return false;
    *pOut = static_cast<size_t>(value);
    return true;
}

template <size_t N>
void addSection(std::vector<std::string>& lines, const char* pHeading, const KeyHelp (&keys)[N]) {
    lines.push_back(pHeading);
    for (const KeyHelp& k : keys) {
        std::string key = k.pKeys;
        key.resize(20, ' ');
        lines.push_back("  " + key + k.pAction);
    }
}

}  // namespace

DemoOptions ParseDemoCommandLine(const std::vector<std::string>& args) {
    DemoOptions opt;
    bool options = true;  // until "--"
    // The value of an option spelt "--name VALUE" or "--name=VALUE"; false
    // when a is not that option.
    size_t i = 0;
    std::string value;
    bool missing = false;
    auto valued = [&](const std::string& a, const std::string& name) {
        if (a != name && a.rfind(name + "=", 0) != 0) return false;
        missing = a == name && i + 1 == args.size();
        if (!missing) value = a == name ? args[++i] : a.substr(name.size() + 1);
        return true;
    };
    for (; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (options && valued(a, "--candidates")) {
            if (missing) {
                opt.error = "--candidates needs a number";
                return opt;
            }
            if (!parseCount(value, &opt.candidates)) {
                opt.error =
                    "--candidates needs a whole number from 0 to 1000000000, got '" + value + "'";
                return opt;
            }
        } else if (options && valued(a, "--draw")) {
            if (missing || !ParseDrawPath(value, &opt.draw)) {
                opt.error = "--draw needs immediate or batched" +
                            (missing ? std::string() : ", got '" + value + "'");
                return opt;
            }
            opt.drawGiven = true;
        } else if (options && a == "--") {
            options = false;
        } else if (options && (a == "--help" || a == "-h")) {
            opt.help = true;
        } else if (options && a.size() > 1 && a[0] == '-') {
            opt.error = "unknown option '" + a + "'";
            return opt;
        } else if (opt.meshPath.empty() && !a.empty()) {
            opt.meshPath = a;
        } else {
            opt.error = a.empty() ? "an empty mesh path" : "more than one mesh: '" + a + "'";
            return opt;
        }
    }
    return opt;
}

std::vector<std::string> DemoKeyLines() {
    std::vector<std::string> lines;
    addSection(lines, "Keys:", kDemoKeys);
    lines.push_back("");
    addSection(lines, "Keys that show the tree at work:", kExploreKeys);
    return lines;
}

std::string DemoHelpText() {
    std::string text = std::string(kUsage) +
                       "\n"
                       "Orvane draws a mesh back to front through a BSP tree, so that the\n"
                       "painter's order alone decides what covers what.\n"
                       "\n"
                       "  MESH                a mesh to show instead of data/mesh/test_1.txt:\n"
                       "                      Orvane's mesh text (.txt), or any format Assimp\n"
                       "                      reads (OBJ, PLY, STL, glTF, ...), converted in\n"
                       "                      memory as orvane-bsp convert does\n"
                       "  --draw PATH         how each frame is drawn: immediate (one triangle\n"
                       "                      at a time, the default for the demo's own mesh)\n"
                       "                      or batched (the whole order in one draw call,\n"
                       "                      the default for a MESH); key R switches\n"
                       "  --candidates N      score at most N candidate splitters per node,\n"
                       "                      spread over its list: a faster build of a valid\n"
                       "                      tree, not the exact rule's (0, the default:\n"
                       "                      every triangle)\n"
                       "  -h, --help          show this text and end\n"
                       "\n";
    for (const std::string& line : DemoKeyLines()) text += line + "\n";
    return text;
}

std::string DemoUsageError(const std::string& error) {
    return "orvane: " + error + "\n" + kUsage + "Try 'orvane --help' for more.\n";
}
