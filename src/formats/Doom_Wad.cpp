#include "formats/Doom_Wad.h"

#include "base/byte_reader.h"
#include "base/errors.h"
#include "formats/output_names.h"
#include "base/text.h"

namespace vexa {

std::vector<EntryRecord> TDoomWadReader::ParseDirectory(const InputFile& archive) {
    const auto file = displayPath(archive.path());
    const auto headerBytes = archive.readBlock(0, kHeaderSize, "the WAD header");
    const ByteReader header(headerBytes, file);
    const auto count = header.i32(kCountOffset);
    const auto dirOffset = header.i32(kDirectoryOffset);
    if (dirOffset < 0)
        throw FormatError(file + ": the directory offset " + std::to_string(dirOffset) + " is negative");

    const auto table = readRecords(archive, count, static_cast<std::uint64_t>(dirOffset), kRecordSize, "lump");
    const ByteReader dir(table, file);
    std::vector<EntryRecord> records;
    records.reserve(static_cast<std::size_t>(count));
    std::vector<std::string> fullNames; // all eight characters: the files keep the lump's real name
    fullNames.reserve(static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < static_cast<std::size_t>(count); ++i) {
        const auto at = i * kRecordSize;
        const auto offset = dir.i32(at);
        const auto size = dir.i32(at + 4);
        auto name = latin1ToUtf8(dir.fixedNameView(at + kNameOffset, kNameWidth, kMaxNameLength));
        if (size < 0 || (size > 0 && offset < 0))
            throw FormatError(file + ": lump " + std::to_string(i) + " '" + name + "': offset " +
                              std::to_string(offset) + " or size " + std::to_string(size) + " is negative");
        // Marker lumps (S_START, E1M1, ...) are empty and their offset means nothing; tools leave
        // any value there, so it is not held against the file.
        const std::uint64_t start = size == 0 ? 0 : static_cast<std::uint64_t>(offset);
        records.push_back({std::move(name), start, static_cast<std::uint64_t>(size)});
        fullNames.push_back(latin1ToUtf8(dir.fixedName(at + kNameOffset, kNameWidth, kNameWidth)));
    }

    SetOutputNames(flatOutputNames(fullNames));
    return records;
}

} // namespace vexa
