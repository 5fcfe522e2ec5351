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

// The type text of four stored bytes: up to the first zero.
std::string typeText(const std::array<std::uint8_t, 4>& type) {
    return std::string(type.begin(), std::find(type.begin(), type.end(), std::uint8_t{0}));
}

// A resource as stored: its type and its name without the extension that stands for the type.
struct StoredResource {
    std::array<std::uint8_t, 4> type;
    std::string name;
};

StoredResource storedResource(const WriterEntry& entry, const fs::path& newPath) {
    auto name = storedName(entry.name, newPath);
    // A kept type stays while the name still ends in its extension; else the extension decides.
    if (entry.stored.code) {
        const auto extension = TDFLfdReader::ListExtension(typeText(*entry.stored.code));
        if (name.size() >= extension.size() &&
            toUpperAscii(std::string_view(name).substr(name.size() - extension.size())) ==
                toUpperAscii(extension)) {
            name.resize(name.size() - extension.size());
            if (name.size() > TDFLfdReader::kNameWidth) name.resize(TDFLfdReader::kNameWidth);
            return {*entry.stored.code, std::move(name)};
        }
    }
    const auto type = TDFLfdReader::TypeForName(name);
    name.resize(name.size() - extensionOf(name).size());
    if (name.size() > TDFLfdReader::kNameWidth)
        name.resize(TDFLfdReader::kNameWidth); // eight fill the field with no zero
    return {type, std::move(name)};
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

std::vector<EntryRow> TDFLfdReader::ParseDirectory(const ByteSource& archive) {
    const auto header = archive.readBlock(0, kHeaderSize, "the LFD map header");
    const auto mapSize = ByteReader(header, displayPath(archive.path())).i32(kSizeField);
    const std::int64_t count = mapSize > 0 ? mapSize / static_cast<std::int32_t>(kHeaderSize) : 0;

    const auto n = static_cast<std::size_t>(count);
    RecordTable map(archive, count, kHeaderSize, kHeaderSize, "map");
    std::vector<StoredFields> fields;
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
        StoredFields stored;
        const auto typeBytes = entry.bytes(0, kTypeWidth);
        stored.code.emplace();
        std::copy(typeBytes.begin(), typeBytes.end(), stored.code->begin());
        records.push_back(recordRow(std::move(name), position, size));
        fields.push_back(stored);
        position += size;
    }
    SetStoredFields(std::move(fields));
    return records;
}

std::string TDFLfdReader::StoredKey(const WriterEntry& entry, const fs::path& newPath) const {
    // Type and name: what tells two resources apart.
    const auto resource = storedResource(entry, newPath);
    return resource.name + ListExtension(typeText(resource.type));
}

std::string TDFLfdReader::NameLimit() const {
    std::string extensions;
    for (const auto& row : kTypes)
        extensions += (extensions.empty() ? "" : ", ") + std::string(row.listExtension);
    return "names of at most " + std::to_string(kNameWidth) +
           " characters, with no extension or one that stands for a resource type (" + extensions + ")";
}

ContainerLayout TDFLfdReader::Layout(const std::vector<WriterEntry>& entries, const fs::path& newPath) const {
    requireSizesFit32(entries, newPath);
    requireArchiveFits32(kHeaderSize + kHeaderSize * entries.size(), newPath);
    ContainerLayout layout;
    layout.head = mapHeader(entries.size());
    layout.before.reserve(entries.size());
    for (const auto& entry : entries) {
        const auto resource = storedResource(entry, newPath);
        std::vector<std::uint8_t> header(kHeaderSize, 0);
        std::copy(resource.type.begin(), resource.type.end(), header.begin());
        putName(&header[kNameOffset], kNameWidth, resource.name);
        putU32(&header[kSizeField], static_cast<std::uint32_t>(entry.size));
        layout.head.insert(layout.head.end(), header.begin(), header.end());
        layout.before.push_back(std::move(header));
    }
    return layout;
}

const ContainerKind kDFLfdKind{
    .code = ContainerType::DFLfd,
    .name = "Dark Forces LFD",
    .signatures = {"RMAP"},
    .createReader = readerOf<TDFLfdReader>,
    .createWriter = writerOf<TDFLfdReader>,
    .newItems = {{9, "LFD            DarkForces", "New_DF.Lfd", "lfd", Gathering::Flat}},
    .namesIgnoreCase = true,
};

} // namespace vexa
