// Memory faulted in ahead of its first use. A page written for the first time costs a page
// fault; on a virtual machine one can take ten microseconds, against well under one a page
// when one call faults in many. Where the system cannot (before Linux 5.14), nothing happens
// and the pages fault in as they are touched.
#pragma once

#include <cstddef>

namespace qs {

// Faults in, for writing, the whole pages within [start, start + size).
void PrefaultForWriting(void* start, std::size_t size);

// Faults in about `size` bytes of heap for the calling thread's coming allocations: allocated,
// faulted in and freed again, they stay with the thread's part of the heap (KeepFreedMemory).
void PrefaultThreadHeap(std::size_t size);

}  // namespace qs
