#include "formats/DF_Lfd.h"

#include "base/byte_reader.h"
#include "base/text.h"
#include "formats/entry_checks.h"
#include "formats/output_names.h"
#include "formats/writer.h"

#include <algorithm>
#include <cstring>

namespace vexa {

namespace {

constexpr char kMapType[] = "RMAP";
constexpr char kMapName[] = "resource"; // all eight bytes, no zero

struct TypeRow {
    std::string_view type, listExtension, sourceExtension;
};
constexpr TypeRow kTypes[] = {
    {"ANIM", ".anm", ".ANM"}, {"DELT", ".dlt", ".DLT"}, {"FILM", ".flm", ".FLM"}, {"FONT", ".fon", ".FON"},
    {"GMID", ".gmd", ".GMD"}, {"PLTT", ".plt", ".PLT"}, {"VOIC", ".voc", ".VOC"},
};

std::vector<std::uint8_t> mapHeader(std::size_t count) {
    std::vector<std::uint8_t> header(TDFLfdReader::kHeaderSize, 0);
    std::memcpy(header.data(), kMapType, TDFLfdReader::kTypeWidth);
    std::memcpy(&header[TDFLfdReader::kNameOffset], kMapName, TDFLfdReader::kNameWidth);
    putU32(&header[TDFLfdReader::kSizeField], static_cast<std::uint32_t>(TDFLfdReader::kHeaderSize * count));
    return header;
}

} // namespace

std::string TDFLfdReader::ListExtension(std::string_view type) {
    const auto upper = toUpperAscii(type);
    for (const auto& row : kTypes)
        if (upper == row.type) return std::string(row.listExtension);
    // Only characters a file name may hold: a type such as "A/BC" must not make a folder.
    return type.empty() ? std::string() : "." + replaceUnsafeCharacters(toLowerAscii(type));
}

std::array<std::uint8_t, 4> TDFLfdReader::TypeForName(std::string_view name) {
    const auto extension = toUpperAscii(extensionOf(name));
    std::array<std::uint8_t, 4> type{};
    for (const auto& row : kTypes)
        if (extension == row.sourceExtension) std::memcpy(type.data(), row.type.data(), type.size());
    return type;
}

std::vector<EntryRow> TDFLfdReader::ParseDirectory(const InputFile& archive) {
    const auto header = archive.readBlock(0, kHeaderSize, "the LFD map header");
    const auto mapSize = ByteReader(header, displayPath(archive.path())).i32(kSizeField);
    const std::int64_t count = mapSize > 0 ? mapSize / static_cast<std::int32_t>(kHeaderSize) : 0;

    const auto n = static_cast<std::size_t>(count);
    RecordTable map(archive, count, kHeaderSize, kHeaderSize, "map");
    std::vector<EntryRow> records;
    records.reserve(n);
    // Each resource's own header is skipped, not read: the map decides where the data lie.
    std::uint64_t position = kHeaderSize + static_cast<std::uint64_t>(n) * kHeaderSize;
    for (std::size_t i = 0; i < n; ++i) {
        const auto& entry = map[i];
        const auto type = entry.fixedName(0, kTypeWidth, kTypeWidth);
        auto name = latin1ToUtf8(entry.fixedName(kNameOffset, kNameWidth, kNameWidth) + ListExtension(type));
        const auto size = nonNegativeSize(archive, i, name, entry.i32(kSizeField));
        position += kHeaderSize;
        records.push_back(recordRow(std::move(name), position, size));
        position += size;
    }
    return records;
}

void TDFLfdReader::WriteContainer(const fs::path& newPath, const fs::path& sourceFolder,
                                  const SourceFileList& files, ProgressSink* progress) {
    requireSizesFit32(files, newPath);
    requireArchiveFits32(kHeaderSize + kHeaderSize * files.size(), newPath);
    ContainerLayout layout;
    layout.head = mapHeader(files.size());
    layout.before.reserve(files.size());
    std::vector<std::string> stored; // type and name: what tells two resources apart
    stored.reserve(files.size());
    for (const auto& file : files) {
        std::vector<std::uint8_t> entry(kHeaderSize, 0);
        const auto type = TypeForName(file.name);
        std::copy(type.begin(), type.end(), entry.begin());
        auto name = storedName(file, newPath);
        name.resize(name.size() - extensionOf(name).size());
        if (name.size() > kNameWidth) name.resize(kNameWidth); // eight fill the field with no zero
        putName(&entry[kNameOffset], kNameWidth, name);
        putU32(&entry[kSizeField], static_cast<std::uint32_t>(file.size));
        layout.head.insert(layout.head.end(), entry.begin(), entry.end());
        const std::string typeText(type.begin(), std::find(type.begin(), type.end(), std::uint8_t{0}));
        stored.push_back(name + ListExtension(typeText));
        layout.before.push_back(std::move(entry));
    }
    requireDistinctStoredNames(files, stored, newPath);
    writeContainerFile(newPath, sourceFolder, files, layout, progress);
}

} // namespace vexa
