// sweep.cpp - orvane-bsp sweep: build the tree over a grid of both weights,
// write the figures of every point as CSV and plot them with gnuplot.
#include "Cli.h"
#include "Tool.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace orvbsp {

namespace {

struct SweepOptions {
    std::string mesh;
    std::string split;
    std::string balance;
    std::string csv;
    std::string plot;
};

const char* const CSV_HEADER =
    "split_weight,balance_weight,triangles_in,degenerate,stored,cut,pieces,nodes,leaves,"
    "max_leaf_depth,mean_leaf_depth,root_front,root_back,build_ms\n";

std::string csvRow(const Figures& f) {
    char buf[256];
    std::snprintf(buf, sizeof buf, "%s,%s,%u,%u,%u,%u,%u,%u,%u,%u,%.4f,%u,%u,%.3f\n",
                  ShortFloat(f.splitWeight).c_str(), ShortFloat(f.balanceWeight).c_str(),
                  f.trianglesIn, f.degenerate, f.stored, f.cut, f.pieces, f.nodes, f.leaves,
                  f.maxLeafDepth, f.meanLeafDepth, f.rootFront, f.rootBack, f.buildMs);
    return buf;
}

// One line on the terminal, rewritten in place.
void showProgress(size_t done, size_t total) {
    const int width = 40;
    const int filled = int(double(width) * double(done) / double(total));
    std::fprintf(stderr, "\r[%s%s] %zu/%zu", std::string(size_t(filled), '#').c_str(),
                 std::string(size_t(width - filled), '.').c_str(), done, total);
    if (done == total) std::fprintf(stderr, "\n");
    std::fflush(stderr);
}

// A text as a gnuplot string: single quotes, with a quote doubled.
std::string quoted(const std::string& text) {
    std::string q = "'";
    for (char c : text) q += (c == '\'') ? std::string("''") : std::string(1, c);
    return q + "'";
}

// Two panels, pieces after cutting and tree depth, over the weights: maps
// when both weights vary, curves when only one does. The demo's starting
// weights are marked in both.
std::string plotScript(const std::string& data, const std::string& png, const std::string& mesh,
                       size_t splitNum, size_t balanceNum) {
    const double demoSplit = START_SPLIT_WEIGHT;
    const double demoBalance = START_BALANCE_WEIGHT;
    char mark[256];
    std::string s = "set terminal pngcairo size 1200,520 font 'sans,10' noenhanced\nset output " +
                    quoted(png) + "\nset datafile separator ','\nset key off\n" +
                    "set multiplot layout 1,2 title " + quoted("orvane-bsp sweep: " + mesh) + "\n";
    struct Panel {
        const char* pTitle;
        int column;
    } panels[2] = {{"pieces after cutting", 5}, {"tree depth (deepest leaf)", 10}};
    for (const Panel& p : panels) {
        s += std::string("set title '") + p.pTitle + "'\n";
        if (splitNum > 1 && balanceNum > 1) {
            std::snprintf(mark, sizeof mark,
                          "set label 1 'demo' at %g,%g point pt 7 ps 1.5 lc rgb 'white' offset 1,1 "
                          "tc rgb 'white' front\n",
                          demoSplit, demoBalance);
            s += std::string("set xlabel 'split weight'\nset ylabel 'balance weight'\n") + mark +
                 "set palette rgbformulae 33,13,10\nset xrange [*:*] noextend\n"
                 "set yrange [*:*] noextend\n" +
                 "plot " + quoted(data) + " skip 1 using 1:2:" + std::to_string(p.column) +
                 " with image\n";
        } else {
            const bool bySplit = splitNum > 1;
            std::snprintf(mark, sizeof mark,
                          "set arrow 1 from %g, graph 0 to %g, graph 1 nohead dt 2 lc rgb 'red'\n"
                          "set label 1 'demo' at %g, graph 0.95 offset 0.5,0 tc rgb 'red'\n",
                          bySplit ? demoSplit : demoBalance, bySplit ? demoSplit : demoBalance,
                          bySplit ? demoSplit : demoBalance);
            s += std::string("set xlabel '") + (bySplit ? "split" : "balance") +
                 " weight'\nset ylabel '" + p.pTitle + "'\n" + mark + "plot " + quoted(data) +
                 " skip 1 using " + (bySplit ? "1" : "2") + ":" + std::to_string(p.column) +
                 " with linespoints pt 7\n";
        }
        s += "unset label 1\nunset arrow 1\n";
    }
    return s + "unset multiplot\n";
}

void plot(const std::string& csvText, const SweepOptions& opt, size_t splitNum, size_t balanceNum) {
    char dataPath[] = "/tmp/orvane-bsp-sweep-XXXXXX";
    const int fd = mkstemp(dataPath);
    if (fd < 0) throw Error(std::string("cannot make a temporary file: ") + std::strerror(errno));
    close(fd);
    struct Remove {
        const char* pPath;
        ~Remove() { std::remove(pPath); }
    } remove{dataPath};
    WriteFile(dataPath, csvText);
    // gnuplot reads its script from standard input; its messages go to ours.
    FILE* pPipe = popen("gnuplot", "w");
    if (pPipe == nullptr) throw Error(std::string("cannot start gnuplot: ") + std::strerror(errno));
    const std::string script = plotScript(dataPath, opt.plot, opt.mesh, splitNum, balanceNum);
    std::fwrite(script.data(), 1, script.size(), pPipe);
    const int status = pclose(pPipe);
    if (status != 0)
        Fail(opt.plot, "gnuplot could not draw the plot (is gnuplot installed? exit status " +
                           std::to_string(status) + ")");
}

void sweep(const SweepOptions& opt) {
    std::vector<float> splits, balances;
    ParseRange(opt.split, &splits);
    ParseRange(opt.balance, &balances);
    CheckWeights(splits);
    CheckWeights(balances);
    const size_t total = splits.size() * balances.size();
    if (total > 100000)
        throw Error("the grid has " + std::to_string(total) + " points, more than 100000");
    if (!opt.csv.empty()) CheckWritable(opt.csv);
    if (!opt.plot.empty()) CheckWritable(opt.plot);
    std::vector<Triangle> list = LoadTriangles(opt.mesh);

    const bool progress = isatty(STDERR_FILENO) != 0;
    ShowTreeProgress(false);
    std::string csv = CSV_HEADER;
    BSPTree tree;
    size_t done = 0;
    for (float split : splits) {
        for (float balance : balances) {
            if (progress) showProgress(done, total);
            csv += csvRow(Measure(tree, list, split, balance));
            ++done;
        }
    }
    if (progress) showProgress(done, total);
    if (opt.csv.empty()) std::fputs(csv.c_str(), stdout);
    else WriteFile(opt.csv, csv);
    if (!opt.plot.empty()) plot(csv, opt, splits.size(), balances.size());
}

}  // namespace

void AddSweep(CLI::App& app, int* pStatus) {
    static SweepOptions sOpt;
    CLI::App* pCmd = app.add_subcommand(
        "sweep", "build the tree over a grid of both weights: figures as CSV, a plot with gnuplot");
    pCmd->footer(
        "Writes one CSV row of figures per grid point (to standard output without --csv), with a "
        "progress bar on the terminal. --plot draws pieces after cutting and tree depth against "
        "the weights (maps when both vary, curves when one does), the demo's starting weights "
        "marked.");
    pCmd->add_option("MESH", sOpt.mesh, kMeshHelp)->required();
    pCmd->add_option("--split", sOpt.split, "split weights from A to B in steps of STEP")
        ->check(RangeText())
        ->required();
    pCmd->add_option("--balance", sOpt.balance, "balance weights from A to B in steps of STEP")
        ->check(RangeText())
        ->required();
    pCmd->add_option("--csv", sOpt.csv, "CSV file to write");
    pCmd->add_option("--plot", sOpt.plot, "PNG file to draw the plot into");
    AddCandidatesOption(pCmd);
    pCmd->callback([pStatus] {
        sweep(sOpt);
        *pStatus = 0;
    });
}

}  // namespace orvbsp
