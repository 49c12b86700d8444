// PaintOrder.cpp - the orders' names and the plain painter's sort.
#include "PaintOrder.h"

#include <algorithm>
#include <cmath>

const char* PaintOrderName(PaintOrder order) {
    switch (order) {
    case PaintOrder::Tree: return "tree";
    case PaintOrder::Sorted: return "sorted";
    case PaintOrder::File: return "file";
    }
    return "?";
}

PaintOrder NextPaintOrder(PaintOrder order) {
    switch (order) {
    case PaintOrder::Tree: return PaintOrder::Sorted;
    case PaintOrder::Sorted: return PaintOrder::File;
    case PaintOrder::File: return PaintOrder::Tree;
    }
    return PaintOrder::Tree;
}

double FarthestCornerDistanceSq(const Triangle& tri, const ORV::Vec3& eye) {
    double farthest = 0.0;
    for (const ORV::Vec3& p : tri.mPos) {
        const double dx = double(p.x) - double(eye.x), dy = double(p.y) - double(eye.y),
                     dz = double(p.z) - double(eye.z);
        const double d = dx * dx + dy * dy + dz * dz;
        if (std::isnan(d)) return d;
        farthest = std::max(farthest, d);
    }
    return farthest;
}

const std::vector<uint32_t>& DistanceSort::Sort(const std::vector<Triangle>& list,
                                                const ORV::Vec3& eye) {
    mKeys.resize(list.size());
    for (size_t i = 0; i < list.size(); ++i) {
        const double d = FarthestCornerDistanceSq(list[i], eye);
        // A corner that is not a number would break the sort's ordering:
        // such a triangle counts as the nearest.
        mKeys[i] = {std::isnan(d) ? -HUGE_VAL : d, uint32_t(i)};
    }
    // Farthest first; the lower index first on equal distances.
    std::sort(mKeys.begin(), mKeys.end(), [](const auto& a, const auto& b) {
        if (a.first > b.first) return true;
        if (a.first < b.first) return false;
        return a.second < b.second;
    });
    mOrder.resize(list.size());
    for (size_t i = 0; i < mKeys.size(); ++i) mOrder[i] = mKeys[i].second;
    return mOrder;
}
