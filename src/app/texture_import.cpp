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

// A picture made into kind's texture as the options ask, with what they add once its colours are chosen.
TextureImages importedTexture(const TextureKindInfo& info, const std::string& name, const fs::path& picture,
                              const PaletteTable* gamePalette, const ImportOptions& options, bool withMips) {
    auto texture = textureFromPicture(info, name, picture, gamePalette, options.dither, withMips, 0,
                                      options.speed, options.fullbright);
    if (options.fog && !gamePalette && isWaterTexture(name))
        reserveFogEntries(texture.levels, texture.colours, *options.fog);
    return texture;
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

// A given name (name, or next) in its stored form, within the kind's field.
std::string givenName(const std::string& name, std::size_t longest, const char* what, const fs::path& outPath,
                      const TextureKindInfo& info) {
    auto stored = utf8ToLatin1(name);
    if (!stored)
        throw FileError(FileAction::Create, outPath,
                        "the " + std::string(what) + " '" + name + "' has characters that cannot be stored");
    if (longest == 0)
        throw FileError(FileAction::Create, outPath,
                        "a " + std::string(info.caption) + " stores no " + std::string(what));
    if (stored->size() > longest)
        throw FileError(FileAction::Create, outPath,
                        "the " + std::string(what) + " '" + name + "' is " + std::to_string(stored->size()) +
                            " bytes long; a " + std::string(info.caption) + " holds " +
                            std::to_string(longest) + " at most (" + std::to_string(longest + 1) +
                            " with the closing zero)");
    return *stored;
}

// The fields as given, checked and in stored form, before anything is read or written.
TextureFieldChoices checkedChoices(const TextureKindInfo& info, const fs::path& outPath,
                                   const TextureFieldChoices& given) {
    auto out = given;
    if (given.name) out.name = givenName(*given.name, info.nameLength, "name", outPath, info);
    if (given.next) out.next = givenName(*given.next, info.nextLength, "next frame's name", outPath, info);
    if ((given.flags || given.contents || given.value) && info.nextLength == 0)
        throw FileError(FileAction::Create, outPath,
                        "a " + std::string(info.caption) + " stores no flags, contents or value");
    return out;
}

bool givesAll(const TextureFieldChoices& given) {
    return given.name && given.next && given.flags && given.contents && given.value;
}

// The fields written: those given, the others those of the file of the kind already at outPath
// (read when it is written, under its lock), else the defaults. An old file that cannot be read as
// one of the kind is refused rather than replaced with defaults: its fields would be lost unseen.
TextureFields fieldsToWrite(const TextureKindInfo& info, const fs::path& outPath,
                            const TextureFieldChoices& given) {
    std::optional<TextureFields> old;
    std::error_code ec;
    if (info.fieldsOf && !givesAll(given) && fs::exists(outPath, ec)) {
        try {
            old = info.fieldsOf(InputFile(outPath));
        } catch (const Error& e) {
            throw FileError(FileAction::Create, outPath,
                            std::string("the file there cannot be read to keep its fields (") + e.what() +
                                "); remove it, or give every field");
        }
    }
    TextureFields fields = old.value_or(TextureFields{});
    if (!old && info.nameLength > 0) {
        fields.name = storedTextureName(outPath, defaultTextureName(outPath), outPath);
        requireNameFits(fields.name, info.nameLength, outPath);
    }
    if (given.name) fields.name = *given.name;
    if (given.next) fields.next = *given.next;
    if (given.flags) fields.flags = *given.flags;
    if (given.contents) fields.contents = *given.contents;
    if (given.value) fields.value = *given.value;
    return fields;
}

// As many pictures as the kind is made of.
void requirePictures(const TextureKindInfo& info, const fs::path& outPath,
                     const std::vector<fs::path>& pictures) {
    if (pictures.empty()) throw FileError(FileAction::Create, outPath, "no picture given");
    if (!info.manyPictures && pictures.size() != 1)
        throw FileError(FileAction::Create, outPath,
                        "a " + std::string(info.caption) + " is made of one picture, not " +
                            std::to_string(pictures.size()));
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

TextureWadImport::TextureWadImport(TextureKind kind, fs::path outPath, std::vector<fs::path> pictures,
                                   ImportOptions options)
    : kind_(kind), outPath_(std::move(outPath)), pictures_(std::move(pictures)),
      options_(std::move(options)) {
    const auto& info = textureKindInfo(kind_);
    if (!info.manyPictures) throw Error("not a kind that holds many textures");
    requirePictures(info, outPath_, pictures_);
    palette_ = gamePaletteFor(info, options_);
    for (const auto& picture : pictures_) {
        const auto size = readPictureSize(picture);
        requireFits(info, picture, size);
        lumps_.push_back({storedTextureName(picture, baseName(picture), outPath_), size});
    }
}

MipTextureContents TextureWadImport::texture(std::size_t i) const {
    auto texture = importedTexture(textureKindInfo(kind_), lumps_[i].name, pictures_[i],
                                   palette_ ? &palette_->table : nullptr, options_, true);
    if (texture.levels[0].width != lumps_[i].size.width || texture.levels[0].height != lumps_[i].size.height)
        throw FileError(FileAction::Create, outPath_,
                        displayPath(pictures_[i]) + " changed while it was read");
    return {std::move(texture.levels), std::move(texture.colours)};
}

void TextureWadImport::write(const TextureSource& textures, ProgressSink* progress) const {
    writeTextureWad(kind_, outPath_, lumps_, textures, pictures_, progress);
}

void importTextures(TextureKind kind, const fs::path& outPath, const std::vector<fs::path>& pictures,
                    const ImportOptions& options, ProgressSink* progress) {
    const auto& info = textureKindInfo(kind);
    if (info.manyPictures) {
        const TextureWadImport wad(kind, outPath, pictures, options);
        // Made after wad and gone before it: threads making its textures end first.
        const auto source = options.making ? options.making(wad)
                                           : TextureSource([&](std::size_t i) { return wad.texture(i); });
        wad.write(source, progress);
        return;
    }
    requirePictures(info, outPath, pictures);
    const auto palette = gamePaletteFor(info, options);
    requireFits(info, pictures[0], readPictureSize(pictures[0]));
    const auto given = checkedChoices(info, outPath, options.fields);
    // The rules of the single kinds do not depend on the name.
    auto texture = importedTexture(info, given.name.value_or(std::string()), pictures[0], &palette->table,
                                   options, info.mipLevels);
    writeMadeFile(
        outPath, {}, 1,
        [&](std::size_t) {
            const auto fields = fieldsToWrite(info, outPath, given);
            if (!info.fileHead) return ByteParts{info.fileBytes(fields, texture.levels, texture.transparent)};
            // The levels follow the head as they are: a huge texture is not held twice.
            ByteParts parts{info.fileHead(fields, texture.levels, texture.transparent)};
            for (auto& level : texture.levels)
                parts.push_back(std::move(level.indices));
            return parts;
        },
        {}, pictures, progress);
}

std::vector<std::uint8_t> textureLumpFromPicture(TextureKind kind, const fs::path& picturePath,
                                                 const std::string& name, const ImportOptions& options) {
    const auto& info = textureKindInfo(kind);
    if (!info.manyPictures) throw Error("not a kind that holds many textures");
    requireNameFits(name, wad::kMaxNameLength, picturePath);
    const auto palette = gamePaletteFor(info, options);
    const auto size = readPictureSize(picturePath);
    requireFits(info, picturePath, size);
    auto texture =
        importedTexture(info, name, picturePath, palette ? &palette->table : nullptr, options, true);
    return mipTextureLumpBytes(kind, {name, size}, {std::move(texture.levels), std::move(texture.colours)});
}

ImportPreview previewImport(TextureKind kind, const fs::path& picturePath, const ImportOptions& options) {
    const auto& info = textureKindInfo(kind);
    const auto palette = gamePaletteFor(info, options);
    requireFits(info, picturePath, readPictureSize(picturePath));
    const auto name = info.manyPictures ? baseName(picturePath) : std::string();
    auto texture =
        importedTexture(info, name, picturePath, palette ? &palette->table : nullptr, options, false);
    return {std::move(texture.levels[0]), palette ? palette->table : paletteTableOf(texture.colours)};
}

std::unique_ptr<ContainerWriter> createTextureWadWriter(TextureKind kind, ImportOptions options) {
    if (!textureKindInfo(kind).manyPictures) throw Error("not a kind that holds many textures");
    return std::make_unique<TextureWadWriter>(kind, std::move(options));
}

std::string defaultTextureName(const fs::path& outPath) {
    // Quake 2 names a texture by its path below "textures", with "/" between the levels.
    const auto absolute = fs::absolute(outPath).lexically_normal();
    std::vector<std::string> below;
    for (auto at = absolute.parent_path(); at.has_relative_path(); at = at.parent_path()) {
        if (equalsNoCase(pathText(at.filename()), "textures")) {
            std::string name;
            for (auto level = below.rbegin(); level != below.rend(); ++level)
                name += *level + "/";
            return name + baseName(outPath);
        }
        below.push_back(pathText(at.filename()));
    }
    return baseName(outPath);
}

bool isImportablePicture(std::string_view name) {
    const auto lower = toLowerAscii(name);
    return lower.ends_with(".png") || lower.ends_with(".bmp");
}

} // namespace vexa
