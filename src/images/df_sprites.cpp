#include "images/df_sprites.h"

#include "base/byte_reader.h"
#include "images/df_columns.h"

#include <limits>
#include <unordered_set>

namespace vexa {

namespace {

constexpr std::size_t kWordSize = 4;
constexpr std::size_t kSlots = 32; // actions of a WAX, views of an action, frames of a view

// A frame (all an FME's header): insertion x and y, flip, the cell's offset, then four words
// nobody reads.
constexpr std::size_t kFrameSize = 32;
constexpr std::size_t kInsertXAt = 0, kInsertYAt = 4, kFlipAt = 8, kCellAt = 12;

// A cell: width, height, compressed, data size, the column table's offset from the cell, a pad.
constexpr std::size_t kCellHeaderSize = 24;
constexpr std::size_t kCellWidthAt = 0, kCellHeightAt = 4, kCompressedAt = 8, kColumnTableAt = 16;

// A WAX: version, sequence, frame and cell counts, scales, light, a pad, then the actions.
constexpr std::size_t kWaxHeaderSize = 8 * kWordSize + kSlots * kWordSize;
constexpr std::size_t kActionsAt = 8 * kWordSize;
// An action: world width and height, frame rate, frame count, three pads, then its views.
constexpr std::size_t kViewsAt = 7 * kWordSize;
constexpr std::size_t kActionSize = kViewsAt + kSlots * kWordSize;
// A view: four pads, then its frames.
constexpr std::size_t kFramesAt = 4 * kWordSize;
constexpr std::size_t kViewSize = kFramesAt + kSlots * kWordSize;

// Run-length columns give at most 127 pixels a byte: cells adding up to more share their bytes.
constexpr std::uint64_t kMostPixelsPerByte = 128;

std::string fileEnd(std::size_t size) {
    return "the end of the file (" + std::to_string(size) + " bytes)";
}

struct Cell {
    std::uint64_t at = 0;
    std::uint32_t width = 0, height = 0;
    bool compressed = false;
    std::uint64_t tableAt = 0;
};

std::string cellFault(std::span<const std::uint8_t> file, std::uint64_t at, Cell& cell) {
    const auto name = "the cell at offset " + std::to_string(at);
    if (at > file.size() || kCellHeaderSize > file.size() - at)
        return name + " runs past " + fileEnd(file.size());
    const ByteReader fields(file.subspan(static_cast<std::size_t>(at), kCellHeaderSize), {});
    const std::int64_t width = fields.i32(kCellWidthAt), height = fields.i32(kCellHeightAt);
    if (auto fault = pictureSizeFault(width, height); !fault.empty()) return name + ": " + fault;
    const std::uint32_t compressed = fields.u32(kCompressedAt);
    if (compressed > 1) return name + ": compression " + std::to_string(compressed) + " is neither 0 nor 1";
    cell = {at, static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height), compressed == 1, 0};
    const std::uint64_t left = file.size() - at - kCellHeaderSize;
    if (!cell.compressed) {
        if (std::uint64_t{cell.width} * cell.height > left)
            return name + ": its " + std::to_string(width) + " x " + std::to_string(height) +
                   " pixels run past " + fileEnd(file.size());
        return {};
    }
    // The files in the field leave the table's offset 0: the table follows the header.
    const std::uint64_t table = fields.u32(kColumnTableAt);
    if (table != 0 && table < kCellHeaderSize)
        return name + ": its column table at " + std::to_string(table) + " lies inside its header";
    cell.tableAt = at + (table == 0 ? kCellHeaderSize : table);
    if (cell.tableAt > file.size() || std::uint64_t{kWordSize} * cell.width > file.size() - cell.tableAt)
        return name + ": its table of " + std::to_string(width) + " column offsets runs past " +
               fileEnd(file.size());
    return {};
}

std::string columnOffsetFault(std::span<const std::uint8_t> file, const Cell& cell, std::size_t x,
                              std::uint64_t& offset) {
    offset = ByteReader(file, {}).u32(static_cast<std::size_t>(cell.tableAt + kWordSize * x));
    if (offset >= file.size() - cell.at)
        return "the cell at offset " + std::to_string(cell.at) + ": column " + std::to_string(x) +
               " offset " + std::to_string(offset) + " runs past " + fileEnd(file.size());
    return {};
}

std::string columnTableFault(std::span<const std::uint8_t> file, const Cell& cell) {
    if (!cell.compressed) return {};
    for (std::size_t x = 0; x < cell.width; ++x) {
        std::uint64_t offset = 0;
        if (auto fault = columnOffsetFault(file, cell, x, offset); !fault.empty()) return fault;
    }
    return {};
}

// The cell as stored, index 0 see-through.
DecodedPicture decodeCell(std::span<const std::uint8_t> file, const Cell& cell, const std::string& what) {
    DecodedPicture picture = blankPicture(cell.width, cell.height, false);
    const std::size_t width = cell.width, height = cell.height;
    const auto cellData = file.subspan(static_cast<std::size_t>(cell.at));
    std::vector<std::uint8_t> column(height);
    for (std::size_t x = 0; x < width; ++x) {
        if (!cell.compressed) {
            placeDfColumn(cellData.subspan(kCellHeaderSize + x * height, height), x, width,
                          picture.image.indices);
            continue;
        }
        std::uint64_t offset = 0;
        if (auto fault = columnOffsetFault(file, cell, x, offset); !fault.empty()) throwFault(what, fault);
        if (auto fault =
                decodeDfColumn(cellData, static_cast<std::size_t>(offset), DfColumnCoding::ZeroRuns, column);
            !fault.empty())
            throwFault(what, "the cell at offset " + std::to_string(cell.at) + ": column " +
                                 std::to_string(x) + ": " + fault + " (counted from the cell)");
        placeDfColumn(column, x, width, picture.image.indices);
    }
    picture.alpha.resize(picture.image.indices.size());
    for (std::size_t i = 0; i < picture.alpha.size(); ++i)
        picture.alpha[i] = picture.image.indices[i] == 0 ? kSeeThrough : kOpaque;
    dropOpaqueAlpha(picture);
    return picture;
}

struct Frame {
    std::int32_t insertX = 0, insertY = 0;
    bool flip = false;
    std::uint64_t cellAt = 0;
};

std::string frameFault(std::span<const std::uint8_t> file, std::uint64_t at, std::uint64_t firstCell,
                       Frame& frame) {
    const auto name = "the frame at offset " + std::to_string(at);
    if (at > file.size() || kFrameSize > file.size() - at) return name + " runs past " + fileEnd(file.size());
    const ByteReader fields(file.subspan(static_cast<std::size_t>(at), kFrameSize), {});
    const std::uint32_t flip = fields.u32(kFlipAt);
    if (flip > 1) return name + ": flip " + std::to_string(flip) + " is neither 0 nor 1";
    frame = {fields.i32(kInsertXAt), fields.i32(kInsertYAt), flip == 1, fields.u32(kCellAt)};
    if (frame.cellAt < firstCell)
        return name + ": its cell offset " + std::to_string(frame.cellAt) +
               " points into the headers (the first " + std::to_string(firstCell) + " bytes)";
    return {};
}

// Doom's offsets count the origin from the top-left corner; the insertion point counts the corner
// from the origin. The one value whose negation an offset cannot hold becomes the largest it can.
std::int32_t negated(std::int32_t value) {
    return value == std::numeric_limits<std::int32_t>::min() ? std::numeric_limits<std::int32_t>::max()
                                                             : -value;
}

PictureOffset offsetOf(const Frame& frame) {
    return {negated(frame.insertX), negated(frame.insertY)};
}

// One slot table of a WAX: the nonzero offsets of kSlots words at offset, each to a record of
// recordSize bytes past the WAX header and inside the file.
template <class Visit>
std::string walkSlots(std::span<const std::uint8_t> file, std::uint64_t tableAt, std::size_t recordSize,
                      const char* record, Visit&& visit) {
    const ByteReader fields(file, {});
    for (std::size_t slot = 0; slot < kSlots; ++slot) {
        const std::uint64_t at = fields.u32(static_cast<std::size_t>(tableAt + kWordSize * slot));
        if (at == 0) continue;
        if (at < kWaxHeaderSize || at > file.size() || recordSize > file.size() - at)
            return std::string(record) + " " + std::to_string(slot) + " at offset " + std::to_string(at) +
                   " lies outside the file's records (" + std::to_string(kWaxHeaderSize) + " to " +
                   std::to_string(file.size()) + " bytes)";
        if (auto fault = visit(at); !fault.empty()) return fault;
    }
    return {};
}

// Every frame of every view of every action: at most 32 x 32 x 32, however the offsets point
// (at each other, at one record, in loops): the walk is three tables deep and no deeper.
template <class OnFrame> std::string walkWax(std::span<const std::uint8_t> file, OnFrame&& onFrame) {
    if (file.size() < kWaxHeaderSize)
        return "a WAX starts with a " + std::to_string(kWaxHeaderSize) + "-byte header, the file has " +
               std::to_string(file.size());
    return walkSlots(file, kActionsAt, kActionSize, "action", [&](std::uint64_t action) {
        return walkSlots(file, action + kViewsAt, kViewSize, "view", [&](std::uint64_t view) {
            return walkSlots(file, view + kFramesAt, kFrameSize, "frame", [&](std::uint64_t at) {
                Frame frame;
                if (auto fault = frameFault(file, at, kWaxHeaderSize, frame); !fault.empty()) return fault;
                return onFrame(frame);
            });
        });
    });
}

} // namespace

bool isDfFme(std::span<const std::uint8_t> entry) noexcept {
    Frame frame;
    Cell cell;
    return frameFault(entry, 0, kFrameSize, frame).empty() && cellFault(entry, frame.cellAt, cell).empty() &&
           columnTableFault(entry, cell).empty();
}

DecodedPictures decodeDfFme(std::span<const std::uint8_t> entry, const std::string& what) {
    Frame frame;
    Cell cell;
    if (auto fault = frameFault(entry, 0, kFrameSize, frame); !fault.empty()) throwFault(what, fault);
    if (auto fault = cellFault(entry, frame.cellAt, cell); !fault.empty()) throwFault(what, fault);
    DecodedPictures out;
    out.pictures.push_back(decodeCell(entry, cell, what));
    out.pictures.back().offset = offsetOf(frame);
    if (frame.flip) out.notes.push_back("the frame is drawn mirrored; the picture is its cell as stored");
    return out;
}

bool isDfWax(std::span<const std::uint8_t> entry) noexcept {
    bool anyCell = false;
    const auto fault = walkWax(entry, [&](const Frame& frame) {
        Cell cell;
        auto fault = cellFault(entry, frame.cellAt, cell);
        anyCell = anyCell || fault.empty();
        return fault;
    });
    return fault.empty() && anyCell;
}

DecodedPictures decodeDfWax(std::span<const std::uint8_t> entry, const std::string& what) {
    DecodedPictures out;
    std::unordered_set<std::uint64_t> seen;
    const std::uint64_t budget = kMostPixelsPerByte * entry.size();
    std::uint64_t pixels = 0;
    const auto fault = walkWax(entry, [&](const Frame& frame) -> std::string {
        if (!seen.insert(frame.cellAt).second) return {};
        Cell cell;
        if (auto fault = cellFault(entry, frame.cellAt, cell); !fault.empty()) return fault;
        pixels += std::uint64_t{cell.width} * cell.height;
        if (pixels > budget)
            return "its cells add up to more than the " + std::to_string(budget) + " pixels " +
                   std::to_string(entry.size()) + " bytes can hold";
        auto picture = decodeCell(entry, cell, what);
        picture.offset = offsetOf(frame);
        picture.name = "cell" + zeroPadded(out.pictures.size(), 2);
        out.pictures.push_back(std::move(picture));
        return {};
    });
    if (!fault.empty()) throwFault(what, fault);
    if (out.pictures.empty()) throwFault(what, "no frame of the WAX leads to a cell");
    return out;
}

} // namespace vexa
