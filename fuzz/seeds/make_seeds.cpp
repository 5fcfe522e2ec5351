// Writes a small seed corpus for every fuzz target: valid files of each kind, made by the
// program's own writers and the tests' builders, so fuzzing starts from inside each format.
//   make_fuzz_seeds CORPUS_ROOT   ->   CORPUS_ROOT/<target>/seed-N

#include "app/kinds.h"
#include "formats/texture_builders.h"
#include "images/Png_writer.h"
#include "images/content_builders.h"
#include "images/image_builders.h"
#include "media/media_builders.h"
#include "media/wav.h"
#include "support/test_files.h"

#include <cstdio>
#include <map>
#include <png.h>

using namespace vexa;
using test::ByteBuilder;
using test::Bytes;

namespace {

void put(const fs::path& root, const std::string& target, const Bytes& bytes) {
    // Numbered within this run, so that making the seeds again replaces them instead of adding copies.
    static std::map<std::string, int> made;
    const auto folder = root / target;
    fs::create_directories(folder);
    const int n = made[target]++;
    test::writeFile(folder / ("seed-" + std::to_string(n)), bytes);
}

// Every writable kind, built by its writer from one flat and one nested folder.
void writtenSeeds(const fs::path& root) {
    const std::map<std::string, std::string> targetOf = {
        {"df-gob", "df_gob"},   {"jk-gob", "jk_gob"},   {"lab", "ol_lab"},        {"pak", "pak"},
        {"vp", "freespace_vp"}, {"hog", "descent_hog"}, {"hog2", "descent_hog2"}, {"lfd", "df_lfd"}};
    test::TempDir source, out;
    test::writeFile(source / "A.TXT", "alpha");
    test::writeFile(source / "B.PAL", test::patternBytes(48, 1));
    test::writeFile(source / "EMPTY.DAT", Bytes{});
    test::writeFile(source / "sub" / "C.WAV", test::patternBytes(20, 2));
    for (const auto& kind : creatableKinds()) {
        const auto target = targetOf.find(std::string(kind.cliName));
        if (!kind.createWriter || target == targetOf.end()) continue;
        auto files = kind.gathering == Gathering::Tree ? GatherFolderTree(source.path())
                                                       : GatherFolderFiles(source.path());
        // A VP with folders holds no empty file: it would read back as a folder record.
        if (kind.cliName == std::string_view("vp"))
            std::erase_if(files, [](const SourceFile& file) { return file.size == 0; });
        const auto path = out / std::string(kind.cliName);
        kind.createWriter()->WriteContainer(path, source.path(), files, nullptr);
        put(root, target->second, test::readFile(path));
        kind.createWriter()->WriteContainer(path, source.path(), {}, nullptr);
        put(root, target->second, test::readFile(path));
    }
}

// The writers' target: a byte choosing the writer, then files as (name length - 1, name, size, bytes).
void writerInputSeeds(const fs::path& root) {
    std::size_t writers = 0;
    for (const auto& kind : creatableKinds())
        writers += kind.createWriter ? 1 : 0;
    for (std::size_t i = 0; i < writers; ++i) {
        ByteBuilder input;
        input.u8(static_cast<std::uint8_t>(i)).u8(4).raw("A.TXT").u8(5).raw("alpha");
        input.u8(4).raw("B.PAL").u8(6).raw("\x01\x02\x03\x04\x05\x06").u8(8).raw("EMPTY.DAT").u8(0);
        put(root, "writers", input.bytes());
    }
}

void readOnlySeeds(const fs::path& root) {
    // Doom WAD: header, two lumps (one empty marker), directory.
    ByteBuilder wad;
    wad.raw("PWAD")
        .u32(2)
        .u32(12 + 6)
        .raw("THINGS")
        .u32(12)
        .u32(6)
        .name("THINGS", 8)
        .u32(0)
        .u32(0)
        .name("S_START", 8);
    put(root, "doom_wad", wad.bytes());
    // GRP: header, records, data.
    ByteBuilder grp;
    grp.raw("KenSilverman").u32(2).name("A.ART", 12).u32(3).name("B.MAP", 12).u32(2).raw("abcde");
    put(root, "grp", grp.bytes());
    // ZFS: header, one block of 2 records, data.
    ByteBuilder zfs;
    zfs.raw("ZFS3").zeros(8).u32(2).u32(2).zeros(8).u32(0);
    zfs.name("A.RAW", 16).u32(28 + 4 + 72).u32(0).u32(3).zeros(8);
    zfs.name("B.RAW", 16).u32(28 + 4 + 72 + 3).u32(0).u32(2).zeros(8).raw("xyzuv");
    put(root, "i82_zfs", zfs.bytes());
    // RPK: strings, folders, files, data.
    ByteBuilder rpk;
    rpk.raw("Roni").zeros(12).u32(0).u32(0).u32(2).u32(0).u32(4).raw("data").u32(1).u32(5).raw("a.bmp");
    rpk.zeros(24).u32(1).zeros(12).u32(0).u32(0).zeros(8).u32(1).zeros(8).u32(1).u32(0).zeros(8);
    const auto offsetAt = rpk.size();
    rpk.u32(0).u32(4);
    rpk.patchU32(offsetAt, static_cast<std::uint32_t>(rpk.size())).raw("DATA");
    put(root, "rpk", rpk.bytes());
}

void imageSeeds(const fs::path& root) {
    const Bytes rows = test::patternBytes(12, 3);
    put(root, "df_bm", test::dfPlainBm(4, 3, rows));
    put(root, "df_bm", test::dfMultipleBm({{4, 3, rows}, {2, 2, test::patternBytes(4, 4)}}));
    put(root, "jk_bm", test::jkBm({{4, 3, rows}}));
    put(root, "jk_bm", test::jkBm({{4, 3, rows}}, test::knownPalette(1)));
    put(root, "jk_mat", test::jkTextureMat({{4, 4, 2, test::patternBytes(16, 5)}}));
    put(root, "jk_mat", test::jkColourMat(7));
    put(root, "q2_wal", test::q2Wal(4, 3, rows));
    put(root, "palettes", test::knownPalette(2));
}

void textureSeeds(const fs::path& root) {
    const Bytes rows = test::patternBytes(64, 6); // 8 x 8, so every mip level has pixels
    const Bytes rgb = test::knownPalette(3);
    put(root, "hl_wad3",
        test::wadFile("WAD3", {{"WALL", 0x43, test::wad3MipTexture("WALL", 8, 8, rows, rgb)},
                               {"PIC", 0x42, test::wad3Picture(4, 2, test::patternBytes(8, 7), rgb)},
                               {"SOUND", 0x40, test::patternBytes(9, 8)}}));
    put(root, "q1_wad2",
        test::wadFile("WAD2", {{"CONCHARS", 0x42, test::plainPicture(4, 2, test::patternBytes(8, 9))},
                               {"TEX", 0x44, test::mipTexture("TEX", 8, 8, rows)}}));
    put(root, "q1_bsp",
        test::bspFile(test::textureLump(
            {test::mipTexture("*WATER", 8, 8, rows), test::mipTexture("+0BUTTON", 8, 8, rows)})));
    // Half-Life's map: version 30, a texture with its own palette and one that lives in a WAD.
    auto halfLife = test::bspFile(
        test::textureLump({test::wad3MipTexture("{GRATE", 8, 8, rows, rgb),
                           ByteBuilder().name("C1A0_WALL", 16).i32(64).i32(64).zeros(16).bytes()}));
    halfLife[0] = 30;
    put(root, "hl_bsp", halfLife);
    // Daikatana's PAK: a compressed entry using every opcode, a stored one.
    const Bytes stream = {0x01, 'a', 'b', 0x40, 0x80, 'x', 0xC0, 0x00, 0xFE, 0xFF};
    ByteBuilder dk;
    dk.raw("PACK").u32(12 + 10 + 3).u32(2 * 72).raw(stream).raw("raw");
    dk.name("maps/a.bsp", 56).u32(12).u32(8).u32(10).u32(1);
    dk.name("b.txt", 56).u32(22).u32(3).u32(3).u32(0);
    put(root, "dk_pak", dk.bytes());
}

// An RGBA PNG through libpng's simplified writer.
Bytes rgbaPng(std::uint32_t width, std::uint32_t height, const Bytes& rgba) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = width;
    image.height = height;
    image.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), 0, nullptr)) return {};
    Bytes out(size);
    if (!png_image_write_to_memory(&image, out.data(), &size, 0, rgba.data(), 0, nullptr)) return {};
    out.resize(size);
    return out;
}

// The picture readers of import: PNG, 8-bit paletted PNG, BMP of 8, 24 and 32 bits.
void pictureSeeds(const fs::path& root) {
    const Bytes rgba = test::patternBytes(16 * 16 * 4, 11);
    put(root, "pictures", rgbaPng(16, 16, rgba));
    put(root, "pictures", test::expectedBmp(5, 3, test::patternBytes(15, 12), test::knownPalette(4)));
    for (const int bits : {24, 32}) {
        const std::uint32_t stride = (5 * static_cast<std::uint32_t>(bits) + 31) / 32 * 4;
        ByteBuilder b;
        b.raw("BM").u32(54 + stride * 3).u32(0).u32(54);
        b.u32(40)
            .u32(5)
            .i32(bits == 32 ? -3 : 3)
            .u16(1)
            .u16(static_cast<std::uint16_t>(bits))
            .u32(0)
            .zeros(20);
        b.raw(test::patternBytes(stride * 3, 13));
        put(root, "pictures", b.bytes());
    }
    const test::TempDir png;
    const Bytes indices = test::patternBytes(16 * 16, 14);
    const MemoryRows rows(indices, 16, 16);
    PaletteTable palette{};
    writeIndexedPng(png / "p.png", 16, 16, rows, palette);
    put(root, "pictures", test::readFile(png / "p.png"));
}

// Sounds, music and text, each decoder's target with a few of its inputs.
void mediaSeeds(const fs::path& root) {
    const Bytes samples = test::patternBytes(40, 15);
    put(root, "dmx", test::dmxSound(11025, samples));
    put(root, "voc", test::vocFile({test::vocSoundData(166, 0, samples), {2, samples}, {3, {9, 0, 166}}}));
    put(root, "voc",
        test::vocFile(
            {{8, {0x53, 0xE9, 0, 1}}, test::vocSoundData(0, 0, samples), {4, {1, 0}}, {5, {'a', 0}}}));
    put(root, "voc",
        test::vocFile({test::vocNewFormat(22050, 16, 2, 4, samples), {6, {1, 0}}, {7, {}}}, false));
    put(root, "wav", encodeWav(Sound{11025, 1, 8, samples}));
    put(root, "wav", encodeWav(Sound{44100, 2, 16, samples}));
    put(root, "mus",
        test::musLump({0x10, 0x80 | 60, 100, 0x9F, 36,  70,   0x40, 0,    30, 0xC3, 3,
                       100,  0x81,      0,   0x23, 128, 0x30, 11,   0x00, 60, 0x60},
                      {30, 135}));
    const Bytes tempo = {0x00, 0xFF, 0x51, 3, 0x07, 0xA1, 0x20, 0x81, 0x40, 0xFF, 0x2F, 0x00};
    const Bytes notes = {0x00, 0xC0, 5,    0x00, 0x90, 60,   64,   0x10, 60,
                         0,    0x00, 0x99, 36,   9,    0x00, 0xFF, 0x2F, 0x00};
    const auto midi = test::midiFile(1, 96, {tempo, notes});
    put(root, "midi", midi);
    put(root, "midi", test::midiFile(0, 0xE728, {notes}));
    put(root, "hmp",
        test::hmpFile(120, {{0x80, 0xFF, 0x2F, 0x00},
                            {0x80, 0x90, 60,   64,   0xE4, 0xB0, 110, 1,    0x48, 0x81, 0x80,
                             60,   0,    0x80, 0xFF, 0x01, 1,    'a', 0x80, 0xFF, 0x2F, 0x00}}));
    std::vector<Bytes> chunks = {test::chunk("MDpg", {1, 2, 3}), Bytes(midi.begin(), midi.begin() + 14)};
    chunks.push_back(test::chunk("MTrk", tempo));
    chunks.push_back(test::chunk("MTrk", notes));
    put(root, "gmd", test::gmdForm(chunks));
    put(root, "endoom", test::endoomScreen({{0, test::bytesOf("\x01 Freedoom \xC9\xCD\xBB")}}));
    put(root, "txb", {0xE0, 0x39, 0xA5, 0xE1, 0x7D, 0xB0, 0xF0, 0xE1, 0x0A});
    put(root, "text", test::bytesOf("Read me.\r\n\tcaf\x82 \xC9\xCD\xBB\r\n\x1A"));
    // Damaged ones the decoders must survive: a DMX count past the lump, a VOC block past the file and
    // a run of continuations, a MUS score past its end and one that never ends, HMP counts that lie.
    put(root, "dmx", test::dmxLump(3, 11025, 9000, samples));
    auto vocPastEnd = test::vocFile({test::vocSoundData(166, 0, samples)}, false);
    vocPastEnd[28] = 0x10;
    put(root, "voc", vocPastEnd);
    put(root, "voc", test::vocFile(std::vector<test::VocBlock>(64, test::VocBlock{2, {1, 2, 3}}), false));
    auto musPastEnd = test::musLump({0x10, 60});
    musPastEnd[4] = 0xF0;
    put(root, "mus", musPastEnd);
    put(root, "mus", test::musLump(Bytes(512, 0x20)));
    auto hmpLying = test::hmpFile(120, {{0x80, 0xFF, 0x2F, 0x00}, {0x80, 0x90, 1, 1}});
    hmpLying[0x30] = 9;
    put(root, "hmp", hmpLying);
}

// The decoders of pictures inside containers, and compressed Dark Forces BMs.
void contentSeeds(const fs::path& root) {
    const auto patch = test::doomPicture(3, 4, -1, 2, {{{0, {1, 2}}}, {}, {{1, {3}}, {3, {4}}}});
    put(root, "content_doom_picture", patch);
    put(root, "content_doom_picture",
        test::doomPicture(1, 300, 0, 0, {{{0, {1}}, {254, {2}}, {10, {3, 4}}}}));
    put(root, "content_doom_lumps", test::patternBytes(4096, 1));
    Bytes playpal = test::knownPalette(1);
    const auto second = test::knownPalette(2);
    playpal.insert(playpal.end(), second.begin(), second.end());
    put(root, "content_doom_lumps", playpal);
    put(root, "content_doom_lumps", test::patternBytes(34 * 256, 2));

    // PNAMES's size, PNAMES, the texture list, then the patch at a multiple of 16 that its name's
    // first byte, times 16, points at.
    const std::vector<test::Texture> textures = {{"WALL", 4, 4, {{0, 0, 0}, {2, 1, 0}, {-1, 3, 1}}},
                                                 {"DOOR", 2, 2, {{0, 0, 1}}}};
    for (const bool strife : {false, true}) {
        const auto list = test::textureList(textures, strife);
        const std::size_t before = 2 + 4 + 2 * 8 + list.size();
        const std::size_t patchAt = (before + 15) / 16 * 16;
        const auto names = test::patchNames({std::string(1, static_cast<char>(patchAt / 16)), "-GONE"});
        ByteBuilder input;
        input.u16(static_cast<std::uint16_t>(names.size())).raw(names).raw(list);
        input.zeros(patchAt - input.size()).raw(patch);
        put(root, "content_doom_textures", input.bytes());
    }

    put(root, "content_quake_pictures", test::quakePicture(4, 3, test::patternBytes(12, 3)));
    put(root, "content_quake_pictures", test::knownPalette(3));
    put(root, "content_quake_pictures", test::patternBytes(64 * 256 + 1, 3));

    const Bytes lines = {1, 2, 3, 9, 4, 4, 0xC5, 9};
    put(root, "content_pcx",
        test::pcxHeader(3, 2, 4, 1).raw(test::pcxRuns(lines)).u8(0x0C).raw(test::knownPalette(4)).bytes());
    put(root, "content_pcx",
        test::pcxHeader(2, 2, 2, 3).raw(test::pcxRuns(test::patternBytes(12, 4))).bytes());

    put(root, "content_build_art",
        test::artFile(10, {{2, 3, {"1Z", "23", "ZZ"}}, {0, 5, {}}, {3, 1, {"456"}}}));
    ByteBuilder palette;
    for (std::size_t i = 0; i < 768; ++i)
        palette.u8(static_cast<std::uint8_t>(i % 64));
    put(root, "content_build_art", palette.u16(1).raw(Bytes(256, 2)).bytes());

    const std::vector<std::string> frame = {"102", "340", "000", "000", "056"};
    put(root, "content_df_fme", test::dfFme(-5, -9, 0, test::dfCell(frame, false)));
    put(root, "content_df_fme", test::dfFme(-5, -9, 1, test::dfCell(frame, true)));
    const auto a = test::dfCell({"12", "30"}, false), b = test::dfCell(frame, true);
    put(root, "content_df_wax", test::dfWax({a, b}, {{{1, 0}, {0, -1, 1}}, {{1}}}));

    put(root, "df_bm", test::dfCompressedBm({"1111", "2002", "3003", "4994"}, 1));
    put(root, "df_bm", test::dfCompressedBm({"1111", "2002", "3003", "4994"}, 2));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_fuzz_seeds CORPUS_ROOT\n");
        return 2;
    }
    const fs::path root = argv[1];
    try {
        writtenSeeds(root);
        writerInputSeeds(root);
        readOnlySeeds(root);
        imageSeeds(root);
        textureSeeds(root);
        pictureSeeds(root);
        mediaSeeds(root);
        contentSeeds(root);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_fuzz_seeds: %s\n", e.what());
        return 1;
    }
    return 0;
}
