#include "base/memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace vexa {
namespace {

#if !defined(__SANITIZE_ADDRESS__) && defined(__linux__) && defined(__GLIBC__)
bool largePagesOffered() {
    std::ifstream in("/sys/kernel/mm/transparent_hugepage/enabled");
    std::string line;
    return std::getline(in, line) && line.find("[never]") == std::string::npos;
}

// Whether the mapping of /proc/self/smaps that holds address is marked for large pages.
bool eligibleForLargePages(const void* address) {
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    std::ifstream smaps("/proc/self/smaps");
    std::string line;
    bool inside = false;
    while (std::getline(smaps, line)) {
        std::uintptr_t from = 0, to = 0;
        char dash = 0;
        std::istringstream head(line);
        if (head >> std::hex >> from >> dash >> to && dash == '-') inside = from <= at && at < to;
        if (inside && line.rfind("THPeligible:", 0) == 0) return line.find('1') != std::string::npos;
    }
    return false;
}
#endif

// The heap a listing grows into is backed by large pages: a block of the size a listing of 100,000
// entries makes lands in memory marked for them (a call the compiler may drop, or advice given to
// the wrong range, shows here).
TEST(Memory, ListingsGrowIntoLargePages) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer keeps its own heap; the release build is what this checks";
#elif !defined(__linux__) || !defined(__GLIBC__)
    GTEST_SKIP() << "no such knobs on this platform";
#else
    if (!largePagesOffered()) GTEST_SKIP() << "the kernel offers no large pages here";
    prepareHeapForLargeListings();
    void* volatile block = std::malloc(std::size_t{8} << 20);
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(eligibleForLargePages(static_cast<char*>(block) + (std::size_t{4} << 20)));
    std::free(block);
#endif
}

} // namespace
} // namespace vexa
