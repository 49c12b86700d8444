// Cli.cpp - checks of option texts, so that a bad value is refused with the
// command line's own message and status 1.
#include "Cli.h"

namespace orvbsp {

CLI::Validator NumberText() {
    return CLI::Validator(
        [](std::string& text) {
            float v;
            return ParseFloat(text, &v) ? std::string() : "expected a number, got '" + text + "'";
        },
        "");
}

CLI::Validator Vec3Text() {
    return CLI::Validator(
        [](std::string& text) {
            ORV::Vec3 v;
            return ParseVec3(text, &v) ? std::string()
                                       : "expected X,Y,Z (three numbers), got '" + text + "'";
        },
        "X,Y,Z");
}

CLI::Validator SizeText() {
    return CLI::Validator(
        [](std::string& text) {
            int w, h;
            return ParseSize(text, &w, &h) ? std::string()
                                           : "expected WxH (1 to 8192 each), got '" + text + "'";
        },
        "WxH");
}

CLI::Validator OrderText(bool withDepthBuffer) {
    return CLI::Validator(
        [withDepthBuffer](std::string& text) {
            Order order;
            if (ParseOrder(text, &order) && (withDepthBuffer || order != Order::DepthBuffer))
                return std::string();
            return std::string("expected ") +
                   (withDepthBuffer ? "tree, reversed or depth-buffer" : "tree or reversed") +
                   ", got '" + text + "'";
        },
        withDepthBuffer ? "tree|reversed|depth-buffer" : "tree|reversed");
}

CLI::Validator DrawPathText() {
    return CLI::Validator(
        [](std::string& text) {
            DrawPath path;
            return ParseDrawPath(text, &path) ? std::string()
                                              : "expected immediate or batched, got '" + text + "'";
        },
        "immediate|batched");
}

CLI::Validator RangeText() {
    return CLI::Validator(
        [](std::string& text) {
            std::vector<float> values;
            return ParseRange(text, &values)
                       ? std::string()
                       : "expected A:B:STEP with A <= B, STEP > 0 and at most 10000 values, got '" +
                             text + "'";
        },
        "A:B:STEP");
}

}  // namespace orvbsp
