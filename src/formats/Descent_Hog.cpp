#include "formats/Descent_Hog.h"

#include "base/byte_reader.h"
#include "base/text.h"
#include "formats/entry_checks.h"
#include "formats/writer.h"

#include <array>

namespace vexa {

namespace {
constexpr std::uint8_t kSignature[3] = {'D', 'H', 'F'};
} // namespace

std::vector<EntryRow> TDescentHogReader::ParseDirectory(const ByteSource& archive) {
    archive.readBlock(0, kSignatureSize, "the HOG signature");
    std::vector<EntryRow> records;
    std::array<std::uint8_t, kEntryHeaderSize> header{};
    // Each step moves at least one header forward, so the walk ends on any file. An entry whose
    // data the file cuts short is the last one (listed as damaged): nothing follows it.
    std::uint64_t position = kSignatureSize;
    while (position < archive.size()) {
        const auto index = records.size();
        if (archive.size() - position < kEntryHeaderSize) {
            AddListingNote(displayPath(archive.path()) + ": the header of entry " + std::to_string(index) +
                           " at offset " + std::to_string(position) + " is cut off by the end of the file (" +
                           std::to_string(archive.size() - position) + " of " +
                           std::to_string(kEntryHeaderSize) + " bytes); the entries before it are listed");
            break;
        }
        archive.readExact(position, header, "the header of entry " + std::to_string(index));
        const ByteReader fields(header, displayPath(archive.path()));
        auto name = latin1ToUtf8(fields.fixedNameView(0, kNameWidth, kMaxNameLength));
        const auto size = nonNegativeSize(archive, index, name, fields.i32(kSizeField));
        const auto data = position + kEntryHeaderSize;
        records.push_back(recordRow(std::move(name), data, size));
        position = data + size;
    }
    return records;
}

std::string TDescentHogReader::StoredKey(const WriterEntry& entry, const fs::path& newPath) const {
    return storedNameCut(entry.name, kMaxNameLength, newPath); // the field keeps a zero at its end
}

ContainerLayout TDescentHogReader::Layout(const std::vector<WriterEntry>& entries,
                                          const fs::path& newPath) const {
    requireSizesFit32(entries, newPath);
    ContainerLayout layout;
    layout.head.assign(std::begin(kSignature), std::end(kSignature));
    layout.before.reserve(entries.size());
    for (const auto& entry : entries) {
        std::vector<std::uint8_t> header(kEntryHeaderSize, 0);
        putName(header.data(), kNameWidth, StoredKey(entry, newPath));
        putU32(&header[kSizeField], static_cast<std::uint32_t>(entry.size));
        layout.before.push_back(std::move(header));
    }
    return layout;
}

const ContainerKind kDescentHogKind{
    .code = ContainerType::DescentHog,
    .name = "Descent HOG",
    .signatures = {"DHF"},
    .createReader = readerOf<TDescentHogReader>,
    .createWriter = writerOf<TDescentHogReader>,
    .newItems = {{7, "HOG           Descent 1/2", "New_Descent12.Hog", "hog", Gathering::Flat}},
    .namesIgnoreCase = true,
};

} // namespace vexa
