#include "formats/texture_wad.h"

#include "base/byte_reader.h"
#include "base/errors.h"
#include "base/text.h"
#include "formats/Wad_common.h"
#include "formats/writer.h"

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

} // namespace

std::uint64_t mipTextureLumpSize(TextureKind kind, PictureSize size) {
    return wad::kMipHeaderSize + wad::mipLevelsSize(size.width, size.height) + paletteTail(kind);
}

std::vector<std::uint8_t> mipTextureLumpBytes(TextureKind kind, const MipTextureLump& lump,
                                              const MipTextureContents& contents) {
    const auto total = mipTextureLumpSize(kind, lump.size);
    std::vector<std::uint8_t> out(wad::kMipHeaderSize);
    out.reserve(total);
    putName(out.data(), wad::kMipNameWidth, lump.name);
    putU32(&out[wad::kMipWidthField], lump.size.width);
    putU32(&out[wad::kMipHeightField], lump.size.height);
    for (std::size_t level = 0; level < contents.levels.size(); ++level) {
        const auto& image = contents.levels[level];
        if (image.width != lump.size.width >> level || image.height != lump.size.height >> level ||
            image.indices.size() != std::size_t{image.width} * image.height)
            throw Error("texture '" + latin1ToUtf8(lump.name) + "': mip level " + std::to_string(level) +
                        " is " + std::to_string(image.width) + " x " + std::to_string(image.height) +
                        ", not " + std::to_string(lump.size.width >> level) + " x " +
                        std::to_string(lump.size.height >> level));
        putU32(&out[wad::kMipLevel0Field + 4 * level], static_cast<std::uint32_t>(out.size()));
        out.insert(out.end(), image.indices.begin(), image.indices.end());
    }
    if (kind == TextureKind::Wad3) {
        if (contents.colours.size() > kStoredColours)
            throw Error("texture '" + latin1ToUtf8(lump.name) + "': " +
                        std::to_string(contents.colours.size()) + " colours, more than a palette holds");
        const auto at = out.size();
        out.resize(total, 0);
        putU16(&out[at], static_cast<std::uint16_t>(kStoredColours));
        for (std::size_t i = 0; i < contents.colours.size(); ++i)
            std::copy(contents.colours[i].begin(), contents.colours[i].end(),
                      &out[at + kColourCountSize + 3 * i]);
    }
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
            auto bytes = mipTextureLumpBytes(kind, lumps[i], make(i));
            if (bytes.size() != mipTextureLumpSize(kind, lumps[i].size))
                throw FileError(FileAction::Create, newPath,
                                "texture '" + latin1ToUtf8(lumps[i].name) +
                                    "' changed size while it was written");
            return bytes;
        },
        directory, sources, progress);
}

} // namespace vexa
