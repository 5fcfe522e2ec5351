#include "base/memory.h"

#if defined(__linux__) && defined(__GLIBC__)
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace vexa {

void prepareHeapForLargeListings(std::size_t heapBytes) {
#if defined(__linux__) && defined(__GLIBC__)
    constexpr std::uintptr_t kLargePage = std::uintptr_t{2} << 20;
    constexpr int kLargestHeapBlock = 32 << 20; // the C library's limit for the threshold below
    constexpr int kDefaultTopPad = 128 << 10;
    // Every thread allocates from this heap: the window reads directories on a worker, and a
    // worker's own arena would have none of the large pages (its listing took four times as long).
    mallopt(M_ARENA_MAX, 1);
    // Blocks up to 32 MiB come from the heap, and the heap is not shrunk behind them when freed.
    mallopt(M_MMAP_THRESHOLD, kLargestHeapBlock);
    mallopt(M_TRIM_THRESHOLD, static_cast<int>(std::min<std::size_t>(2 * heapBytes, INT32_MAX)));
    // Grow the heap once by heapBytes, untouched (pages are not faulted in until written), and
    // advise the aligned part of the new range.
    mallopt(M_TOP_PAD, static_cast<int>(std::min<std::size_t>(heapBytes, INT32_MAX)));
    const auto before = reinterpret_cast<std::uintptr_t>(::sbrk(0));
    void* volatile block = std::malloc(kLargePage); // volatile: the pair must not be optimised away
    std::free(block);
    const auto after = reinterpret_cast<std::uintptr_t>(::sbrk(0));
    mallopt(M_TOP_PAD, kDefaultTopPad);
    const auto start = (before + kLargePage - 1) & ~(kLargePage - 1);
    if (after > start) ::madvise(reinterpret_cast<void*>(start), after - start, MADV_HUGEPAGE);
#else
    (void)heapBytes;
#endif
}

} // namespace vexa
