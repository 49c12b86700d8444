// HeapPeak.h - heap bytes in use and their peak, counted by a replacement of
// the global operator new and delete, for the benchmarks' peak memory. Link
// the object library orv_heappeak to have the replacement in a program.
#ifndef ORV_BENCH_HEAP_PEAK_H
#define ORV_BENCH_HEAP_PEAK_H

#include <cstddef>

namespace orvbench {

// Heap bytes the program holds now (through operator new).
size_t HeapNow();
// Starts a new peak at what is held now.
void ResetHeapPeak();
// The most heap bytes held at once since the last reset.
size_t HeapPeak();

}  // namespace orvbench

#endif
