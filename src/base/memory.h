#pragma once
// The platform layer for memory: how the process's heap is set up.

#include <cstddef>

namespace vexa {

// Prepares the heap for listing large archives. An archive of 100,000 entries makes some
// twenty megabytes of names and records; touched 4 KiB at a time that is thousands of page faults,
// each a few microseconds (many more in a virtual machine) — most of the time of a listing. This
// keeps large blocks on the C library's heap (freed ones are reused instead of returned and faulted
// in again) and asks the kernel to back the first heapBytes of it with 2 MiB pages where it can.
// Call once, first thing in main. A hint only: where the platform has no such knobs it does nothing.
void prepareHeapForLargeListings(std::size_t heapBytes = std::size_t{64} << 20);

} // namespace vexa
