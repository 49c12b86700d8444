// Cli.h - option checks shared by the subcommands (CLI11 validators).
#ifndef ORVBSP_CLI_H
#define ORVBSP_CLI_H

#include "Tool.h"
#include "render/Scene.h"

#include <CLI/CLI.hpp>

namespace orvbsp {

CLI::Validator NumberText();    // one number (ParseFloat)
CLI::Validator Vec3Text();      // "X,Y,Z"
CLI::Validator SizeText();      // "WxH"
CLI::Validator RangeText();     // "A:B:STEP"
CLI::Validator DrawPathText();  // "immediate" or "batched"
// "tree", "reversed" and, withDepthBuffer, "depth-buffer".
CLI::Validator OrderText(bool withDepthBuffer);

}  // namespace orvbsp

#endif
