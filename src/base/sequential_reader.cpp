#include "base/sequential_reader.h"

#include "base/errors.h"

#include <algorithm>

namespace vexa {

namespace {
constexpr std::uint64_t kWindowSize = 64 * 1024;
}

void SequentialReader::requireAvailable(std::uint64_t count, const std::string& what) const {
    if (count > remaining())
        throw FormatError(displayPath(file_.path()) + ": " + what + " at offset " +
                          std::to_string(position_) + " (" + std::to_string(count) +
                          " bytes) runs past the end of the file (" + std::to_string(file_.size()) +
                          " bytes)");
}

std::span<const std::uint8_t> SequentialReader::read(std::uint64_t count, const std::string& what) {
    requireAvailable(count, what);
    const bool inWindow = position_ >= windowStart_ && count <= window_.size() &&
                          position_ - windowStart_ <= window_.size() - count;
    if (!inWindow) {
        const auto length = std::min(std::max(count, kWindowSize), remaining());
        window_.resize(static_cast<std::size_t>(length));
        windowStart_ = position_;
        file_.readExact(position_, window_, what);
    }
    const auto at = static_cast<std::size_t>(position_ - windowStart_);
    position_ += count;
    return std::span<const std::uint8_t>(window_).subspan(at, static_cast<std::size_t>(count));
}

void SequentialReader::skip(std::uint64_t count, const std::string& what) {
    requireAvailable(count, what);
    position_ += count;
}

} // namespace vexa
