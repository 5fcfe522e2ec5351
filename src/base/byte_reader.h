#pragma once
// Little-endian fields from a bounded span of bytes. Every read is checked against the bytes that
// were actually read from the file; a read past them throws a FormatError that names the context.

#include "base/errors.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

namespace vexa {

class ByteReader {
  public:
    ByteReader(std::span<const std::uint8_t> bytes, std::string context)
        : bytes_(bytes), context_(std::move(context)) {}

    std::size_t size() const { return bytes_.size(); }
    // Points the reader at other bytes of the same file (the next record of a table).
    void rebind(std::span<const std::uint8_t> bytes) { bytes_ = bytes; }

    std::uint8_t u8(std::size_t offset) const { return bytes_[check(offset, 1)]; }
    std::uint16_t u16(std::size_t offset) const {
        const auto at = check(offset, 2);
        return static_cast<std::uint16_t>(bytes_[at] | (bytes_[at + 1] << 8));
    }
    std::uint32_t u32(std::size_t offset) const {
        const auto at = check(offset, 4);
        return static_cast<std::uint32_t>(bytes_[at]) | (static_cast<std::uint32_t>(bytes_[at + 1]) << 8) |
               (static_cast<std::uint32_t>(bytes_[at + 2]) << 16) |
               (static_cast<std::uint32_t>(bytes_[at + 3]) << 24);
    }
    std::int32_t i32(std::size_t offset) const { return static_cast<std::int32_t>(u32(offset)); }

    std::span<const std::uint8_t> bytes(std::size_t offset, std::size_t count) const {
        return bytes_.subspan(check(offset, count), count);
    }

    // A fixed-width name field: its bytes up to the first zero, at most maxLength of them.
    // The bytes are returned as stored (8-bit); callers turn them into display text.
    std::string fixedName(std::size_t offset, std::size_t width, std::size_t maxLength) const {
        return std::string(fixedNameView(offset, width, maxLength));
    }
    // The same bytes as a view into the span, for callers that convert them at once (no copy).
    std::string_view fixedNameView(std::size_t offset, std::size_t width, std::size_t maxLength) const {
        const auto* field = reinterpret_cast<const char*>(bytes(offset, width).data());
        const std::size_t limit = maxLength < width ? maxLength : width;
        const auto* zero = static_cast<const char*>(std::memchr(field, 0, limit));
        return std::string_view(field, zero ? static_cast<std::size_t>(zero - field) : limit);
    }

  private:
    std::size_t check(std::size_t offset, std::size_t count) const {
        if (offset > bytes_.size() || count > bytes_.size() - offset)
            throw FormatError(context_ + ": position " + std::to_string(offset) + " + " +
                              std::to_string(count) + " is out of bounds of " +
                              std::to_string(bytes_.size()) + " bytes");
        return offset;
    }

    std::span<const std::uint8_t> bytes_;
    std::string context_;
};

// Little-endian writers into a byte buffer, for laying out headers and records.
inline void putU16(std::uint8_t* at, std::uint16_t value) {
    at[0] = static_cast<std::uint8_t>(value);
    at[1] = static_cast<std::uint8_t>(value >> 8);
}
inline void putU32(std::uint8_t* at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}
inline void putI32(std::uint8_t* at, std::int32_t value) {
    putU32(at, static_cast<std::uint32_t>(value));
}

} // namespace vexa
