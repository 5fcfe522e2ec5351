#include "formats/DK_Pak.h"

#include "base/byte_reader.h"
#include "base/errors.h"
#include "base/text.h"
#include "formats/HL_Pak.h"
#include "formats/entry_checks.h"

#include <algorithm>

namespace vexa {

namespace {

// The most one stored byte can give (a run of 65 zero bytes): a larger size is no stream's.
constexpr std::uint64_t kMostPerStoredByte = 65;
// A decompressed entry is held in memory: larger ones are refused, not allocated.
constexpr std::uint64_t kLargestDecompressed = 1ull << 30;
constexpr std::uint32_t kMaxDirectoryLength = 0x7FFFFFFF;

std::string listedName(std::string_view stored) {
    auto name = latin1ToUtf8(stored);
    std::replace(name.begin(), name.end(), '/', '\\');
    return name;
}

struct DirectoryPlace {
    std::uint64_t offset = 0, length = 0;
};

std::optional<DirectoryPlace> directoryOf(const ByteSource& file) {
    if (file.size() < TDaikatanaPakReader::kHeaderSize) return std::nullopt;
    const auto header = file.readBlock(0, TDaikatanaPakReader::kHeaderSize, "the PAK header");
    const ByteReader head(header, displayPath(file.path()));
    const auto offset = head.u32(TDaikatanaPakReader::kDirectoryOffsetField);
    const auto length = head.u32(TDaikatanaPakReader::kDirectoryLengthField);
    if (length > kMaxDirectoryLength || offset > file.size() || length > file.size() - offset)
        return std::nullopt;
    return DirectoryPlace{offset, length};
}

// Whether every record of the directory, read as recordSize bytes each, names a range of the file
// and ends its name within its field: the layout the file was written with.
bool recordsFit(const ByteSource& file, const DirectoryPlace& directory, std::size_t recordSize,
                std::size_t sizeField) {
    if (directory.length % recordSize != 0) return false;
    const auto bytes = file.readBlock(directory.offset, directory.length, "the PAK directory");
    const ByteReader records(bytes, displayPath(file.path()));
    for (std::size_t at = 0; at < bytes.size(); at += recordSize) {
        // A name: printable bytes ended within its field.
        const auto name = std::span(bytes).subspan(at, TDaikatanaPakReader::kNameWidth);
        const auto end = std::find(name.begin(), name.end(), 0);
        if (end == name.end() || end == name.begin() ||
            std::any_of(name.begin(), end, [](std::uint8_t c) { return c < 0x20; }))
            return false;
        const std::uint64_t offset = records.u32(at + TDaikatanaPakReader::kOffsetField);
        const std::uint64_t size = records.u32(at + sizeField);
        if (offset > file.size() || size > file.size() - offset) return false;
    }
    return true;
}

} // namespace

bool isDaikatanaPak(const ByteSource& file) {
    const auto directory = directoryOf(file);
    if (!directory || directory->length == 0 || directory->length % TDaikatanaPakReader::kRecordSize != 0)
        return false;
    if (directory->length % THLPakReader::kRecordSize != 0) return true;
    // A length both layouts divide: the records tell.
    return recordsFit(file, *directory, TDaikatanaPakReader::kRecordSize,
                      TDaikatanaPakReader::kStoredSizeField) &&
           !recordsFit(file, *directory, THLPakReader::kRecordSize, THLPakReader::kSizeField);
}

void TDaikatanaPakReader::ReadDirectory(std::shared_ptr<const ByteSource> archive) {
    SetArchive(archive->path(), archive);
    const auto& file = *archive;
    const auto header = file.readBlock(0, kHeaderSize, "the PAK header");
    const ByteReader head(header, displayPath(file.path()));
    const auto length = head.i32(kDirectoryLengthField);
    const std::int64_t count = length > 0 ? length / static_cast<std::int32_t>(kRecordSize) : 0;
    if (count == 0) return;
    const auto directory = nonNegative(file, head.i32(kDirectoryOffsetField), "the directory offset");
    RecordTable table(file, count, directory, kRecordSize, "directory");
    std::vector<EntryRow> rows;
    std::vector<Stored> stored;
    rows.reserve(table.size());
    stored.reserve(table.size());
    for (std::size_t i = 0; i < table.size(); ++i) {
        const auto& record = table[i];
        auto name = listedName(record.fixedNameView(0, kNameWidth, kNameWidth - 1));
        const std::uint64_t offset = record.u32(kOffsetField), size = record.u32(kSizeField);
        const bool compressed = record.u32(kCompressedField) != 0;
        const std::uint64_t storedSize = compressed ? record.u32(kStoredSizeField) : size;
        auto row = recordRow(std::move(name), offset, size);
        row.damaged = !rangeProblem(file.size(), offset, storedSize).empty() ||
                      (compressed && (size > storedSize * kMostPerStoredByte || size > kLargestDecompressed));
        rows.push_back(std::move(row));
        stored.push_back({storedSize, compressed});
    }
    SetRows(std::move(rows));
    stored_ = std::move(stored);
}

std::string TDaikatanaPakReader::EntryDamage(std::size_t index) const {
    const auto& row = Rows().at(index);
    if (!row.damaged) return {};
    const auto& s = stored_.at(index);
    if (auto problem = rangeProblem(Archive()->size(), *row.offset, s.size); !problem.empty()) return problem;
    if (*row.size > kLargestDecompressed)
        return "its size " + std::to_string(*row.size) + " is more than the " +
               std::to_string(kLargestDecompressed) + " bytes a compressed entry is decompressed to";
    return "its size " + std::to_string(*row.size) + " is more than its " + std::to_string(s.size) +
           " stored bytes can give";
}

std::shared_ptr<const ByteSource> TDaikatanaPakReader::entrySource(std::size_t index) const {
    RequireWhole(index);
    const auto& row = Rows().at(index);
    const auto& s = stored_.at(index);
    if (!s.compressed) return ContainerReader::entrySource(index);
    const auto label = displayPath(ArchivePath()) + ": " + entryLabel(index, row.name);
    const auto bytes = Archive()->readBlock(*row.offset, s.size, label);
    return std::make_shared<const MemoryBytes>(daikatanaDecompress(bytes, *row.size, label), ArchivePath());
}

std::vector<std::uint8_t> daikatanaDecompress(std::span<const std::uint8_t> stored, std::uint64_t size,
                                              const std::string& entry) {
    if (size > stored.size() * kMostPerStoredByte || size > kLargestDecompressed)
        throw FormatError(entry + ": its size " + std::to_string(size) + " is more than its " +
                          std::to_string(stored.size()) + " stored bytes can give");
    std::vector<std::uint8_t> out;
    out.reserve(static_cast<std::size_t>(size));
    const auto damaged = [&](std::size_t at, const std::string& why) {
        return FormatError(entry + ": the compressed stream is damaged at byte " + std::to_string(at) + ": " +
                           why);
    };
    const auto room = [&](std::size_t at, std::uint64_t count) {
        if (count > size - out.size())
            throw damaged(at, "it writes " + std::to_string(count) + " bytes where " +
                                  std::to_string(size - out.size()) + " are left of the " +
                                  std::to_string(size));
    };
    std::size_t at = 0;
    while (at < stored.size()) {
        const auto op = stored[at];
        const auto opAt = at++;
        if (op == 0xFF) break;
        if (op == 0xFE) continue;
        if (op < 0x40) {
            const std::size_t count = op + 1u;
            if (count > stored.size() - at) throw damaged(opAt, "its bytes run past the stored ones");
            room(opAt, count);
            out.insert(out.end(), stored.begin() + static_cast<std::ptrdiff_t>(at),
                       stored.begin() + static_cast<std::ptrdiff_t>(at + count));
            at += count;
        } else if (op < 0x80) {
            const std::size_t count = op - 62u;
            room(opAt, count);
            out.insert(out.end(), count, 0);
        } else {
            if (at >= stored.size()) throw damaged(opAt, "its operand is past the stored bytes");
            const auto operand = stored[at++];
            if (op < 0xC0) {
                const std::size_t count = op - 126u;
                room(opAt, count);
                out.insert(out.end(), count, operand);
            } else {
                const std::size_t count = op - 190u, back = operand + 2u;
                if (back > out.size())
                    throw damaged(opAt, "it copies from " + std::to_string(back) +
                                            " bytes back, before the " + std::to_string(out.size()) +
                                            " written");
                room(opAt, count);
                // Byte by byte: a copy may overlap what it writes.
                for (std::size_t i = 0; i < count; ++i)
                    out.push_back(out[out.size() - back]);
            }
        }
    }
    if (out.size() != size)
        throw FormatError(entry + ": the compressed stream gives " + std::to_string(out.size()) +
                          " bytes, not the " + std::to_string(size) + " its record says");
    return out;
}

const ContainerKind kDaikatanaPakKind{
    .code = ContainerType::DaikatanaPak,
    .name = "Daikatana PAK",
    .signatures = {"PACK"},
    .createReader = readerOf<TDaikatanaPakReader>,
    .claims = isDaikatanaPak,
    .namesHoldFolders = true,
};

} // namespace vexa
