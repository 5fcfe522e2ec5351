#include "app/texture_import.h"

#include "base/errors.h"
#include "base/text.h"
#include "formats/texture_wad.h"
#include "formats/writer.h"
#include "images/texture_layouts.h"

#include <algorithm>

namespace vexa {

namespace {

using namespace std::string_view_literals;

// Quake's last 32 entries are fullbright (drawn at full light in the dark) and its last one is
// the see-through colour of "{" textures; Quake 2 draws index 255 as see-through. Dark Forces and
// Jedi Knight leave index 0 undrawn in a texture marked transparent.
constexpr int kQuakeLastLit = 223;
constexpr std::uint8_t kQuakeSeeThrough = 255;
constexpr std::uint8_t kJediSeeThrough = 0;
constexpr std::size_t kWalNameLength = 31;
// What Dark Forces' BM reader takes as a plain picture: taller ones and 1-pixel-wide ones are not.
constexpr std::uint32_t kBmMaxHeight = 256;

const std::array<TextureKindInfo, 5> kTextureKinds = {{
    {TextureKind::Wal, "wal"sv, "Quake 2 WAL texture"sv, ".wal"sv, false, true, Game::Quake2Wal},
    {TextureKind::Wad2, "wad2"sv, "Quake WAD2 textures"sv, ".wad"sv, true, true, Game::Quake1Bsp},
    {TextureKind::Wad3, "wad3"sv, "Half-Life WAD3 textures"sv, ".wad"sv, true, true, std::nullopt},
    {TextureKind::DfBm, "df-bm"sv, "Dark Forces BM texture"sv, ".bm"sv, false, false, Game::DarkForcesBm},
    {TextureKind::JkMat, "jk-mat"sv, "Jedi Knight MAT texture"sv, ".mat"sv, false, true, Game::JediKnightMat},
}};

bool hasSeeThroughPixels(const ColourPicture& picture) {
    for (std::size_t p = 0; p < picture.rgba.size() / 4; ++p)
        if (isSeeThrough(picture, p)) return true;
    return false;
}

// Quake's and Half-Life's engines draw the last entry of a texture whose name starts with "{" as
// see-through.
bool namedSeeThrough(const std::string& name) {
    return !name.empty() && name.front() == '{';
}

// A picture whose file stores indices, with the pixels on the see-through entry made see-through, so
// that the smaller levels, averaged from it, keep them so.
ColourPicture withSeeThroughEntry(const ColourPicture& picture, std::uint8_t entry) {
    auto out = picture;
    const auto& indices = picture.stored->image.indices;
    for (std::size_t p = 0; p < indices.size() && p * 4 + 3 < out.rgba.size(); ++p)
        if (indices[p] == entry) out.rgba[p * 4 + 3] = 0;
    return out;
}

// Which entries the picture named name may take in kind's game palette, and whether the texture
// is marked see-through.
struct KindRules {
    PaletteRules rules;
    bool transparent = false;
};
KindRules rulesFor(TextureKind kind, const std::string& name, const ColourPicture& picture) {
    switch (kind) {
    case TextureKind::Wal:
        return {{0, kQuakeSeeThrough - 1, kQuakeSeeThrough}, false};
    case TextureKind::Wad2:
        if (namedSeeThrough(name)) return {{0, kQuakeLastLit, kQuakeSeeThrough}, true};
        return {{0, kQuakeLastLit, std::nullopt}, false};
    case TextureKind::DfBm:
    case TextureKind::JkMat:
        if (hasSeeThroughPixels(picture)) return {{kJediSeeThrough + 1, 255, kJediSeeThrough}, true};
        return {{0, 255, std::nullopt}, false};
    case TextureKind::Wad3:
        break;
    }
    return {};
}

PaletteTable tableOf(const std::vector<std::array<std::uint8_t, 3>>& colours) {
    PaletteTable table{};
    for (std::size_t i = 0; i < colours.size() && i < kPaletteEntries; ++i) {
        table[4 * i] = colours[i][2];
        table[4 * i + 1] = colours[i][1];
        table[4 * i + 2] = colours[i][0];
    }
    return table;
}

// A picture as kind's texture: its levels (only level 0 for a kind without mip levels), the own
// palette for WAD3, and whether it is marked see-through.
struct TextureImages {
    MipImages levels;
    std::vector<std::array<std::uint8_t, 3>> colours;
    bool transparent = false;
};

TextureImages makeTexture(TextureKind kind, const std::string& name, const ColourPicture& picture,
                          const PaletteTable* gamePalette, bool dither, bool withMips) {
    TextureImages out;
    PaletteTable palette{};
    PaletteRules rules;
    std::optional<ColourPicture> marked; // the picture the smaller levels come from, when not picture
    if (gamePalette) {
        const auto kindRules = rulesFor(kind, name, picture);
        rules = kindRules.rules;
        out.transparent = kindRules.transparent;
        palette = *gamePalette;
        out.levels[0] = mapToPalette(picture, palette, rules, dither);
    } else {
        const bool seeThrough = namedSeeThrough(name);
        auto own = reduceToOwnPalette(picture, dither, seeThrough);
        out.levels[0] = std::move(own.image);
        out.colours = std::move(own.colours);
        palette = tableOf(out.colours);
        const auto colours = static_cast<int>(out.colours.size());
        rules = {0, colours - 1, std::nullopt};
        if (seeThrough) rules = {0, std::min<int>(colours, kOwnSeeThroughEntry) - 1, kOwnSeeThroughEntry};
        if (seeThrough && picture.stored) marked = withSeeThroughEntry(picture, kOwnSeeThroughEntry);
    }
    if (!withMips) return out;
    const auto smaller = smallerMipLevels(marked ? *marked : picture);
    for (std::size_t level = 1; level < out.levels.size(); ++level)
        out.levels[level] = mapToPalette(smaller[level - 1], palette, rules, dither);
    return out;
}

// The 8-bit form of a name made from a file name; refused (naming the file) when it has none.
std::string storedTextureName(const fs::path& from, const std::string& name, const fs::path& newPath) {
    auto stored = utf8ToLatin1(name);
    if (!stored)
        throw Error("Cannot create file " + displayPath(newPath) + ": the name '" + name + "' of " +
                    displayPath(from) + " has characters that cannot be stored");
    return *stored;
}

std::string baseName(const fs::path& path) {
    return pathText(path.stem());
}

// The checks that need only a picture's size, made for every picture before anything is written.
void requireFits(const TextureKindInfo& info, const fs::path& picture, PictureSize size) {
    if (info.mipLevels) requireMipSides(picture, size);
    if (info.kind == TextureKind::DfBm && (size.width < 2 || size.height > kBmMaxHeight))
        throw FormatError(displayPath(picture) + ": " + std::to_string(size.width) + " x " +
                          std::to_string(size.height) +
                          " pixels; a Dark Forces BM is 2 pixels wide or more and " +
                          std::to_string(kBmMaxHeight) + " high at most");
}

std::optional<Palette> gamePaletteFor(const TextureKindInfo& info, const ImportOptions& options) {
    if (!info.game) return std::nullopt;
    return loadGamePalette(*info.game, options.palettes);
}

std::vector<std::uint8_t> singleTextureBytes(const TextureKindInfo& info, const fs::path& outPath,
                                             const fs::path& picturePath, const ColourPicture& picture,
                                             const Palette& palette, bool dither) {
    switch (info.kind) {
    case TextureKind::Wal: {
        const auto name = storedTextureName(outPath, baseName(outPath), outPath);
        requireNameFits(name, kWalNameLength, outPath);
        return walFileBytes(name, makeTexture(info.kind, name, picture, &palette.table, dither, true).levels);
    }
    case TextureKind::DfBm: {
        const auto texture = makeTexture(info.kind, {}, picture, &palette.table, dither, false);
        return dfBmFileBytes(texture.levels[0], texture.transparent);
    }
    case TextureKind::JkMat: {
        const auto texture = makeTexture(info.kind, {}, picture, &palette.table, dither, true);
        return jkMatFileBytes(texture.levels, texture.transparent);
    }
    case TextureKind::Wad2:
    case TextureKind::Wad3:
        break;
    }
    throw Error(displayPath(picturePath) + ": not a single-picture kind");
}

class TextureWadWriter : public ContainerWriter {
  public:
    TextureWadWriter(TextureKind kind, ImportOptions options) : kind_(kind), options_(std::move(options)) {}
    void WriteContainer(const fs::path& newPath, const fs::path& sourceFolder, const SourceFileList& files,
                        ProgressSink* progress) const override {
        std::vector<fs::path> pictures;
        for (const auto& file : files)
            if (isImportablePicture(file.name)) pictures.push_back(sourcePath(sourceFolder, file));
        if (pictures.empty())
            throw Error("Cannot create file " + displayPath(newPath) + ": " + displayPath(sourceFolder) +
                        " holds no PNG or BMP picture");
        importTextures(kind_, newPath, pictures, options_, progress);
    }

  private:
    TextureKind kind_;
    ImportOptions options_;
};

} // namespace

const std::array<TextureKindInfo, 5>& textureKinds() {
    return kTextureKinds;
}

const TextureKindInfo& textureKindInfo(TextureKind kind) {
    return kTextureKinds.at(static_cast<std::size_t>(kind));
}

const TextureKindInfo* findTextureKind(std::string_view cliName) {
    for (const auto& k : kTextureKinds)
        if (k.cliName == cliName) return &k;
    return nullptr;
}

void importTextures(TextureKind kind, const fs::path& outPath, const std::vector<fs::path>& pictures,
                    const ImportOptions& options, ProgressSink* progress) {
    const auto& info = textureKindInfo(kind);
    if (pictures.empty()) throw Error("Cannot create file " + displayPath(outPath) + ": no picture given");
    if (!info.manyPictures && pictures.size() != 1)
        throw Error("Cannot create file " + displayPath(outPath) + ": a " + std::string(info.caption) +
                    " is made of one picture, not " + std::to_string(pictures.size()));
    const auto palette = gamePaletteFor(info, options);

    std::vector<MipTextureLump> lumps;
    for (const auto& picture : pictures) {
        const auto size = readPictureSize(picture);
        requireFits(info, picture, size);
        if (info.manyPictures)
            lumps.push_back({storedTextureName(picture, baseName(picture), outPath), size});
    }

    if (!info.manyPictures) {
        const auto picture = readColourPicture(pictures[0]);
        requireFits(info, pictures[0], {picture.width, picture.height});
        const auto bytes = singleTextureBytes(info, outPath, pictures[0], picture, *palette, options.dither);
        writeMadeFile(outPath, bytes, 0, {}, {}, pictures, progress);
        return;
    }

    const auto wadKind = kind == TextureKind::Wad2 ? TextureWadKind::Wad2 : TextureWadKind::Wad3;
    writeTextureWad(
        wadKind, outPath, lumps,
        [&](std::size_t i) {
            const auto picture = readColourPicture(pictures[i]);
            if (picture.width != lumps[i].size.width || picture.height != lumps[i].size.height)
                throw Error("Cannot create file " + displayPath(outPath) + ": " + displayPath(pictures[i]) +
                            " changed while it was read");
            auto texture = makeTexture(kind, lumps[i].name, picture, palette ? &palette->table : nullptr,
                                       options.dither, true);
            return MipTextureContents{std::move(texture.levels), std::move(texture.colours)};
        },
        pictures, progress);
}

ImportPreview previewImport(TextureKind kind, const fs::path& picturePath, const ImportOptions& options) {
    const auto& info = textureKindInfo(kind);
    const auto palette = gamePaletteFor(info, options);
    const auto picture = readColourPicture(picturePath);
    requireFits(info, picturePath, {picture.width, picture.height});
    const auto name = kind == TextureKind::Wad2 ? baseName(picturePath) : std::string();
    auto texture =
        makeTexture(kind, name, picture, palette ? &palette->table : nullptr, options.dither, false);
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
