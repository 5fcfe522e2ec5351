#include "images/JK_Mat.h"

#include "core/byte_reader.h"
#include "core/errors.h"
#include "images/Image_util.h"

namespace vexa {

namespace {

struct Texture {
    std::int32_t width, height;
    std::uint64_t pixels; // mip level 0
};

// Bytes of mip levels 1..levels-1, each halving both sides; levels past a side of 0 hold nothing.
std::uint64_t smallerMipBytes(std::int32_t width, std::int32_t height, std::int32_t levels) {
    std::uint64_t total = 0;
    for (std::int32_t j = 1; j < levels; ++j) {
        const auto w = static_cast<std::uint64_t>(width) >> j, h = static_cast<std::uint64_t>(height) >> j;
        if (w == 0 || h == 0) break;
        total += w * h;
    }
    return total;
}

// Walks the textures, checking each whole mip chain against the file before any is written.
std::vector<Texture> readTextures(const InputFile& file, std::int32_t count) {
    const auto name = displayPath(file.path());
    checkRecordsFit(file, count, TJKMatReader::kHeaderSize, TJKMatReader::kRecordSize, "material");
    std::uint64_t at =
        TJKMatReader::kHeaderSize + static_cast<std::uint64_t>(count) * TJKMatReader::kRecordSize;
    std::vector<Texture> textures;
    for (std::int32_t k = 1; k <= count; ++k) {
        const auto what = "texture " + std::to_string(k);
        const auto header = file.readBlock(at, TJKMatReader::kTextureHeaderSize, "the header of " + what);
        const ByteReader fields(header, name);
        const auto width = fields.i32(0), height = fields.i32(4),
                   levels = fields.i32(TJKMatReader::kMipCountOffset);
        requireImageSize(file.path(), what, width, height);
        const Texture texture{width, height, at + TJKMatReader::kTextureHeaderSize};
        const auto bytes = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) +
                           smallerMipBytes(width, height, levels);
        if (bytes > file.size() - texture.pixels)
            throw FormatError(name + ": " + what + ": " + std::to_string(width) + " x " +
                              std::to_string(height) + " pixels in " + std::to_string(levels) +
                              " mip levels (" + std::to_string(bytes) + " bytes) at offset " +
                              std::to_string(texture.pixels) + " run past the end of the file (" +
                              std::to_string(file.size()) + " bytes)");
        textures.push_back(texture);
        at = texture.pixels + bytes;
    }
    return textures;
}

} // namespace

TJKMatReader::TJKMatReader() {
    LoadGamePalette(Game::JediKnightMat);
}

void TJKMatReader::ConvertToBitmap(const OutputPath& outputPath, const fs::path& inputPath) {
    const auto base = withExtension(outputPath, ".bmp");
    InputFile file(inputPath);
    const auto header = file.readBlock(0, kHeaderSize, "the MAT header");
    const ByteReader fields(header, displayPath(inputPath));

    if (fields.i32(kTypeOffset) != kTextureMaterial) {
        const auto record = file.readBlock(kHeaderSize, kColourRecordSize, "the colour record");
        const std::vector<std::uint8_t> pixels(std::size_t{kColourSide} * kColourSide,
                                               record[kColourIndexOffset]);
        WriteIndexedBitmap(base, kColourSide, kColourSide, MemoryRows(pixels, kColourSide, kColourSide));
        return;
    }

    const auto count = fields.i32(kCountOffset);
    if (count < 0)
        throw FormatError(displayPath(inputPath) + ": the texture count " + std::to_string(count) +
                          " is negative");
    if (count == 0) return; // a material without textures gives nothing
    const auto textures = readTextures(file, count);
    for (std::size_t i = 0; i < textures.size(); ++i) {
        const auto& t = textures[i];
        const auto name =
            textures.size() == 1 ? base : withExtension(base, "_" + std::to_string(i + 1) + ".bmp");
        const auto what = "texture " + std::to_string(i + 1);
        WriteIndexedBitmap(name, static_cast<std::uint32_t>(t.width), static_cast<std::uint32_t>(t.height),
                           FileRows(file, t.pixels, static_cast<std::size_t>(t.width),
                                    static_cast<std::size_t>(t.height), what));
    }
}

} // namespace vexa
