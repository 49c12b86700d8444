#include "HeapPeak.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
// Every allocation writes them from any thread: each fills a cache line of
// its own, so that they do not slow the reads of what a build shares.
struct alignas(64) Counter {
    std::atomic<size_t> value{0};
};
Counter sHeapNow;
Counter sHeapPeak;
// Each block starts with its size, kept aligned for anything.
constexpr size_t HEADER = alignof(std::max_align_t);
}  // namespace

void* operator new(size_t size) {
    void* p = std::malloc(size + HEADER);
    if (p == nullptr) throw std::bad_alloc();
    *static_cast<size_t*>(p) = size;
    size_t now = sHeapNow.value.fetch_add(size) + size;
    size_t peak = sHeapPeak.value.load();
    while (now > peak && !sHeapPeak.value.compare_exchange_weak(peak, now)) {
    }
    return static_cast<char*>(p) + HEADER;
}
void operator delete(void* p) noexcept {
    if (p == nullptr) return;
    void* base = static_cast<char*>(p) - HEADER;
    sHeapNow.value.fetch_sub(*static_cast<size_t*>(base));
    std::free(base);
}
void operator delete(void* p, size_t) noexcept { operator delete(p); }

namespace orvbench {

size_t HeapNow() { return sHeapNow.value.load(); }
void ResetHeapPeak() { sHeapPeak.value.store(sHeapNow.value.load()); }
size_t HeapPeak() { return sHeapPeak.value.load(); }

}  // namespace orvbench
