// BSPSearchKernelsDesktop.cpp - the search's kernel compiled again for the
// x86-64 vector extensions that its wider widths need, chosen by what the
// processor running the program has. (A template helper compiled for the
// baseline and only inlined into a function for an extension loses its
// vector comparisons in GCC, so each instance is compiled whole for its
// target.)
#include "BSPSearch.h"
#include "BSPSearchColumns.h"

#include <cstring>

namespace bspsearch {

namespace {

// The kernels' band, as BSPSearch.cpp keeps it: on a cache line of its own.
struct alignas(64) Band {
    float value;
};
const Band sBand{BandBound()};

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif
namespace avx2 {
#include "BSPSearchKernel.inl"
}  // namespace avx2
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx512f"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx512f")
#endif
namespace avx512 {
#include "BSPSearchKernel.inl"
}  // namespace avx512
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

const Kernel sKernel8Avx2 = {avx2::Count<8>, avx2::Derive<8>, avx2::CountGroups<8>, avx2::BoxSides};
const Kernel sKernel16Avx512 = {avx512::Count<16>, avx512::Derive<16>, avx512::CountGroups<16>,
                                avx512::BoxSides};

bool hasAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

bool hasAvx512() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f");
}

}  // namespace

unsigned NativeKernelWidth() { return hasAvx512() ? 16 : hasAvx2() ? 8 : 4; }

const Kernel* NativeKernel(unsigned width) {
    if (width == 8 && hasAvx2()) return &sKernel8Avx2;
    if (width == 16 && hasAvx512()) return &sKernel16Avx512;
    return nullptr;
}

}  // namespace bspsearch
