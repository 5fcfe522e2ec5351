#pragma once
// The first bytes of many entries of one container, for looking at what each holds. Heads that lie
// close together are read in one call and far ones alone: a read costs about as much as copying a few
// dozen KiB, so a PAK of small files is read in long runs and one of large files a few bytes an entry.

#include "formats/container.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace vexa {

class EntryHeads {
  public:
    // headBytes: the most looked at of each entry.
    EntryHeads(const ContainerReader& reader, std::size_t headBytes);

    // The first min(size, headBytes) bytes of entry index (fewer where the file ends early); empty for a
    // damaged entry or one without bytes. own holds them where they are read alone. Fastest when asked
    // in the order the entries lie (offsetOrder). Throws Error when they cannot be read.
    std::span<const std::uint8_t> head(std::size_t index, std::vector<std::uint8_t>& own);

    // The entries' indices in the order their bytes lie in the file.
    const std::vector<std::size_t>& offsetOrder() const { return order_; }

  private:
    void readWindowAt(std::uint64_t at);

    const ContainerReader& reader_;
    std::size_t headBytes_;
    std::vector<std::size_t> order_;
    std::vector<std::uint64_t> sortedOffsets_;
    std::vector<std::uint8_t> window_;
    std::uint64_t windowStart_ = 0;
};

} // namespace vexa
