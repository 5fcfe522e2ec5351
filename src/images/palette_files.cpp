#include "images/palette_files.h"

#include "base/byte_reader.h"
#include "base/errors.h"
#include "base/file_io.h"
#include "base/text.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

namespace vexa {

namespace {

// An 8-bit BMP's headers (file header 14 bytes, info header 40), then its colour table.
constexpr std::size_t kBmpBitCountOffset = 28;
constexpr std::size_t kBmpColourTableOffset = 14 + 40;

constexpr std::size_t kCmpHeaderSize = 66; // the colour map's entries start at 66, not 64
constexpr std::uint8_t kCmpMagic[4] = {'C', 'M', 'P', ' '};
constexpr std::size_t kJkBmHeaderSize = 128;
constexpr std::size_t kJkBmPaletteFlagOffset = 12;
constexpr std::int32_t kJkBmHasPalette = 2;
constexpr std::size_t kPltHeaderSize = 2;

// "JediKnight   BM" -> "JediKnight BM": the Palettes page's captions, as a message says them.
std::string singleSpaced(std::string_view caption) {
    std::string out;
    for (const char c : caption)
        if (c != ' ' || (!out.empty() && out.back() != ' ')) out += c;
    return out;
}

Palette readPaletteFileOf(const ByteSource& file);

// The page's Pal File source takes every palette file kind; what is none is the page's one message.
std::optional<Palette> readPal(const ByteSource& file) {
    try {
        return readPaletteFileOf(file);
    } catch (const FormatError&) {
        return std::nullopt;
    }
}

// A palette of entries 0..n read at offset, the others black; nullopt when the file is too short.
std::optional<Palette> readPalette(const ByteSource& file, std::uint64_t offset, int n, std::string source) {
    Palette palette;
    if (!ReadPaletteTriples(file, offset, n, palette.table)) return std::nullopt;
    palette.source = std::move(source);
    return palette;
}

} // namespace

bool ReadPaletteTriples(const ByteSource& file, std::uint64_t offset, int n, PaletteTable& palette) {
    if (n < 0 || n > 255) return false;
    const std::uint64_t count = 3 * static_cast<std::uint64_t>(n + 1);
    if (!rangeFits(file.size(), offset, count)) return false;
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

std::optional<Palette> LoadPalFile(const ByteSource& file, int n) {
    return readPalette(file, 0, n, "palette file " + displayPath(file.path()));
}

std::optional<Palette> LoadPalFile(const fs::path& path, int n) {
    return LoadPalFile(InputFile(path), n);
}

std::optional<Palette> LoadBmpPalette(const ByteSource& file) {
    if (file.size() < kBmpColourTableOffset + kPaletteTableSize) return std::nullopt;
    const auto headers = file.readBlock(0, kBmpColourTableOffset, "the BMP headers");
    if (ByteReader(headers, displayPath(file.path())).u16(kBmpBitCountOffset) != 8) return std::nullopt;
    const auto table = file.readBlock(kBmpColourTableOffset, kPaletteTableSize, "the BMP colour table");
    Palette palette;
    std::copy(table.begin(), table.end(), palette.table.begin());
    palette.source = "the colour table of " + displayPath(file.path());
    return palette;
}

std::optional<Palette> LoadCmpPalette(const ByteSource& file) {
    // A colour map too short for its 256 entries is refused, not loaded as a half-black palette.
    if (file.size() < kCmpHeaderSize + kPalFileSize) return std::nullopt;
    const auto header = file.readBlock(0, kCmpHeaderSize, "the CMP header");
    if (!std::equal(std::begin(kCmpMagic), std::end(kCmpMagic), header.begin())) return std::nullopt;
    return readPalette(file, kCmpHeaderSize, 255, "colour map " + displayPath(file.path()));
}

std::optional<Palette> LoadJkBmPalette(const ByteSource& file) {
    if (file.size() < kJkBmHeaderSize + kPalFileSize) return std::nullopt;
    const auto header = file.readBlock(0, kJkBmHeaderSize, "the BM header");
    if (ByteReader(header, displayPath(file.path())).i32(kJkBmPaletteFlagOffset) != kJkBmHasPalette)
        return std::nullopt;
    return readPalette(file, file.size() - kPalFileSize, 255,
                       "the own palette of " + displayPath(file.path()));
}

std::optional<Palette> LoadPltPalette(const ByteSource& file) {
    if (file.size() < kPltHeaderSize) return std::nullopt;
    const auto header = file.readBlock(0, kPltHeaderSize, "the PLT header");
    return readPalette(file, kPltHeaderSize, header[1], "palette file " + displayPath(file.path()));
}

namespace {

constexpr std::uint64_t kMostPaletteTables = 32; // Doom's PLAYPAL holds 14, Hexen's 28
constexpr std::uint8_t kPcxMagic = 0x0A;
constexpr std::uint64_t kPcxHeaderSize = 128;
constexpr std::uint8_t kPcxTableMark = 0x0C;
constexpr std::string_view kJascMagic = "JASC-PAL";
constexpr std::uint64_t kLargestJascFile = 64 * 1024;

FormatError notAPalette(const ByteSource& file, const std::string& why) {
    return FormatError(displayPath(file.path()) + ": " + why);
}

// "JASC-PAL", "0100", the count, then one "R G B" line per colour.
Palette readJascPalette(const ByteSource& file) {
    if (file.size() > kLargestJascFile)
        throw notAPalette(file, "a JASC-PAL file of " + std::to_string(file.size()) + " bytes is too large");
    const auto bytes = file.readBlock(0, file.size(), "the JASC-PAL file");
    std::vector<std::string> lines;
    std::string line;
    for (const auto b : bytes) {
        if (b == '\n') {
            lines.push_back(line);
            line.clear();
        } else if (b != '\r') {
            line.push_back(static_cast<char>(b));
        }
    }
    if (!line.empty()) lines.push_back(line);
    const auto number = [&](const std::string& text, long most, const std::string& what) {
        char* end = nullptr;
        errno = 0;
        const long value = std::strtol(text.c_str(), &end, 10);
        if (text.empty() || errno != 0 || *end != '\0' || value < 0 || value > most)
            throw notAPalette(file, "JASC-PAL: " + what + " '" + printableText(text) +
                                        "' is not a number from 0 to " + std::to_string(most));
        return std::pair<long, const char*>(value, end);
    };
    if (lines.size() < 3) throw notAPalette(file, "JASC-PAL: the file ends before its colour count");
    const auto count = number(lines[2], static_cast<long>(kPaletteEntries), "the colour count").first;
    if (lines.size() < 3 + static_cast<std::size_t>(count))
        throw notAPalette(file, "JASC-PAL: " + std::to_string(count) + " colours are announced, " +
                                    std::to_string(lines.size() - 3) + " given");
    Palette palette;
    for (long i = 0; i < count; ++i) {
        const auto& text = lines[3 + static_cast<std::size_t>(i)];
        std::array<long, 3> rgb{};
        const char* at = text.c_str();
        for (auto& c : rgb) {
            while (*at == ' ' || *at == '\t')
                ++at;
            std::string word;
            while (*at && *at != ' ' && *at != '\t')
                word.push_back(*at++);
            c = number(word, 255, "colour " + std::to_string(i)).first;
        }
        palette.table[4 * i] = static_cast<std::uint8_t>(rgb[2]);
        palette.table[4 * i + 1] = static_cast<std::uint8_t>(rgb[1]);
        palette.table[4 * i + 2] = static_cast<std::uint8_t>(rgb[0]);
    }
    palette.source = "JASC-PAL file " + displayPath(file.path());
    return palette;
}

} // namespace

Palette readPaletteFile(const ByteSource& file) {
    return readPaletteFileOf(file);
}

namespace {
Palette readPaletteFileOf(const ByteSource& file) {
    const auto size = file.size();
    const auto head = file.readBlock(0, std::min<std::uint64_t>(size, kJascMagic.size()), "the palette file");
    if (std::equal(kJascMagic.begin(), kJascMagic.end(), head.begin(), head.end()))
        return readJascPalette(file);
    if (!head.empty() && head[0] == kPcxMagic) {
        // A PCX keeps its 256-colour table in its last 769 bytes: a mark, then the colours.
        if (size < kPcxHeaderSize + 1 + kPalFileSize ||
            file.readBlock(size - kPalFileSize - 1, 1, "the PCX table mark")[0] != kPcxTableMark)
            throw notAPalette(file, "this PCX holds no 256-colour table (only 8-bit PCX files do)");
        if (auto palette = readPalette(file, size - kPalFileSize, 255,
                                       "the colour table of " + displayPath(file.path())))
            return std::move(*palette);
    }
    if (size > 0 && size % kPalFileSize == 0 && size / kPalFileSize <= kMostPaletteTables) {
        const auto tables = size / kPalFileSize;
        auto palette =
            readPalette(file, 0, 255,
                        (tables == 1 ? "palette file " : "the first palette of ") + displayPath(file.path()));
        if (palette) return std::move(*palette);
    }
    if (size < kPalFileSize)
        throw notAPalette(file, "a palette file holds 768 bytes, this one has " + std::to_string(size));
    throw notAPalette(file,
                      "not a palette file: neither 768 bytes (or a PLAYPAL of such tables), a PCX with a "
                      "256-colour table nor a JASC-PAL file (" +
                          std::to_string(size) + " bytes)");
}
} // namespace

Palette readPaletteFile(const fs::path& path) {
    return readPaletteFile(InputFile(path));
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

// ---- Game palettes -------------------------------------------------------------------------------

const std::array<GamePaletteInfo, kGames>& gamePalettes() {
    static const std::array<GamePaletteInfo, kGames> table = {{
        // No free copy of the Dark Forces, Jedi Knight and Duke Nukem 3D palettes is known (see
        // data/Data/SOURCES.md); Quake's, Quake II's and Doom's are the real ones.
        {Game::DarkForcesBm, "DarkForces BM", "default_dark_forces.pal", "df-bm", true},
        {Game::JediKnightBm, "JediKnight   BM", "default_jk_bm.pal", "jk-bm", true},
        {Game::JediKnightMat, "JediKnight   MAT", "default_jk_mat.pal", "jk-mat", true},
        {Game::Quake1Bsp, "Quake1       BSP", "default_quake1.pal", "quake1", false},
        {Game::Quake2Wal, "Quake2       WAL", "default_quake2.pal", "quake2", false},
        {Game::Doom, "Doom          WAD", "default_doom.pal", "doom", false},
        {Game::Duke3D, "Duke3D       ART", "default_duke3d.pal", "duke3d", true},
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
        paths.paths_.at(static_cast<std::size_t>(g.game)) = dataFolder / std::string(g.defaultFile);
    return paths;
}

Palette loadGamePalette(Game game, const GamePalettePaths& paths) {
    const auto& path = paths.path(game);
    auto palette = readPaletteFile(InputFile(path));
    palette.source = singleSpaced(gamePalettes().at(static_cast<std::size_t>(game)).caption) +
                     " palette: " + palette.source;
    palette.placeholder = usesPlaceholder(game, paths);
    return palette;
}

bool usesPlaceholder(Game game, const GamePalettePaths& paths) {
    return gamePalettes().at(static_cast<std::size_t>(game)).placeholderDefault && paths.isDefault(game);
}

std::string placeholderNotice(const Palette& palette) {
    return "Painted with a placeholder (" + palette.source +
           "): no free copy of the game's palette ships with VEXA, so the colours are not the game's; "
           "load the game's own palette";
}

// ---- The Palettes page's sources -----------------------------------------------------------------

std::optional<Palette> PaletteSourceInfo::load(const fs::path& path) const {
    return read(InputFile(path));
}

const std::array<PaletteSourceInfo, 5>& paletteSources() {
    static const std::array<PaletteSourceInfo, 5> table = {{
        {PaletteSource::PalFile, "Pal   File  768 bytes", readPal},
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

} // namespace vexa
