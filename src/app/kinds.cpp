#include "app/kinds.h"

#include "app/texture_import.h"
#include "base/errors.h"
#include "base/file_io.h"

#include <array>

namespace vexa {

ContainerType detectKind(const ByteSource& bytes, std::string_view name) {
    std::array<std::uint8_t, kDetectionBytes> head{};
    const auto got = bytes.readSome(0, head);
    const auto found = detectKind(std::span<const std::uint8_t>(head.data(), got), name);
    const auto* foundKind = findKind(found);
    if (!foundKind || !foundKind->signatures[0].size()) return found;
    // A kind sharing the signature the file was claimed by looks at the whole file.
    for (const auto* kind : containerKinds()) {
        if (!kind->claims || kind == foundKind || kind->signatures != foundKind->signatures) continue;
        try {
            if (kind->claims(bytes)) return kind->code;
        } catch (const Error&) {
        }
    }
    return found;
}

ContainerType detectKind(const fs::path& path) {
    return detectKind(*openFileBytes(path), pathText(path.filename()));
}

std::shared_ptr<const ContainerReader> readContainer(ContainerType kind,
                                                     std::shared_ptr<const ByteSource> source) {
    std::shared_ptr<ContainerReader> reader = CreateContainerObject(kind);
    if (!reader) throw Error("Sorry do not know that file type");
    reader->ReadDirectory(std::move(source));
    return reader;
}

OpenedContainer openContainer(std::shared_ptr<const ByteSource> source, std::string_view name) {
    // Detection reads the header too (some kinds claim a file by its directory): no save in place
    // points it elsewhere before the directory is read.
    const auto held = source; // outlives the hold, whatever becomes of the reader
    std::optional<InputFile::DirectoryHold> hold;
    if (const auto* file = held->file(); file == held.get()) hold.emplace(file->handle());
    const auto kind = detectKind(*source, name);
    return {findKind(kind), readContainer(kind, std::move(source))};
}

OpenedContainer openContainer(const fs::path& path) {
    return openContainer(openFileBytes(path), pathText(path.filename()));
}

void loadKindPalette(ContainerType code, const GamePalettePaths& paths, Palette& current) {
    const auto* kind = findKind(code);
    if (!kind || !kind->palette) return;
    current = Palette{};
    current = loadGamePalette(*kind->palette, paths);
}

SourceFileList gatherSources(const CreatableKind& kind, const fs::path& folder) {
    switch (kind.gathering) {
    case Gathering::Flat:
        return GatherFolderFiles(folder);
    case Gathering::Tree:
        return GatherFolderTree(folder);
    case Gathering::Pictures: {
        auto files = GatherFolderFiles(folder);
        std::erase_if(files, [](const SourceFile& file) { return !isImportablePicture(file.name); });
        return files;
    }
    case Gathering::None:
        break;
    }
    return {};
}

std::unique_ptr<ContainerWriter> createKindWriter(const CreatableKind& kind, ImportOptions textures) {
    if (kind.textures) return createTextureWadWriter(*kind.textures, std::move(textures));
    return kind.createWriter ? kind.createWriter() : nullptr;
}

} // namespace vexa
