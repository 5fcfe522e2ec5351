// bench-gen: makes the benchmark's data on the spot, so nothing large is committed or downloaded.
//
//   bench-gen tree DIR COUNT TOTAL_BYTES [FOLDERS]
//                                          COUNT files of varied sizes adding up to TOTAL_BYTES,
//                                          in two levels of sub-folders (20 x FOLDERS/20; 100 when
//                                          not given)
//   bench-gen pak FILE COUNT               a PAK of COUNT small entries in 1,000 folders
//   bench-gen file FILE BYTES              one file of BYTES bytes
//   bench-gen wal DIR COUNT                COUNT Quake 2 WAL textures of 64 x 64
//   bench-gen wad3 FILE COUNT              a Half-Life WAD3 of COUNT mip textures of 64 x 64
//   bench-gen pngs DIR COUNT               COUNT RGB PNG pictures of 256 x 256, of thousands of colours
//   bench-gen game DIR COUNT ENTRIES BYTES  a game folder of COUNT containers (PAKs, Doom WADs, DF GOBs
//                                          in turn, every other PAK ending in a WAD2 of 100 textures)
//                                          holding ENTRIES entries of BYTES together; one GOB holds
//                                          SECBASE.LEV and one nested WAD2 the texture SECBASE.LEV
//   bench-gen doom-sounds WAD OUT          a PWAD of the sounds and songs of a Doom WAD: its DS*, DP*
//                                          and D_* lumps and any other MUS or MIDI lump, in its order
//
// Contents are pseudo-random (not zeros) so no layer can shortcut them; the same arguments always
// give the same bytes.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <png.h>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Random {
    std::uint64_t state;
    std::uint64_t next() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    }
    void fill(std::uint8_t* out, std::size_t n) {
        std::size_t i = 0;
        for (; i + 8 <= n; i += 8) {
            const auto v = next();
            std::memcpy(out + i, &v, 8);
        }
        const auto v = next();
        if (i < n) std::memcpy(out + i, &v, n - i);
    }
};

void put32(std::uint8_t* at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void writeBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "bench-gen: cannot write %s\n", path.c_str());
        std::exit(1);
    }
}

void writeRandomFile(const fs::path& path, std::uint64_t size, Random& random) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::vector<std::uint8_t> chunk(1 << 20);
    while (size > 0) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(size, chunk.size()));
        random.fill(chunk.data(), n);
        out.write(reinterpret_cast<const char*>(chunk.data()), static_cast<std::streamsize>(n));
        size -= n;
    }
    if (!out) {
        std::fprintf(stderr, "bench-gen: cannot write %s\n", path.c_str());
        std::exit(1);
    }
}

int tree(const fs::path& dir, std::uint64_t count, std::uint64_t total, std::uint64_t folders) {
    const auto inner = std::max<std::uint64_t>(1, folders / 20);
    Random random{0x9E3779B97F4A7C15ull};
    // Sizes between half and one and a half times the mean; the last file takes the rest.
    const std::uint64_t mean = total / count;
    std::uint64_t left = total;
    for (std::uint64_t i = 0; i < count; ++i) {
        std::uint64_t size = i + 1 == count ? left : mean / 2 + random.next() % (mean + 1);
        size = std::min(size, left - std::min(left, (count - 1 - i) * (mean / 2)));
        left -= size;
        char folder[32], name[32];
        std::snprintf(folder, sizeof folder, "a%02u/b%u", static_cast<unsigned>(i % 20),
                      static_cast<unsigned>((i / 20) % inner));
        std::snprintf(name, sizeof name, "file_%05u.dat", static_cast<unsigned>(i));
        fs::create_directories(dir / folder);
        writeRandomFile(dir / folder / name, size, random);
    }
    return 0;
}

int pak(const fs::path& file, std::uint32_t count) {
    constexpr std::size_t kRecord = 64;
    Random random{12345};
    std::vector<std::uint8_t> data;
    std::vector<std::uint8_t> directory(kRecord * count, 0);
    std::uint32_t offset = 12;
    for (std::uint32_t i = 0; i < count; ++i) {
        char name[56];
        std::snprintf(name, sizeof name, "maps/set%03u/entry_%06u.dat", i % 1000, i);
        const auto size = static_cast<std::uint32_t>(random.next() % 48);
        const auto at = data.size();
        data.resize(at + size);
        random.fill(data.data() + at, size);
        auto* record = &directory[i * kRecord];
        std::memcpy(record, name, std::strlen(name));
        put32(record + 56, offset);
        put32(record + 60, size);
        offset += size;
    }
    std::vector<std::uint8_t> bytes(12);
    std::memcpy(bytes.data(), "PACK", 4);
    put32(&bytes[4], offset);
    put32(&bytes[8], static_cast<std::uint32_t>(directory.size()));
    bytes.insert(bytes.end(), data.begin(), data.end());
    bytes.insert(bytes.end(), directory.begin(), directory.end());
    writeBytes(file, bytes);
    return 0;
}

int wal(const fs::path& dir, std::uint32_t count) {
    constexpr std::uint32_t kSide = 64, kHeader = 100;
    Random random{777};
    fs::create_directories(dir);
    for (std::uint32_t i = 0; i < count; ++i) {
        std::vector<std::uint8_t> bytes(kHeader);
        char name[32];
        std::snprintf(name, sizeof name, "tex_%05u", i);
        std::memcpy(bytes.data(), name, std::strlen(name));
        put32(&bytes[32], kSide);
        put32(&bytes[36], kSide);
        std::uint32_t offset = kHeader;
        for (std::uint32_t level = 0; level < 4; ++level) {
            const auto side = kSide >> level;
            put32(&bytes[40 + 4 * level], offset);
            offset += side * side;
        }
        bytes.resize(offset);
        random.fill(bytes.data() + kHeader, offset - kHeader);
        writeBytes(dir / (std::string(name) + ".wal"), bytes);
    }
    return 0;
}

// Header, the textures (each with its four levels and its own 256 colours), the directory.
int wad3(const fs::path& file, std::uint32_t count) {
    constexpr std::uint32_t kSide = 64, kHeader = 40, kRecord = 32;
    constexpr std::uint32_t kPixels =
        kSide * kSide + (kSide / 2) * (kSide / 2) + (kSide / 4) * (kSide / 4) + (kSide / 8) * (kSide / 8);
    constexpr std::uint32_t kLump = kHeader + kPixels + 2 + 768 + 2;
    Random random{4242};
    std::vector<std::uint8_t> bytes(12 + std::size_t{kLump} * count + std::size_t{kRecord} * count, 0);
    std::memcpy(bytes.data(), "WAD3", 4);
    put32(&bytes[4], count);
    put32(&bytes[8], 12 + kLump * count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t at = 12 + kLump * i;
        auto* lump = &bytes[at];
        char name[16];
        std::snprintf(name, sizeof name, "tex_%05u", i);
        std::memcpy(lump, name, std::strlen(name));
        put32(lump + 16, kSide);
        put32(lump + 20, kSide);
        std::uint32_t offset = kHeader;
        for (std::uint32_t level = 0; level < 4; ++level) {
            put32(lump + 24 + 4 * level, offset);
            offset += (kSide >> level) * (kSide >> level);
        }
        random.fill(lump + kHeader, kPixels);
        lump[kHeader + kPixels] = 0; // 256 colours, as a 16-bit count
        lump[kHeader + kPixels + 1] = 1;
        random.fill(lump + kHeader + kPixels + 2, 768);
        auto* record = &bytes[12 + std::size_t{kLump} * count + std::size_t{kRecord} * i];
        put32(record, at);
        put32(record + 4, kLump);
        put32(record + 8, kLump);
        record[12] = 0x43; // mip texture
        std::memcpy(record + 16, name, std::strlen(name));
    }
    writeBytes(file, bytes);
    return 0;
}

// Painted-looking pictures: a colour per picture, rows of bricks, light across, and noise, so
// each has thousands of colours and import has to reduce them.
int pngs(const fs::path& dir, std::uint32_t count) {
    constexpr std::uint32_t kSide = 256;
    fs::create_directories(dir);
    Random random{777};
    std::vector<std::uint8_t> rgb(std::size_t{kSide} * kSide * 3);
    for (std::uint32_t i = 0; i < count; ++i) {
        const auto base = random.next();
        for (std::uint32_t y = 0; y < kSide; ++y)
            for (std::uint32_t x = 0; x < kSide; ++x) {
                const bool mortar = y % 32 < 3 || (x + (y / 32 % 2) * 32) % 64 < 3;
                const auto noise = random.next();
                for (std::uint32_t k = 0; k < 3; ++k) {
                    const int colour = static_cast<int>((base >> (8 * k)) & 0xFF) / 2 + 64;
                    const int light = static_cast<int>((x + y) / 8);
                    const int v =
                        mortar ? 90 : colour + light - 32 + static_cast<int>((noise >> (8 * k)) & 0x1F);
                    rgb[(std::size_t{y} * kSide + x) * 3 + k] =
                        static_cast<std::uint8_t>(std::clamp(v, 0, 255));
                }
            }
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        image.width = kSide;
        image.height = kSide;
        image.format = PNG_FORMAT_RGB;
        char name[32];
        std::snprintf(name, sizeof name, "pic_%05u.png", i);
        if (!png_image_write_to_file(&image, (dir / name).c_str(), 0, rgb.data(), 0, nullptr)) {
            std::fprintf(stderr, "bench-gen: %s\n", image.message);
            return 1;
        }
    }
    return 0;
}

// One container of the game folder: kind 0 a PAK, 1 a Doom WAD, 2 a DF GOB, each its header, its
// entries' bytes and its directory, as the games lay them out.
struct GameEntry {
    std::string name;
    std::vector<std::uint8_t> bytes;
};

std::vector<std::uint8_t> gameContainer(int kind, const std::vector<GameEntry>& entries) {
    const std::size_t header = kind == 2 ? 8 : 12;
    const std::size_t record = kind == 0 ? 64 : kind == 1 ? 16 : 21;
    std::vector<std::uint8_t> out(header);
    std::vector<std::uint8_t> directory(kind == 2 ? 4 : 0);
    if (kind == 2) put32(directory.data(), static_cast<std::uint32_t>(entries.size()));
    for (const auto& e : entries) {
        const auto at = static_cast<std::uint32_t>(out.size());
        out.insert(out.end(), e.bytes.begin(), e.bytes.end());
        std::vector<std::uint8_t> r(record, 0);
        const auto size = static_cast<std::uint32_t>(e.bytes.size());
        if (kind == 0) {
            std::memcpy(r.data(), e.name.data(), std::min<std::size_t>(e.name.size(), 55));
            put32(&r[56], at);
            put32(&r[60], size);
        } else if (kind == 1) {
            put32(&r[0], at);
            put32(&r[4], size);
            std::memcpy(&r[8], e.name.data(), std::min<std::size_t>(e.name.size(), 8));
        } else {
            put32(&r[0], at);
            put32(&r[4], size);
            std::memcpy(&r[8], e.name.data(), std::min<std::size_t>(e.name.size(), 12));
        }
        directory.insert(directory.end(), r.begin(), r.end());
    }
    const auto dirAt = static_cast<std::uint32_t>(out.size());
    out.insert(out.end(), directory.begin(), directory.end());
    if (kind == 0) {
        std::memcpy(out.data(), "PACK", 4);
        put32(&out[4], dirAt);
        put32(&out[8], static_cast<std::uint32_t>(directory.size()));
    } else if (kind == 1) {
        std::memcpy(out.data(), "PWAD", 4);
        put32(&out[4], static_cast<std::uint32_t>(entries.size()));
        put32(&out[8], dirAt);
    } else {
        std::memcpy(out.data(), "GOB\n", 4);
        put32(&out[4], dirAt);
    }
    return out;
}

// A WAD2 of count mip textures of 16 x 16, named TEXnnnn (the first one named first).
std::vector<std::uint8_t> gameWad2(std::uint32_t count, const std::string& first, Random& random) {
    constexpr std::uint32_t kTexture = 40 + 256 + 64 + 16 + 4;
    std::vector<std::uint8_t> out(12 + std::size_t{kTexture} * count + 32 * std::size_t{count}, 0);
    std::memcpy(out.data(), "WAD2", 4);
    put32(&out[4], count);
    put32(&out[8], 12 + kTexture * count);
    for (std::uint32_t i = 0; i < count; ++i) {
        char name[17] = {};
        std::snprintf(name, sizeof name, "TEX%04u", i);
        const std::string shown = i == 0 && !first.empty() ? first : name;
        auto* texture = &out[12 + std::size_t{kTexture} * i];
        std::memcpy(texture, shown.data(), std::min<std::size_t>(shown.size(), 15));
        put32(texture + 16, 16);
        put32(texture + 20, 16);
        for (std::uint32_t level = 0, at = 40, side = 16; level < 4; ++level, at += side * side, side /= 2)
            put32(texture + 24 + 4 * level, at);
        random.fill(texture + 40, 256 + 64 + 16 + 4);
        auto* record = &out[12 + std::size_t{kTexture} * count + 32 * std::size_t{i}];
        put32(record, 12 + kTexture * i);
        put32(record + 4, kTexture);
        put32(record + 8, kTexture);
        record[12] = 0x44;
        std::memcpy(record + 16, shown.data(), std::min<std::size_t>(shown.size(), 15));
    }
    return out;
}

int game(const fs::path& dir, std::uint32_t count, std::uint64_t entries, std::uint64_t total) {
    Random random{0xC0FFEEull};
    const std::uint64_t perContainer = entries / count;
    const std::uint64_t mean = total / entries;
    for (std::uint32_t c = 0; c < count; ++c) {
        const int kind = static_cast<int>(c % 3);
        std::vector<GameEntry> list;
        for (std::uint64_t i = 0; i < perContainer; ++i) {
            char name[64];
            if (kind == 0)
                std::snprintf(name, sizeof name, "data/set%02u/entry_%05u.dat", static_cast<unsigned>(i % 50),
                              static_cast<unsigned>(i));
            else if (kind == 1)
                std::snprintf(name, sizeof name, "L%05u", static_cast<unsigned>(i));
            else
                std::snprintf(name, sizeof name, "E%05u.DAT", static_cast<unsigned>(i));
            GameEntry e{name, std::vector<std::uint8_t>(mean / 2 + random.next() % (mean + 1))};
            random.fill(e.bytes.data(), e.bytes.size());
            list.push_back(std::move(e));
        }
        if (kind == 2 && c == 2) list.back().name = "SECBASE.LEV";
        if (kind == 0 && c % 2 == 0)
            list.push_back({"gfx/textures.wad", gameWad2(100, c == 0 ? "SECBASE.LEV" : "", random)});
        char folder[32], file[32];
        std::snprintf(folder, sizeof folder, "mod%02u", c % 10);
        std::snprintf(file, sizeof file, "c%03u.%s", c, kind == 0 ? "pak" : kind == 1 ? "wad" : "gob");
        fs::create_directories(dir / folder);
        writeBytes(dir / folder / file, gameContainer(kind, list));
    }
    return 0;
}

std::uint32_t get32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return std::uint32_t{bytes[at]} | std::uint32_t{bytes[at + 1]} << 8 | std::uint32_t{bytes[at + 2]} << 16 |
           std::uint32_t{bytes[at + 3]} << 24;
}

int doomSounds(const fs::path& source, const fs::path& target) {
    std::ifstream in(source, std::ios::binary);
    const std::vector<std::uint8_t> wad((std::istreambuf_iterator<char>(in)),
                                        std::istreambuf_iterator<char>());
    const auto damaged = [&] {
        std::fprintf(stderr, "bench-gen: %s is not a whole Doom WAD\n", source.c_str());
        return 1;
    };
    if (wad.size() < 12 ||
        (std::memcmp(wad.data(), "IWAD", 4) != 0 && std::memcmp(wad.data(), "PWAD", 4) != 0))
        return damaged();
    const std::uint64_t count = get32(wad, 4), directory = get32(wad, 8);
    if (directory > wad.size() || count > (wad.size() - directory) / 16) return damaged();
    std::vector<GameEntry> kept;
    for (std::uint64_t i = 0; i < count; ++i) {
        const auto record = directory + 16 * i;
        const std::uint64_t at = get32(wad, record), size = get32(wad, record + 4);
        if (at > wad.size() || size > wad.size() - at) return damaged();
        const auto* name = reinterpret_cast<const char*>(&wad[record + 8]);
        const std::string lump(name, strnlen(name, 8));
        const auto* bytes = &wad[at];
        const bool song =
            size >= 4 && (std::memcmp(bytes, "MUS\x1a", 4) == 0 || std::memcmp(bytes, "MThd", 4) == 0);
        if (lump.rfind("DS", 0) == 0 || lump.rfind("DP", 0) == 0 || lump.rfind("D_", 0) == 0 || song)
            kept.push_back({lump, std::vector<std::uint8_t>(bytes, bytes + size)});
    }
    writeBytes(target, gameContainer(1, kept));
    std::printf("%zu lumps\n", kept.size());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if ((args.size() == 4 || args.size() == 5) && args[0] == "tree")
        return tree(args[1], std::stoull(args[2]), std::stoull(args[3]),
                    args.size() == 5 ? std::stoull(args[4]) : 100);
    if (args.size() == 3 && args[0] == "pak")
        return pak(args[1], static_cast<std::uint32_t>(std::stoul(args[2])));
    if (args.size() == 3 && args[0] == "wal")
        return wal(args[1], static_cast<std::uint32_t>(std::stoul(args[2])));
    if (args.size() == 3 && args[0] == "wad3")
        return wad3(args[1], static_cast<std::uint32_t>(std::stoul(args[2])));
    if (args.size() == 3 && args[0] == "pngs")
        return pngs(args[1], static_cast<std::uint32_t>(std::stoul(args[2])));
    if (args.size() == 5 && args[0] == "game")
        return game(args[1], static_cast<std::uint32_t>(std::stoul(args[2])), std::stoull(args[3]),
                    std::stoull(args[4]));
    if (args.size() == 3 && args[0] == "doom-sounds") return doomSounds(args[1], args[2]);
    if (args.size() == 3 && args[0] == "file") {
        Random random{42};
        writeRandomFile(args[1], std::stoull(args[2]), random);
        return 0;
    }
    std::fputs(
        "usage: bench-gen tree DIR COUNT BYTES [FOLDERS] | pak FILE COUNT | file FILE BYTES | wal DIR "
        "COUNT | wad3 FILE COUNT | pngs DIR COUNT | game DIR COUNT ENTRIES BYTES | doom-sounds WAD OUT\n",
        stderr);
    return 2;
}
