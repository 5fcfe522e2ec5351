#include "app/texture_import.h"

#include "app/texture_bands.h"
#include "base/errors.h"
#include "base/text.h"
#include "formats/Wad_common.h"
#include "formats/texture_wad.h"
#include "formats/writer.h"

#include <algorithm>

namespace vexa {

namespace {

PaletteTable tableOf(const std::vector<std::array<std::uint8_t, 3>>& colours) {
    PaletteTable table{};
    for (std::size_t i = 0; i < colours.size() && i < kPaletteEntries; ++i) {
        table[4 * i] = colours[i][2];
        table[4 * i + 1] = colours[i][1];
        table[4 * i + 2] = colours[i][0];
    }
    return table;
}

// The 8-bit form of a name made from a file name; refused (naming the file) when it has none.
std::string storedTextureName(const fs::path& from, const std::string& name, const fs::path& newPath) {
    auto stored = utf8ToLatin1(name);
    if (!stored)
        throw FileError(FileAction::Create, newPath,
                        "the name '" + name + "' of " + displayPath(from) +
                            " has characters that cannot be stored");
    return *stored;
}

std::string baseName(const fs::path& path) {
    return pathText(path.stem());
}

// The checks that need only a picture's size, made for every picture before anything is written.
void requireFits(const TextureKindInfo& info, const fs::path& picture, PictureSize size) {
    if (info.mipLevels) requireMipSides(picture, size);
    if (info.requireSize) info.requireSize(picture, size);
}

std::optional<Palette> gamePaletteFor(const TextureKindInfo& info, const ImportOptions& options) {
    if (!info.game) return std::nullopt;
    return loadGamePalette(*info.game, options.palettes);
}

// A single texture's file, named as the kind names it (after outPath, where it stores a name).
std::vector<std::uint8_t> singleTextureBytes(const TextureKindInfo& info, const fs::path& outPath,
                                             const fs::path& picture, const Palette& palette, bool dither) {
    std::string name;
    if (info.nameLength > 0) {
        name = storedTextureName(outPath, baseName(outPath), outPath);
        requireNameFits(name, info.nameLength, outPath);
    }
    const auto texture = textureFromPicture(info, name, picture, &palette.table, dither, info.mipLevels);
    return info.fileBytes(name, texture.levels, texture.transparent);
}

class TextureWadWriter : public ContainerWriter {
  public:
    TextureWadWriter(TextureKind kind, ImportOptions options) : kind_(kind), options_(std::move(options)) {}
    std::vector<CutName> WriteContainer(const fs::path& newPath, const fs::path& sourceFolder,
                                        const SourceFileList& files, ProgressSink* progress) const override {
        std::vector<fs::path> pictures;
        for (const auto& file : files)
            if (isImportablePicture(file.name)) pictures.push_back(sourcePath(sourceFolder, file));
        if (pictures.empty())
            throw FileError(FileAction::Create, newPath,
                            displayPath(sourceFolder) + " holds no PNG or BMP picture");
        importTextures(kind_, newPath, pictures, options_, progress);
        return {};
    }

  private:
    TextureKind kind_;
    ImportOptions options_;
};

} // namespace

void importTextures(TextureKind kind, const fs::path& outPath, const std::vector<fs::path>& pictures,
                    const ImportOptions& options, ProgressSink* progress) {
    const auto& info = textureKindInfo(kind);
    if (pictures.empty()) throw FileError(FileAction::Create, outPath, "no picture given");
    if (!info.manyPictures && pictures.size() != 1)
        throw FileError(FileAction::Create, outPath,
                        "a " + std::string(info.caption) + " is made of one picture, not " +
                            std::to_string(pictures.size()));
    const auto palette = gamePaletteFor(info, options);

    std::vector<MipTextureLump> lumps;
    for (const auto& picture : pictures) {
        const auto size = readPictureSize(picture);
        requireFits(info, picture, size);
        if (info.manyPictures)
            lumps.push_back({storedTextureName(picture, baseName(picture), outPath), size});
    }

    if (!info.manyPictures) {
        const auto bytes = singleTextureBytes(info, outPath, pictures[0], *palette, options.dither);
        writeMadeFile(outPath, bytes, 0, {}, {}, pictures, progress);
        return;
    }

    writeTextureWad(
        kind, outPath, lumps,
        [&](std::size_t i) {
            auto texture =
                textureFromPicture(info, lumps[i].name, pictures[i], palette ? &palette->table : nullptr,
                                   options.dither, true, 0, options.speed);
            if (texture.levels[0].width != lumps[i].size.width ||
                texture.levels[0].height != lumps[i].size.height)
                throw FileError(FileAction::Create, outPath,
                                displayPath(pictures[i]) + " changed while it was read");
            return MipTextureContents{std::move(texture.levels), std::move(texture.colours)};
        },
        pictures, progress);
}

std::vector<std::uint8_t> textureLumpFromPicture(TextureKind kind, const fs::path& picturePath,
                                                 const std::string& name, const ImportOptions& options) {
    const auto& info = textureKindInfo(kind);
    if (!info.manyPictures) throw Error("not a kind that holds many textures");
    requireNameFits(name, wad::kMaxNameLength, picturePath);
    const auto palette = gamePaletteFor(info, options);
    const auto size = readPictureSize(picturePath);
    requireFits(info, picturePath, size);
    auto texture = textureFromPicture(info, name, picturePath, palette ? &palette->table : nullptr,
                                      options.dither, true, 0, options.speed);
    return mipTextureLumpBytes(kind, {name, size}, {std::move(texture.levels), std::move(texture.colours)});
}

ImportPreview previewImport(TextureKind kind, const fs::path& picturePath, const ImportOptions& options) {
    const auto& info = textureKindInfo(kind);
    const auto palette = gamePaletteFor(info, options);
    requireFits(info, picturePath, readPictureSize(picturePath));
    const auto name = info.manyPictures ? baseName(picturePath) : std::string();
    auto texture = textureFromPicture(info, name, picturePath, palette ? &palette->table : nullptr,
                                      options.dither, false, 0, options.speed);
    return {std::move(texture.levels[0]), palette ? palette->table : tableOf(texture.colours)};
}

std::unique_ptr<ContainerWriter> createTextureWadWriter(TextureKind kind, ImportOptions options) {
    if (!textureKindInfo(kind).manyPictures) throw Error("not a kind that holds many textures");
    return std::make_unique<TextureWadWriter>(kind, std::move(options));
}

bool isImportablePicture(std::string_view name) {
    const auto lower = toLowerAscii(name);
    return lower.ends_with(".png") || lower.ends_with(".bmp");
}

} // namespace vexa
