// libFuzzer target for the decoders of pictures inside containers, built once per kind
// (FUZZ_PICTURE_KIND): any entry is claimed, decoded and written as PNG and BMP without a crash.
// Where the claim checks all the decoder does, a claimed entry must decode and a refused one must
// not; wherever it does not, a refused entry still must not decode. Decoded pictures must hold
// exactly the bytes their sides say.

#include "base/errors.h"
#include "images/build_art.h"
#include "images/decoded_picture.h"
#include "images/df_sprites.h"
#include "images/doom_graphics.h"
#include "images/pcx.h"
#include "images/picture_files.h"
#include "images/quake_pictures.h"

#include <cstdint>
#include <span>
#include <string>

#ifndef FUZZ_PICTURE_KIND
#error "FUZZ_PICTURE_KIND names the decoder this target fuzzes"
#endif

namespace {

using Bytes = std::span<const std::uint8_t>;

#define FUZZ_DOOM_PICTURE 1
#define FUZZ_DOOM_LUMPS 2
#define FUZZ_DOOM_TEXTURES 3
#define FUZZ_QUAKE 4
#define FUZZ_PCX 5
#define FUZZ_BUILD 6
#define FUZZ_DF_FME 7
#define FUZZ_DF_WAX 8

// Larger pictures are decoded, but writing them would only measure zlib.
constexpr std::uint64_t kMaxEncodedPixels = 1 << 18;

void check(bool ok) {
    if (!ok) __builtin_trap();
}

void encode(const vexa::DecodedPictures& set) {
    static const vexa::PaletteTable grey = [] {
        vexa::PaletteTable table{};
        for (std::size_t i = 0; i < table.size(); ++i)
            table[i] = static_cast<std::uint8_t>(i / 4);
        return table;
    }();
    for (const auto& picture : set.pictures) {
        const std::uint64_t pixels = std::uint64_t{picture.image.width} * picture.image.height;
        check(pixels > 0 && pixels <= vexa::kMaxPicturePixels);
        if (picture.trueColour())
            check(picture.rgba.size() == 4 * pixels && picture.image.indices.empty() &&
                  picture.alpha.empty());
        else
            check(picture.image.indices.size() == pixels &&
                  (picture.alpha.empty() || picture.alpha.size() == pixels));
        if (pixels > kMaxEncodedPixels) continue;
        const auto& palette = vexa::paletteFor(set, picture, grey);
        check(!vexa::encodePictureBmp(picture, palette).empty());
        check(!vexa::encodePicturePng(picture, palette).empty());
    }
}

// Claims, decodes and writes; whole: a claimed entry must decode.
template <class Claim, class Decode> void run(Bytes bytes, Claim claim, Decode decode, bool whole) {
    const bool claimed = claim(bytes);
    bool decoded = false;
    try {
        encode(decode(bytes, std::string("entry")));
        decoded = true;
    } catch (const vexa::FormatError&) {
    }
    if (!claimed) check(!decoded);
    if (whole) check(claimed == decoded);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Bytes bytes(data, size);
#if FUZZ_PICTURE_KIND == FUZZ_DOOM_PICTURE
    run(bytes, vexa::isDoomPicture, vexa::decodeDoomPicture, true);
#elif FUZZ_PICTURE_KIND == FUZZ_DOOM_LUMPS
    run(bytes, vexa::isDoomFlat, vexa::decodeDoomFlat, true);
    run(bytes, vexa::isDoomPlaypal, vexa::decodeDoomPlaypal, true);
    run(bytes, vexa::isDoomColormap, vexa::decodeDoomColormap, true);
#elif FUZZ_PICTURE_KIND == FUZZ_DOOM_TEXTURES
    // Two bytes give the size of PNAMES, which follows; the texture list is the rest. A patch
    // named "A..." is the slice of the input from offset 'A' x 16, a name starting with '-' is
    // missing.
    if (size < 2) return 0;
    const std::size_t namesSize = std::min<std::size_t>(size - 2, data[0] | data[1] << 8);
    const Bytes names = bytes.subspan(2, namesSize), list = bytes.subspan(2 + namesSize);
    const vexa::PatchLookup lookup =
        [bytes](std::string_view name) -> std::optional<std::vector<std::uint8_t>> {
        if (name.empty() || name[0] == '-') return std::nullopt;
        const std::size_t at =
            std::min<std::size_t>(bytes.size(), static_cast<unsigned char>(name[0]) * std::size_t{16});
        return std::vector<std::uint8_t>(bytes.begin() + static_cast<std::ptrdiff_t>(at), bytes.end());
    };
    const bool claimed = vexa::isDoomTextureList(list) && vexa::isDoomPatchNames(names);
    bool decoded = false;
    try {
        encode(vexa::decodeDoomTextures(list, names, lookup, "TEXTURE1"));
        decoded = true;
    } catch (const vexa::FormatError&) {
    }
    check(claimed == decoded);
#elif FUZZ_PICTURE_KIND == FUZZ_QUAKE
    run(
        bytes, vexa::isQuakePicture,
        [&](Bytes b, const std::string& what) { return vexa::decodeQuakePicture(b, what, size % 2 == 0); },
        true);
    run(bytes, vexa::isQuakePalette, vexa::decodeQuakePalette, true);
    run(bytes, vexa::isQuakeColormap, vexa::decodeQuakeColormap, true);
#elif FUZZ_PICTURE_KIND == FUZZ_PCX
    run(bytes, vexa::isPcx, vexa::decodePcx, false);
#elif FUZZ_PICTURE_KIND == FUZZ_BUILD
    run(bytes, vexa::isBuildArt, vexa::decodeBuildArt, true);
    run(bytes, vexa::isBuildPalette, vexa::decodeBuildPalette, true);
#elif FUZZ_PICTURE_KIND == FUZZ_DF_FME
    run(bytes, vexa::isDfFme, vexa::decodeDfFme, false);
#elif FUZZ_PICTURE_KIND == FUZZ_DF_WAX
    run(bytes, vexa::isDfWax, vexa::decodeDfWax, false);
#else
#error "unknown FUZZ_PICTURE_KIND"
#endif
    return 0;
}
