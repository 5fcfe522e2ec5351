#include "base/byte_source.h"

#include "base/errors.h"

#include <algorithm>
#include <cstring>

namespace vexa {

namespace {
std::string pastTheEnd(const ByteSource& source, std::uint64_t offset, std::uint64_t count,
                       const std::string& what) {
    return displayPath(source.path()) + ": " + what + " at offset " + std::to_string(offset) + " (" +
           std::to_string(count) + " bytes) runs past the end of the file (" + std::to_string(source.size()) +
           " bytes)";
}
// An entry's name as a path below its container's: "maps\e1m1.bsp" is two levels.
std::string levelsWithSlashes(std::string name) {
    std::replace(name.begin(), name.end(), '\\', '/');
    return name;
}
} // namespace

std::string rangeProblem(std::uint64_t fileSize, std::uint64_t offset, std::uint64_t size) {
    if (rangeFits(fileSize, offset, size)) return {};
    return "offset " + std::to_string(offset) + " + size " + std::to_string(size) +
           " runs past the end of the file (" + std::to_string(fileSize) + " bytes)";
}

void ByteSource::readExact(std::uint64_t offset, std::span<std::uint8_t> buffer,
                           const std::string& what) const {
    if (!rangeFits(size_, offset, buffer.size()) || readSome(offset, buffer) != buffer.size())
        throw FormatError(pastTheEnd(*this, offset, buffer.size(), what));
}

std::vector<std::uint8_t> ByteSource::readBlock(std::uint64_t offset, std::uint64_t count,
                                                const std::string& what) const {
    if (!rangeFits(size_, offset, count)) throw FormatError(pastTheEnd(*this, offset, count, what));
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(count));
    readExact(offset, bytes, what);
    return bytes;
}

ByteRange::ByteRange(std::shared_ptr<const ByteSource> outer, std::uint64_t offset, std::uint64_t count,
                     const std::string& name)
    : ByteSource(outer->path() / levelsWithSlashes(name), count), outer_(std::move(outer)), offset_(offset) {
    if (!rangeFits(outer_->size(), offset_, count))
        throw FormatError(pastTheEnd(*outer_, offset_, count, "'" + name + "'"));
}

std::size_t ByteRange::readSome(std::uint64_t offset, std::span<std::uint8_t> buffer) const {
    if (offset >= size()) return 0;
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), size() - offset));
    return outer_->readSome(offset_ + offset, buffer.first(n));
}

std::optional<std::uint64_t> ByteRange::offsetIn(const ByteSource& outer) const {
    if (&outer == outer_.get()) return offset_;
    if (const auto at = outer_->offsetIn(outer)) return *at + offset_;
    return std::nullopt;
}

MemoryBytes::MemoryBytes(std::vector<std::uint8_t> bytes, fs::path path)
    : ByteSource(std::move(path), bytes.size()), bytes_(std::move(bytes)) {}

std::size_t MemoryBytes::readSome(std::uint64_t offset, std::span<std::uint8_t> buffer) const {
    if (offset >= bytes_.size() || buffer.empty()) return 0;
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), bytes_.size() - offset));
    std::memcpy(buffer.data(), bytes_.data() + offset, n);
    return n;
}

} // namespace vexa
