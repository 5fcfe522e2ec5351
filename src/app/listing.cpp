#include "app/listing.h"

#include "app/image_folder.h"
#include "base/errors.h"

#include <algorithm>

namespace vexa {

std::string statusLine(const ContainerReader& object) {
    if (const auto* images = dynamic_cast<const ImageFolderListing*>(&object)) {
        auto text = pathText(images->Folder());
        if (text.empty() || text.back() != '/') text += '/';
        return text;
    }
    return pathText(object.ArchivePath()) + "   Contains  " + std::to_string(object.EntryCount()) + " files";
}

std::optional<std::uint64_t> storedSize(const ContainerReader& object, std::size_t index) {
    if (const auto* images = dynamic_cast<const ImageFolderListing*>(&object)) {
        std::error_code ec;
        const auto size = fs::file_size(images->FilePath(index), ec);
        if (ec) return std::nullopt;
        return size;
    }
    return object.EntrySize(index);
}

std::vector<std::uint8_t> readEntryHead(const ContainerReader& object, std::size_t index,
                                        std::size_t maxBytes) {
    if (const auto* images = dynamic_cast<const ImageFolderListing*>(&object)) {
        const InputFile file(images->FilePath(index));
        return file.readBlock(0, std::min<std::uint64_t>(file.size(), maxBytes), "the file");
    }
    const auto& row = object.Rows().at(index);
    if (!object.Archive() || !row.offset) return {};
    const auto entry = "entry " + std::to_string(index) + " '" + row.name + "'";
    if (const auto damage = object.EntryDamage(index); !damage.empty())
        throw FormatError(displayPath(object.ArchivePath()) + ": " + entry + ": " + damage);
    return object.Archive()->readBlock(*row.offset, std::min<std::uint64_t>(row.size.value_or(0), maxBytes),
                                       entry);
}

} // namespace vexa
