#include "base/records.h"

#include "base/errors.h"

#include <algorithm>
#include <stdexcept>

namespace vexa {

namespace {
constexpr std::size_t kSliceBytes = std::size_t{64} << 10;
} // namespace

void checkRecordsFit(const ByteSource& file, std::int64_t count, std::uint64_t offset,
                     std::uint64_t recordSize, const std::string& what) {
    if (count < 0)
        throw FormatError(displayPath(file.path()) + ": the " + what + " count " + std::to_string(count) +
                          " is negative");
    if (offset > file.size() || static_cast<std::uint64_t>(count) > (file.size() - offset) / recordSize)
        throw FormatError(displayPath(file.path()) + ": " + std::to_string(count) + " " + what +
                          " records of " + std::to_string(recordSize) + " bytes at offset " +
                          std::to_string(offset) + " do not fit in the file (" + std::to_string(file.size()) +
                          " bytes)");
}

std::vector<std::uint8_t> readRecords(const ByteSource& file, std::int64_t count, std::uint64_t offset,
                                      std::uint64_t recordSize, const std::string& what) {
    checkRecordsFit(file, count, offset, recordSize, what);
    return file.readBlock(offset, static_cast<std::uint64_t>(count) * recordSize, "the " + what + " records");
}

RecordTable::RecordTable(const ByteSource& file, std::int64_t count, std::uint64_t offset,
                         std::uint64_t recordSize, const std::string& what)
    : file_(file), offset_(offset), recordSize_(static_cast<std::size_t>(recordSize)), count_(0),
      perSlice_(std::max<std::size_t>(1, kSliceBytes / recordSize)), what_("the " + what + " records"),
      record_({}, displayPath(file.path())) {
    checkRecordsFit(file, count, offset, recordSize, what);
    count_ = static_cast<std::size_t>(count);
}

const ByteReader& RecordTable::operator[](std::size_t index) {
    if (index >= count_)
        throw std::out_of_range("record " + std::to_string(index) + " of " + std::to_string(count_));
    if (index < first_ || index >= first_ + held_) {
        first_ = index;
        held_ = std::min(perSlice_, count_ - index);
        slice_.resize(held_ * recordSize_);
        file_.readExact(offset_ + static_cast<std::uint64_t>(index) * recordSize_, slice_, what_);
    }
    record_.rebind(
        std::span<const std::uint8_t>(slice_).subspan((index - first_) * recordSize_, recordSize_));
    return record_;
}

} // namespace vexa
