#pragma once
// What the window and vexa-cli show of an open file beyond its rows: the status line, the bytes
// an entry takes, and the first bytes of an entry.

#include "formats/container.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vexa {

// After listing: the path and the entry count; for a listing of image files, the folder alone.
std::string statusLine(const ContainerReader& object);

// The bytes the entry takes in the file (for image listings, the image file's size), or nullopt
// where that is not known; a preview refuses entries larger than it reads.
std::optional<std::uint64_t> storedSize(const ContainerReader& object, std::size_t index);

// Up to maxBytes of the entry's stored bytes from its start; empty where the kind has none.
std::vector<std::uint8_t> readEntryHead(const ContainerReader& object, std::size_t index,
                                        std::size_t maxBytes);

} // namespace vexa
