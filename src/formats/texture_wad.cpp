#include "formats/texture_wad.h"

#include "base/byte_reader.h"
#include "base/errors.h"
#include "base/text.h"
#include "formats/Wad_common.h"
#include "formats/writer.h"
#include "images/palette.h"

#include <algorithm>
#include <unordered_map>

namespace vexa {

namespace {

constexpr std::size_t kColourCountSize = 2;
constexpr std::size_t kStoredColours = 256;
constexpr std::size_t kPaletteBytes = 3 * kStoredColours;
constexpr std::size_t kLumpAlignment = 4;
constexpr std::size_t kCompressionField = 13;

std::uint64_t paletteTail(TextureKind kind) {
    if (kind == TextureKind::Wad2) return 0;
    const auto bytes = kColourCountSize + kPaletteBytes;
    return (bytes + kLumpAlignment - 1) / kLumpAlignment * kLumpAlignment;
}

std::uint8_t lumpType(TextureKind kind) {
    return kind == TextureKind::Wad2 ? wad::kQuakeMipTexture : wad::kMipTexture;
}

std::string lowerAscii(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return text;
}

// What a lump holds of a picture: its levels (one for a plain picture) and its own colours, if any.
struct LumpPicture {
    std::string name; // a mip texture's own name field (stored form)
    MipImages levels;
    int levelCount = 1;
    std::optional<std::vector<std::array<std::uint8_t, 3>>> colours;
};

FormatError lumpDamage(const std::string& entry, const std::string& why) {
    return FormatError(entry + ": " + why);
}

IndexedImage levelAt(std::span<const std::uint8_t> bytes, std::uint64_t offset, std::uint32_t width,
                     std::uint32_t height, const std::string& entry, int level) {
    const auto size = std::uint64_t{width} * height;
    if (offset > bytes.size() || size > bytes.size() - offset)
        throw lumpDamage(entry, "level " + std::to_string(level) + " at offset " + std::to_string(offset) +
                                    " (" + std::to_string(size) + " bytes) runs past the lump's " +
                                    std::to_string(bytes.size()) + " bytes");
    IndexedImage image{width, height, {}};
    const auto from = bytes.begin() + static_cast<std::ptrdiff_t>(offset);
    image.indices.assign(from, from + static_cast<std::ptrdiff_t>(size));
    return image;
}

// The own colours that follow a WAD3 picture at offset: a 16-bit count and as many RGB triples.
std::vector<std::array<std::uint8_t, 3>> ownColoursAt(std::span<const std::uint8_t> bytes,
                                                      std::uint64_t offset, const std::string& entry) {
    if (offset > bytes.size() || bytes.size() - offset < kColourCountSize)
        throw lumpDamage(entry, "the colour count at offset " + std::to_string(offset) + " is past its end");
    const auto count = ByteReader(bytes, entry).u16(offset);
    if (count > kStoredColours || 3u * count > bytes.size() - offset - kColourCountSize)
        throw lumpDamage(entry, "its " + std::to_string(count) + " colours do not fit it");
    std::vector<std::array<std::uint8_t, 3>> colours(count);
    for (std::size_t i = 0; i < count; ++i)
        for (std::size_t c = 0; c < 3; ++c)
            colours[i][c] = bytes[offset + kColourCountSize + 3 * i + c];
    return colours;
}

std::optional<LumpPicture> readLumpPicture(std::uint8_t type, std::span<const std::uint8_t> bytes,
                                           const std::string& entry) {
    const ByteReader fields(bytes, entry);
    LumpPicture out;
    const bool mip = type == wad::kMipTexture || type == wad::kQuakeMipTexture;
    if (!mip && type != wad::kPlainPicture) return std::nullopt;
    const std::size_t header = mip ? wad::kMipHeaderSize : wad::kPictureHeaderSize;
    if (bytes.size() < header) {
        if (type == wad::kQuakeMipTexture) return std::nullopt; // not a texture: kept as it is
        throw lumpDamage(entry, "its " + std::to_string(bytes.size()) + " bytes hold no picture header");
    }
    const auto sizeAt = mip ? wad::kMipWidthField : 0;
    const std::int64_t width = fields.i32(sizeAt), height = fields.i32(sizeAt + 4);
    const bool fits = width > 0 && height > 0 && width <= kMaxImageSide && height <= kMaxImageSide;
    if (!fits) {
        if (type == wad::kQuakeMipTexture) return std::nullopt; // Quake's raw console font
        throw lumpDamage(entry, "its size " + std::to_string(width) + " x " + std::to_string(height) +
                                    " is not a picture's");
    }
    const auto w = static_cast<std::uint32_t>(width), h = static_cast<std::uint32_t>(height);
    std::uint64_t end = header + std::uint64_t{w} * h;
    if (mip) {
        out.name.assign(fields.fixedNameView(0, wad::kMipNameWidth, wad::kMaxNameLength));
        out.levelCount = kMipLevels;
        for (int level = 0; level < kMipLevels; ++level)
            out.levels[level] = levelAt(bytes, fields.u32(wad::kMipLevel0Field + 4 * level), w >> level,
                                        h >> level, entry, level);
        end = fields.u32(wad::kMipLevel0Field + 12) + std::uint64_t{w >> 3} * (h >> 3);
    } else {
        out.levels[0] = levelAt(bytes, header, w, h, entry, 0);
    }
    if (type != wad::kQuakeMipTexture && (type == wad::kMipTexture || bytes.size() > end))
        out.colours = ownColoursAt(bytes, end, entry);
    return out;
}

std::vector<std::array<std::uint8_t, 3>> coloursOf(const PaletteTable& table) {
    std::vector<std::array<std::uint8_t, 3>> colours(kPaletteEntries);
    for (std::size_t i = 0; i < colours.size(); ++i)
        colours[i] = paletteColour(table, i);
    return colours;
}

// A level painted with its own colours, mapped onto Quake's palette; a "{" texture's last entry stays
// its see-through one.
IndexedImage ontoQuake(const IndexedImage& level, const std::vector<std::array<std::uint8_t, 3>>& own,
                       const PaletteTable& quake, bool seeThrough) {
    constexpr int kLastLit = 223;
    constexpr std::uint8_t kSeeThrough = 255;
    ColourPicture picture{level.width, level.height, std::vector<std::uint8_t>(level.indices.size() * 4), {}};
    for (std::size_t p = 0; p < level.indices.size(); ++p) {
        const auto index = level.indices[p];
        const auto colour = index < own.size() ? own[index] : std::array<std::uint8_t, 3>{0, 0, 0};
        std::copy(colour.begin(), colour.end(), &picture.rgba[4 * p]);
        picture.rgba[4 * p + 3] = seeThrough && index == kSeeThrough ? 0 : 255;
    }
    picture.stored = StoredIndices{level, own};
    const PaletteRules rules{0, kLastLit,
                             seeThrough ? std::optional<std::uint8_t>(kSeeThrough) : std::nullopt};
    return mapToPalette(picture, quake, rules, false);
}

void putPlainColours(std::vector<std::uint8_t>& out,
                     const std::vector<std::array<std::uint8_t, 3>>& colours) {
    const auto at = out.size();
    out.resize(at + paletteTail(TextureKind::Wad3), 0);
    putU16(&out[at], static_cast<std::uint16_t>(kStoredColours));
    for (std::size_t i = 0; i < colours.size() && i < kStoredColours; ++i)
        std::copy(colours[i].begin(), colours[i].end(), &out[at + kColourCountSize + 3 * i]);
}

} // namespace

std::optional<ConvertedLump> convertTextureLump(TextureKind to, std::uint8_t type,
                                                std::span<const std::uint8_t> bytes,
                                                const PaletteTable& quake, const std::string& entry) {
    auto picture = readLumpPicture(type, bytes, entry);
    if (!picture) return std::nullopt;
    const bool mip = picture->levelCount == kMipLevels;
    if (to == TextureKind::Wad2) {
        if (!picture->colours) return std::nullopt; // already Quake's
        const bool seeThrough = !picture->name.empty() && picture->name.front() == '{';
        for (int level = 0; level < picture->levelCount; ++level)
            picture->levels[level] = ontoQuake(picture->levels[level], *picture->colours, quake, seeThrough);
    } else {
        if (picture->colours) return std::nullopt; // already carries its own
        picture->colours = coloursOf(quake);
    }
    ConvertedLump out;
    const auto& level0 = picture->levels[0];
    if (mip) {
        out.type = lumpType(to);
        out.bytes = mipTextureLumpBytes(to, {picture->name, {level0.width, level0.height}},
                                        {picture->levels, *picture->colours});
        return out;
    }
    out.type = wad::kPlainPicture;
    out.bytes.resize(wad::kPictureHeaderSize);
    putU32(&out.bytes[0], level0.width);
    putU32(&out.bytes[4], level0.height);
    out.bytes.insert(out.bytes.end(), level0.indices.begin(), level0.indices.end());
    if (to == TextureKind::Wad3) putPlainColours(out.bytes, *picture->colours);
    return out;
}

std::uint64_t mipTextureLumpSize(TextureKind kind, PictureSize size) {
    return wad::kMipHeaderSize + wad::mipLevelsSize(size.width, size.height) + paletteTail(kind);
}

std::vector<std::vector<std::uint8_t>> mipTextureLumpParts(TextureKind kind, const MipTextureLump& lump,
                                                           MipTextureContents&& contents) {
    std::vector<std::vector<std::uint8_t>> parts;
    auto& head = parts.emplace_back(wad::kMipHeaderSize);
    putName(head.data(), wad::kMipNameWidth, lump.name);
    putU32(&head[wad::kMipWidthField], lump.size.width);
    putU32(&head[wad::kMipHeightField], lump.size.height);
    std::uint64_t at = wad::kMipHeaderSize;
    for (std::size_t level = 0; level < contents.levels.size(); ++level) {
        auto& image = contents.levels[level];
        if (image.width != lump.size.width >> level || image.height != lump.size.height >> level ||
            image.indices.size() != std::size_t{image.width} * image.height)
            throw Error("texture '" + latin1ToUtf8(lump.name) + "': mip level " + std::to_string(level) +
                        " is " + std::to_string(image.width) + " x " + std::to_string(image.height) +
                        ", not " + std::to_string(lump.size.width >> level) + " x " +
                        std::to_string(lump.size.height >> level));
        putU32(&parts[0][wad::kMipLevel0Field + 4 * level], static_cast<std::uint32_t>(at));
        at += image.indices.size();
        parts.push_back(std::move(image.indices));
    }
    if (kind == TextureKind::Wad3) {
        if (contents.colours.size() > kStoredColours)
            throw Error("texture '" + latin1ToUtf8(lump.name) + "': " +
                        std::to_string(contents.colours.size()) + " colours, more than a palette holds");
        auto& tail =
            parts.emplace_back(static_cast<std::size_t>(mipTextureLumpSize(kind, lump.size) - at), 0);
        putU16(&tail[0], static_cast<std::uint16_t>(kStoredColours));
        for (std::size_t i = 0; i < contents.colours.size(); ++i)
            std::copy(contents.colours[i].begin(), contents.colours[i].end(),
                      &tail[kColourCountSize + 3 * i]);
    }
    return parts;
}

std::vector<std::uint8_t> mipTextureLumpBytes(TextureKind kind, const MipTextureLump& lump,
                                              const MipTextureContents& contents) {
    auto copy = contents;
    std::vector<std::uint8_t> out;
    out.reserve(static_cast<std::size_t>(mipTextureLumpSize(kind, lump.size)));
    for (const auto& part : mipTextureLumpParts(kind, lump, std::move(copy)))
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

void requireTextureNames(const std::vector<MipTextureLump>& lumps, const fs::path& newPath) {
    std::unordered_map<std::string, std::size_t> first;
    for (std::size_t i = 0; i < lumps.size(); ++i) {
        const auto& name = lumps[i].name;
        if (name.empty())
            throw FileError(FileAction::Create, newPath,
                            "texture " + std::to_string(i + 1) + " has an empty name");
        requireNameFits(name, wad::kMaxNameLength, newPath);
        const auto [at, added] = first.emplace(lowerAscii(name), i);
        if (!added)
            throw FileError(FileAction::Create, newPath,
                            "the textures '" + latin1ToUtf8(lumps[at->second].name) + "' and '" +
                                latin1ToUtf8(name) +
                                "' have the same name (the games look names up without regard to case)");
    }
}

void writeTextureWad(TextureKind kind, const fs::path& newPath, const std::vector<MipTextureLump>& lumps,
                     const std::function<MipTextureContents(std::size_t)>& make,
                     const std::vector<fs::path>& sources, ProgressSink* progress) {
    requireTextureNames(lumps, newPath);
    // Lumps follow the header; the directory follows the last lump.
    std::vector<std::uint8_t> directory(lumps.size() * wad::kRecordSize);
    std::uint64_t at = wad::kHeaderSize;
    for (std::size_t i = 0; i < lumps.size(); ++i) {
        const auto size = mipTextureLumpSize(kind, lumps[i].size);
        auto* record = &directory[i * wad::kRecordSize];
        requireArchiveFits32(at + size, newPath);
        putU32(record + wad::kRecordOffsetField, static_cast<std::uint32_t>(at));
        putU32(record + wad::kRecordSizeField, static_cast<std::uint32_t>(size));
        putU32(record + wad::kRecordSizeField + 4, static_cast<std::uint32_t>(size));
        record[wad::kRecordTypeField] = lumpType(kind);
        record[kCompressionField] = 0;
        putName(record + wad::kNameOffset, wad::kNameWidth, lumps[i].name);
        at += size;
    }
    requireArchiveFits32(at + directory.size(), newPath);
    std::vector<std::uint8_t> header(wad::kHeaderSize);
    const char* magic = kind == TextureKind::Wad2 ? "WAD2" : "WAD3";
    std::copy(magic, magic + 4, header.begin());
    putU32(&header[wad::kCountOffset], static_cast<std::uint32_t>(lumps.size()));
    putU32(&header[wad::kDirectoryOffsetField], static_cast<std::uint32_t>(at));

    writeMadeFile(
        newPath, header, lumps.size(),
        [&](std::size_t i) {
            auto parts = mipTextureLumpParts(kind, lumps[i], make(i));
            std::uint64_t size = 0;
            for (const auto& part : parts)
                size += part.size();
            if (size != mipTextureLumpSize(kind, lumps[i].size))
                throw FileError(FileAction::Create, newPath,
                                "texture '" + latin1ToUtf8(lumps[i].name) +
                                    "' changed size while it was written");
            return parts;
        },
        directory, sources, progress);
}

} // namespace vexa
