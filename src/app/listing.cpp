#include "app/listing.h"

#include "base/errors.h"

#include <algorithm>

namespace vexa {

std::string statusLine(const ContainerReader& object) {
    if (const auto* folder = object.ListedFolder()) {
        auto text = pathText(*folder);
        if (text.empty() || text.back() != '/') text += '/';
        return text;
    }
    return pathText(object.ArchivePath()) + "   Contains  " + std::to_string(object.EntryCount()) + " files";
}

std::optional<std::uint64_t> storedSize(const ContainerReader& object, std::size_t index) {
    if (const auto* folder = object.ListedFolder()) {
        std::error_code ec;
        const auto size = fs::file_size(*folder / object.EntryName(index), ec);
        if (ec) return std::nullopt;
        return size;
    }
    return object.EntrySize(index);
}

std::vector<std::uint8_t> readEntryHead(const ContainerReader& object, std::size_t index,
                                        std::size_t maxBytes) {
    const auto& row = object.Rows().at(index);
    if (!object.ListedFolder() && (!object.Archive() || !row.offset)) return {};
    const auto bytes = object.entrySource(index);
    return bytes->readBlock(0, std::min<std::uint64_t>(bytes->size(), maxBytes), "the entry");
}

} // namespace vexa
