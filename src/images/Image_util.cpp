#include "images/Image_util.h"

#include "base/byte_reader.h"
#include "base/errors.h"
#include "base/text.h"
#include "images/Png_writer.h"

#include <algorithm>
#include <cstring>

namespace vexa {

namespace {

// BMP file header (14 bytes) and info header (40 bytes), as laid out on disk.
constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kInfoHeaderSize = 40;
constexpr std::size_t kBitCountOffset = 28;
constexpr std::size_t kColourTableOffset = kFileHeaderSize + kInfoHeaderSize; // 54

constexpr std::size_t kCmpHeaderSize = 66; // the colour map's entries start at 66, not 64
constexpr std::uint8_t kCmpMagic[4] = {'C', 'M', 'P', ' '};
constexpr std::size_t kJkBmHeaderSize = 128;
constexpr std::size_t kJkBmPaletteFlagOffset = 12;
constexpr std::int32_t kJkBmHasPalette = 2;
constexpr std::size_t kPltHeaderSize = 2;

// Rows are read and written in bands of about this many bytes: never a whole image in memory.
constexpr std::size_t kBandBytes = 64 * 1024;

// "JediKnight   BM" -> "JediKnight BM": the Palettes page's captions, as a message says them.
std::string singleSpaced(std::string_view caption) {
    std::string out;
    for (const char c : caption)
        if (c != ' ' || (!out.empty() && out.back() != ' ')) out += c;
    return out;
}

std::size_t rowStride(std::size_t width) {
    return (width + 3) & ~std::size_t{3};
}

// Lays out the whole BMP and hands it to sink in bounded pieces: header, then bands of rows from
// the bottom of the image up, each row padded with zeros.
void requireWritableSize(std::uint32_t width, std::uint32_t height) {
    if (width == 0 || height == 0 || width > kMaxImageSide || height > kMaxImageSide)
        throw Error("Cannot write a picture of " + std::to_string(width) + " x " + std::to_string(height) +
                    " pixels");
}

template <class Sink>
void emitBitmap(std::uint32_t width, std::uint32_t height, const PixelRows& source,
                const PaletteTable& palette, Sink&& sink) {
    requireWritableSize(width, height);
    const auto header = WriteBitmapHeader(width, height, palette);
    sink(std::span<const std::uint8_t>(header));

    const std::size_t stride = rowStride(width);
    const std::size_t band = std::max<std::size_t>(1, kBandBytes / stride);
    std::vector<std::uint8_t> in(std::min<std::size_t>(band, height) * width);
    std::vector<std::uint8_t> out(std::min<std::size_t>(band, height) * stride, 0); // padding stays 0
    std::size_t end = height;
    while (end > 0) {
        const std::size_t count = std::min(band, end);
        const std::size_t first = end - count;
        source.readRows(first, std::span(in.data(), count * width));
        for (std::size_t i = 0; i < count; ++i)
            std::memcpy(out.data() + i * stride, in.data() + (count - 1 - i) * width, width);
        sink(std::span<const std::uint8_t>(out.data(), count * stride));
        end = first;
    }
}

std::optional<Palette> loadPal(const fs::path& path) {
    return LoadPalFile(path, 255);
}

// A palette of entries 0..n read at offset, the others black; nullopt when the file is too short.
std::optional<Palette> readPalette(const ByteSource& file, std::uint64_t offset, int n, std::string source) {
    Palette palette;
    if (!ReadPaletteTriples(file, offset, n, palette.table)) return std::nullopt;
    palette.source = std::move(source);
    return palette;
}

} // namespace

// ---- Palettes ------------------------------------------------------------------------------------

std::uint8_t widenSixBit(std::uint8_t value) {
    // value x 4.047 rounded to nearest, in integers; only values below 64 are widened, clamped anyway.
    const unsigned wide = (value * 4047u + 500u) / 1000u;
    return static_cast<std::uint8_t>(std::min(wide, 255u));
}

bool ReadPaletteTriples(const ByteSource& file, std::uint64_t offset, int n, PaletteTable& palette) {
    if (n < 0 || n > 255) return false;
    const std::uint64_t count = 3 * static_cast<std::uint64_t>(n + 1);
    if (offset > file.size() || count > file.size() - offset) return false;
    const auto triples = file.readBlock(offset, count, "the palette");

    std::uint8_t largest = 0;
    for (std::size_t i = 0; i <= static_cast<std::size_t>(n); ++i) {
        const std::uint8_t red = triples[3 * i], green = triples[3 * i + 1], blue = triples[3 * i + 2];
        palette[4 * i] = blue;
        palette[4 * i + 1] = green;
        palette[4 * i + 2] = red;
        largest = std::max({largest, red, green, blue});
    }
    if (largest < 64) {
        for (std::size_t i = 0; i < kPaletteEntries; ++i)
            for (std::size_t c = 0; c < 3; ++c)
                palette[4 * i + c] = widenSixBit(palette[4 * i + c]);
    }
    return true;
}

std::optional<Palette> LoadPalFile(const fs::path& path, int n) {
    InputFile file(path);
    return readPalette(file, 0, n, "palette file " + displayPath(path));
}

std::optional<Palette> LoadBmpPalette(const fs::path& path) {
    InputFile file(path);
    if (file.size() < kColourTableOffset + kPaletteTableSize) return std::nullopt;
    const auto headers = file.readBlock(0, kColourTableOffset, "the BMP headers");
    if (ByteReader(headers, displayPath(path)).u16(kBitCountOffset) != 8) return std::nullopt;
    const auto table = file.readBlock(kColourTableOffset, kPaletteTableSize, "the BMP colour table");
    Palette palette;
    std::copy(table.begin(), table.end(), palette.table.begin());
    palette.source = "the colour table of " + displayPath(path);
    return palette;
}

std::optional<Palette> LoadCmpPalette(const fs::path& path) {
    InputFile file(path);
    // A colour map too short for its 256 entries is refused, not loaded as a half-black palette.
    if (file.size() < kCmpHeaderSize + kPalFileSize) return std::nullopt;
    const auto header = file.readBlock(0, kCmpHeaderSize, "the CMP header");
    if (!std::equal(std::begin(kCmpMagic), std::end(kCmpMagic), header.begin())) return std::nullopt;
    return readPalette(file, kCmpHeaderSize, 255, "colour map " + displayPath(path));
}

std::optional<Palette> LoadJkBmPalette(const fs::path& path) {
    InputFile file(path);
    if (file.size() < kJkBmHeaderSize + kPalFileSize) return std::nullopt;
    const auto header = file.readBlock(0, kJkBmHeaderSize, "the BM header");
    if (ByteReader(header, displayPath(path)).i32(kJkBmPaletteFlagOffset) != kJkBmHasPalette)
        return std::nullopt;
    return readPalette(file, file.size() - kPalFileSize, 255, "the own palette of " + displayPath(path));
}

std::optional<Palette> LoadPltPalette(const fs::path& path) {
    InputFile file(path);
    if (file.size() < kPltHeaderSize) return std::nullopt;
    const auto header = file.readBlock(0, kPltHeaderSize, "the PLT header");
    return readPalette(file, kPltHeaderSize, header[1], "palette file " + displayPath(path));
}

void SavePalFile(const fs::path& path, const PaletteTable& palette) {
    std::array<std::uint8_t, kPalFileSize> triples{};
    for (std::size_t i = 0; i < kPaletteEntries; ++i) {
        triples[3 * i] = palette[4 * i + 2];
        triples[3 * i + 1] = palette[4 * i + 1];
        triples[3 * i + 2] = palette[4 * i];
    }
    const WriterLock lock(path, {});
    AtomicOutputFile out(path, lock);
    out.file().write(triples);
    out.commit();
}

// ---- Palette preview -----------------------------------------------------------------------------

std::array<PreviewCell, kPaletteEntries> PaintPalettePreview(const PaletteTable& palette) {
    std::array<PreviewCell, kPaletteEntries> cells{};
    for (std::size_t i = 0; i < kPaletteEntries; ++i) {
        const int column = static_cast<int>(i % 16), row = static_cast<int>(i / 16);
        cells[i] = {kPreviewPitch * column,
                    kPreviewPitch * row,
                    kPreviewPitch * column + kPreviewSide,
                    kPreviewPitch * row + kPreviewSide,
                    palette[4 * i + 2],
                    palette[4 * i + 1],
                    palette[4 * i]};
    }
    return cells;
}

// ---- Game palettes -------------------------------------------------------------------------------

const std::array<GamePaletteInfo, kGames>& gamePalettes() {
    static const std::array<GamePaletteInfo, kGames> table = {{
        {Game::DarkForcesBm, "DarkForces BM", "default_dark_forces.pal", "df-bm"},
        {Game::JediKnightBm, "JediKnight   BM", "default_jk_bm.pal", "jk-bm"},
        {Game::JediKnightMat, "JediKnight   MAT", "default_jk_mat.pal", "jk-mat"},
        {Game::Quake1Bsp, "Quake1       BSP", "default_quake1.pal", "quake1"},
        {Game::Quake2Wal, "Quake2       WAL", "default_quake2.pal", "quake2"},
        {Game::Doom, "Doom          WAD", "default_doom.pal", "doom"},
        {Game::Duke3D, "Duke3D       ART", "default_duke3d.pal", "duke3d"},
    }};
    return table;
}

const GamePaletteInfo* findGamePalette(std::string_view cliName) {
    for (const auto& g : gamePalettes())
        if (g.cliName == cliName) return &g;
    return nullptr;
}

GamePalettePaths GamePalettePaths::defaults(const fs::path& dataFolder) {
    GamePalettePaths paths;
    for (const auto& g : gamePalettes())
        paths.set(g.game, dataFolder / std::string(g.defaultFile));
    return paths;
}

Palette loadGamePalette(Game game, const GamePalettePaths& paths) {
    const auto& path = paths.path(game);
    InputFile file(path);
    auto palette = readPalette(file, 0, 255,
                               singleSpaced(gamePalettes().at(static_cast<std::size_t>(game)).caption) +
                                   " palette: " + displayPath(path));
    if (!palette)
        throw FormatError(displayPath(path) + ": a palette file holds 768 bytes, this one has " +
                          std::to_string(file.size()));
    return std::move(*palette);
}

const std::array<PaletteSourceInfo, 5>& paletteSources() {
    static const std::array<PaletteSourceInfo, 5> table = {{
        {PaletteSource::PalFile, "Pal   File  768 bytes", loadPal},
        {PaletteSource::BmpFile, "Bmp File   8bit  256 color", LoadBmpPalette},
        {PaletteSource::CmpFile, "Cmp File  JediKnight", LoadCmpPalette},
        {PaletteSource::JkBmFile, "Bm   File  JediKnight", LoadJkBmPalette},
        {PaletteSource::PltFile, "Plt    File  DarkForces", LoadPltPalette},
    }};
    return table;
}

std::optional<ImportedPalette> importPalette(PaletteSource source, const fs::path& file,
                                             const fs::path& dataFolder, Game game, GamePalettePaths& paths) {
    const auto& info = paletteSources().at(static_cast<std::size_t>(source));
    const auto loaded = info.load(file);
    if (!loaded) return std::nullopt;
    const auto copy = dataFolder / replaceExtension(file.filename().string(), ".pal");
    SavePalFile(copy, loaded->table);
    auto again = LoadPalFile(copy, 255);
    if (!again) throw FormatError(displayPath(copy) + ": the palette just saved cannot be read back");
    paths.set(game, copy);
    return ImportedPalette{copy, std::move(*again)};
}

// ---- BMP writer ----------------------------------------------------------------------------------

MemoryRows::MemoryRows(std::span<const std::uint8_t> pixels, std::size_t width, std::size_t height)
    : pixels_(pixels), width_(width) {
    if (height != 0 && width > pixels.size() / height)
        throw Error("An image of " + std::to_string(width) + " x " + std::to_string(height) +
                    " needs more than the " + std::to_string(pixels.size()) + " bytes given");
}

void MemoryRows::readRows(std::size_t first, std::span<std::uint8_t> rows) const {
    if (first > pixels_.size() / std::max<std::size_t>(width_, 1) ||
        rows.size() > pixels_.size() - first * width_)
        throw Error("Rows " + std::to_string(first) + " and on lie outside the image in memory");
    const auto from = pixels_.subspan(first * width_, rows.size());
    std::copy(from.begin(), from.end(), rows.begin());
}

IndexedImage readImage(const ByteSource& file, std::uint64_t offset, std::uint32_t width,
                       std::uint32_t height, const std::string& what) {
    const std::uint64_t available = offset <= file.size() ? file.size() - offset : 0;
    if (offset > file.size() || (height != 0 && width > available / height))
        throw FormatError(displayPath(file.path()) + ": " + what + ": " + std::to_string(width) + " x " +
                          std::to_string(height) + " pixels at offset " + std::to_string(offset) +
                          " run past the end of the file (" + std::to_string(file.size()) + " bytes)");
    return {width, height, file.readBlock(offset, std::uint64_t{width} * height, what)};
}

void requireImageSize(const fs::path& file, const std::string& what, std::int64_t width,
                      std::int64_t height) {
    if (width <= 0 || height <= 0 || width > kMaxImageSide || height > kMaxImageSide)
        throw FormatError(displayPath(file) + ": " + what + ": " + std::to_string(width) + " x " +
                          std::to_string(height) +
                          " pixels is not a picture size this program converts (1 x 1 to " +
                          std::to_string(kMaxImageSide) + " x " + std::to_string(kMaxImageSide) + ")");
}

std::array<std::uint8_t, kBitmapHeaderSize> WriteBitmapHeader(std::uint32_t width, std::uint32_t height,
                                                              const PaletteTable& palette) {
    std::array<std::uint8_t, kBitmapHeaderSize> h{};
    const auto imageBytes = static_cast<std::uint64_t>(rowStride(width)) * height;
    h[0] = 'B';
    h[1] = 'M';
    putU32(&h[2], static_cast<std::uint32_t>(kBitmapHeaderSize + imageBytes));
    putU32(&h[10], static_cast<std::uint32_t>(kBitmapHeaderSize));
    putU32(&h[14], static_cast<std::uint32_t>(kInfoHeaderSize));
    putU32(&h[18], width);
    putU32(&h[22], height); // positive: rows stored bottom to top
    putU16(&h[26], 1);      // planes
    putU16(&h[28], 8);      // bits per pixel; compression, sizes and colour counts stay 0
    std::copy(palette.begin(), palette.end(), h.begin() + kColourTableOffset);
    return h;
}

void WriteIndexedBitmap(const OutputPath& path, std::uint32_t width, std::uint32_t height,
                        const PixelRows& source, const PaletteTable& palette) {
    requireWritableSize(width, height);
    // A failed write leaves no partial file: OutputFile puts it in place only when whole.
    OutputFile out(path);
    // A texture's few kilobytes go out in one write; larger pictures stream in bands.
    const std::uint64_t fileSize = kBitmapHeaderSize + std::uint64_t{rowStride(width)} * height;
    std::vector<std::uint8_t> whole;
    if (fileSize <= kBandBytes) whole.reserve(static_cast<std::size_t>(fileSize));
    emitBitmap(width, height, source, palette, [&](std::span<const std::uint8_t> bytes) {
        if (whole.capacity() != 0)
            whole.insert(whole.end(), bytes.begin(), bytes.end());
        else
            out.write(bytes);
    });
    if (!whole.empty()) out.write(whole);
    out.close();
}

std::vector<std::uint8_t> WriteIndexedBitmap(std::uint32_t width, std::uint32_t height,
                                             const PixelRows& source, const PaletteTable& palette) {
    std::vector<std::uint8_t> bytes;
    emitBitmap(width, height, source, palette, [&](std::span<const std::uint8_t> piece) {
        bytes.insert(bytes.end(), piece.begin(), piece.end());
    });
    return bytes;
}

// ---- Pictures ------------------------------------------------------------------------------------

const Palette& applyPaletteNeed(const PaletteNeed& need, const GamePalettePaths& paths, Palette& current) {
    switch (need.from) {
    case PaletteNeed::From::Current:
        break;
    case PaletteNeed::From::Game:
        current = Palette{}; // a game palette that does not load leaves black, as a failed load does
        current = loadGamePalette(need.game, paths);
        break;
    case PaletteNeed::From::Own: {
        // Entries past the picture's own colours keep the current palette's.
        const std::size_t count = std::min(need.colours.size() / 3, kPaletteEntries);
        for (std::size_t k = 0; k < count; ++k) {
            current.table[4 * k] = need.colours[3 * k + 2];
            current.table[4 * k + 1] = need.colours[3 * k + 1];
            current.table[4 * k + 2] = need.colours[3 * k];
            current.table[4 * k + 3] = 0;
        }
        current.source = need.source;
        break;
    }
    }
    return current;
}

OutputPath pictureOutputPath(const OutputPath& bmpPath, PictureFormat format) {
    if (format != PictureFormat::Png || toUpperAscii(extensionOf(bmpPath.path().string())) != ".BMP")
        return bmpPath;
    return withExtension(bmpPath, ".png");
}

OutputPath writePicture(const OutputPath& path, const IndexedImage& image, const PaletteTable& palette,
                        PictureFormat format) {
    const MemoryRows rows(image.indices, image.width, image.height);
    const auto output = pictureOutputPath(path, format);
    if (format == PictureFormat::Png)
        writeIndexedPng(output, image.width, image.height, rows, palette);
    else
        WriteIndexedBitmap(output, image.width, image.height, rows, palette);
    return output;
}

fs::path withExtension(const fs::path& path, std::string_view suffix) {
    return fs::path(replaceExtension(path.string(), suffix));
}

OutputPath withExtension(const OutputPath& path, std::string_view suffix) {
    return path.withPath(withExtension(path.path(), suffix));
}

} // namespace vexa
