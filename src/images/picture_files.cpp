#include "images/picture_files.h"

#include "base/byte_reader.h"
#include "base/errors.h"
#include "images/Png_writer.h"
#include "images/bmp.h"

#include <algorithm>
#include <array>
#include <cstring>

#if VEXA_PNG
#include "images/png_support.h"

#include <csetjmp>
#include <zlib.h>
#endif

namespace vexa {

namespace {

// A picture's bytes, checked to be what its sides say before any sink reads them.
void requireWhole(const DecodedPicture& picture) {
    const auto& image = picture.image;
    if (image.width == 0 || image.height == 0 || image.width > kMaxImageSide || image.height > kMaxImageSide)
        throw Error("Cannot write a picture of " + std::to_string(image.width) + " x " +
                    std::to_string(image.height) + " pixels");
    const std::size_t pixels = std::size_t{image.width} * image.height;
    const bool whole =
        picture.trueColour()
            ? picture.rgba.size() == 4 * pixels && image.indices.empty() && picture.alpha.empty()
            : image.indices.size() == pixels && (picture.alpha.empty() || picture.alpha.size() == pixels);
    if (!whole)
        throw Error("A picture of " + std::to_string(image.width) + " x " + std::to_string(image.height) +
                    " pixels holds " + std::to_string(image.indices.size()) + " indices, " +
                    std::to_string(picture.alpha.size()) + " alpha and " +
                    std::to_string(picture.rgba.size()) + " colour bytes");
}

bool anySeeThrough(const DecodedPicture& picture) {
    return !picture.alpha.empty() && std::memchr(picture.alpha.data(), kSeeThrough, picture.alpha.size());
}

bool allOpaque(const std::vector<std::uint8_t>& rgba) {
    for (std::size_t i = 3; i < rgba.size(); i += 4)
        if (rgba[i] != kOpaque) return false;
    return true;
}

// The highest entry no opaque pixel uses; nullopt when the picture uses all 256.
std::optional<std::uint8_t> freeEntry(const DecodedPicture& picture) {
    std::array<bool, kPaletteEntries> used{};
    const auto& indices = picture.image.indices;
    for (std::size_t i = 0; i < indices.size(); ++i)
        if (picture.alpha[i] != kSeeThrough) used[indices[i]] = true;
    for (std::size_t entry = kPaletteEntries; entry-- > 0;)
        if (!used[entry]) return static_cast<std::uint8_t>(entry);
    return std::nullopt;
}

// The indices with every see-through pixel set to key.
std::vector<std::uint8_t> keyedIndices(const DecodedPicture& picture, std::uint8_t key) {
    auto indices = picture.image.indices;
    for (std::size_t i = 0; i < indices.size(); ++i)
        if (picture.alpha[i] == kSeeThrough) indices[i] = key;
    return indices;
}

// Red, green, blue, alpha of an indexed picture painted with palette.
std::vector<std::uint8_t> paintedRgba(const DecodedPicture& picture, const PaletteTable& palette) {
    const auto& indices = picture.image.indices;
    std::vector<std::uint8_t> rgba(4 * indices.size());
    for (std::size_t i = 0; i < indices.size(); ++i) {
        const std::size_t entry = 4 * std::size_t{indices[i]};
        rgba[4 * i] = palette[entry + 2];
        rgba[4 * i + 1] = palette[entry + 1];
        rgba[4 * i + 2] = palette[entry];
        rgba[4 * i + 3] = picture.alpha.empty() ? kOpaque : picture.alpha[i];
    }
    return rgba;
}

// ---- BMP -----------------------------------------------------------------------------------------

constexpr std::size_t kBmpFileHeaderSize = 14;
constexpr std::size_t kBmpInfoHeaderSize = 40;
constexpr std::size_t kBmpV4HeaderSize = 108;
constexpr std::uint32_t kBiRgb = 0, kBiBitfields = 3;
constexpr std::uint32_t kRedMask = 0x00FF0000, kGreenMask = 0x0000FF00, kBlueMask = 0x000000FF,
                        kAlphaMask = 0xFF000000;
constexpr std::uint32_t kSrgbColourSpace = 0x73524742; // "sRGB"

// A BMP of 24 bits (BGR) or 32 bits (BGRA, with a V4 header naming the alpha mask), rows from the
// bottom up, each padded to 4 bytes.
std::vector<std::uint8_t> trueColourBmp(std::uint32_t width, std::uint32_t height,
                                        const std::vector<std::uint8_t>& rgba, bool withAlpha) {
    const std::size_t bytesPerPixel = withAlpha ? 4 : 3;
    const std::size_t stride = (bytesPerPixel * width + 3) & ~std::size_t{3};
    const std::size_t infoSize = withAlpha ? kBmpV4HeaderSize : kBmpInfoHeaderSize;
    const std::size_t dataAt = kBmpFileHeaderSize + infoSize;
    const std::size_t imageSize = stride * height;
    std::vector<std::uint8_t> bmp(dataAt + imageSize, 0);
    auto* h = bmp.data();
    h[0] = 'B';
    h[1] = 'M';
    putU32(h + 2, static_cast<std::uint32_t>(bmp.size()));
    putU32(h + 10, static_cast<std::uint32_t>(dataAt));
    auto* info = h + kBmpFileHeaderSize;
    putU32(info, static_cast<std::uint32_t>(infoSize));
    putU32(info + 4, width);
    putU32(info + 8, height); // positive: rows stored bottom to top
    putU16(info + 12, 1);
    putU16(info + 14, static_cast<std::uint16_t>(8 * bytesPerPixel));
    putU32(info + 16, withAlpha ? kBiBitfields : kBiRgb);
    putU32(info + 20, static_cast<std::uint32_t>(imageSize));
    if (withAlpha) {
        putU32(info + 40, kRedMask);
        putU32(info + 44, kGreenMask);
        putU32(info + 48, kBlueMask);
        putU32(info + 52, kAlphaMask);
        putU32(info + 56, kSrgbColourSpace);
    }
    for (std::size_t y = 0; y < height; ++y) {
        const auto* from = rgba.data() + 4 * std::size_t{width} * (height - 1 - y);
        auto* to = bmp.data() + dataAt + stride * y;
        for (std::size_t x = 0; x < width; ++x, from += 4, to += bytesPerPixel) {
            to[0] = from[2];
            to[1] = from[1];
            to[2] = from[0];
            if (withAlpha) to[3] = from[3];
        }
    }
    return bmp;
}

// ---- PNG -----------------------------------------------------------------------------------------

struct PngPlan {
    std::uint32_t width = 0, height = 0;
    bool paletted = false, alpha = false;
    std::size_t bytesPerPixel = 1;
    const std::uint8_t* pixels = nullptr; // rows packed, top first
    const PaletteTable* palette = nullptr;
    int transparentEntries = 0; // entries 0..n-1 in tRNS, the last of them see-through
    std::optional<PictureOffset> offset;
};

#if VEXA_PNG

constexpr png_byte kGrabName[5] = {'g', 'r', 'A', 'b', 0};
constexpr std::size_t kGrabSize = 8;

// libpng jumps out of the encoder on failure: only plain data is reached across the jump.
struct PngBuffer {
    std::vector<std::uint8_t>* bytes;
};

void appendBytes(png_structp png, png_bytep data, std::size_t length) {
    auto* buffer = static_cast<PngBuffer*>(png_get_io_ptr(png));
    bool appended = true;
    try {
        buffer->bytes->insert(buffer->bytes->end(), data, data + length);
    } catch (const std::exception&) {
        appended = false;
    }
    if (!appended) png_error(png, "out of memory");
}

bool encodePng(png_structp png, png_infop info, const PngPlan& plan, const png_color* plte,
               const png_byte* trns, png_unknown_chunk* grab) {
    if (setjmp(png_jmpbuf(png))) return false;
    const int colourType =
        plan.paletted ? PNG_COLOR_TYPE_PALETTE : (plan.alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB);
    png_set_IHDR(png, info, plan.width, plan.height, 8, colourType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (plan.paletted) {
        png_set_PLTE(png, info, plte, static_cast<int>(kPaletteEntries));
        // Filters do not help indices, and cost time.
        png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
        if (plan.transparentEntries > 0) png_set_tRNS(png, info, trns, plan.transparentEntries, nullptr);
    }
    // A WAD converts to thousands of small pictures: zlib's fastest level halves the time of
    // Freedoom's, for files about 6% larger.
    png_set_compression_level(png, Z_BEST_SPEED);
    if (grab) png_set_unknown_chunks(png, info, grab, 1);
    png_write_info(png, info);
    const std::size_t stride = plan.bytesPerPixel * plan.width;
    for (std::size_t y = 0; y < plan.height; ++y)
        png_write_row(png, plan.pixels + y * stride);
    png_write_end(png, info);
    return true;
}

std::vector<std::uint8_t> writePng(const PngPlan& plan) {
    png_color plte[kPaletteEntries];
    std::array<png_byte, kPaletteEntries> trns{};
    if (plan.paletted) {
        const auto& palette = *plan.palette;
        for (std::size_t i = 0; i < kPaletteEntries; ++i)
            plte[i] = {palette[4 * i + 2], palette[4 * i + 1], palette[4 * i]};
        std::fill_n(trns.begin(), plan.transparentEntries, kOpaque);
        if (plan.transparentEntries > 0)
            trns[static_cast<std::size_t>(plan.transparentEntries) - 1] = kSeeThrough;
    }
    std::array<png_byte, kGrabSize> grabData{};
    png_unknown_chunk grab{};
    if (plan.offset) {
        // Big-endian, as PNG stores numbers.
        const auto x = static_cast<std::uint32_t>(plan.offset->x),
                   y = static_cast<std::uint32_t>(plan.offset->y);
        for (int i = 0; i < 4; ++i) {
            grabData[i] = static_cast<png_byte>(x >> (24 - 8 * i));
            grabData[4 + i] = static_cast<png_byte>(y >> (24 - 8 * i));
        }
        std::memcpy(grab.name, kGrabName, sizeof kGrabName);
        grab.data = grabData.data();
        grab.size = grabData.size();
        grab.location = PNG_HAVE_PLTE; // before the image data, where readers look for it
    }

    std::vector<std::uint8_t> bytes;
    bytes.reserve(plan.bytesPerPixel * plan.width * plan.height / 2 + 1024);
    png_support::WriteStruct png;
    if (!png.ok()) throw Error("Cannot make a PNG: out of memory");
    PngBuffer buffer{&bytes};
    png_set_write_fn(png.png(), &buffer, appendBytes, png_support::flushNothing);
    if (!encodePng(png.png(), png.info(), plan, plte, trns.data(), plan.offset ? &grab : nullptr))
        throw Error("Cannot make a PNG of " + std::to_string(plan.width) + " x " +
                    std::to_string(plan.height) + " pixels");
    return bytes;
}

#else

std::vector<std::uint8_t> writePng(const PngPlan&) {
    throw Error(kNoPngOutput);
}

#endif

} // namespace

std::vector<std::uint8_t> encodePicturePng(const DecodedPicture& picture, const PaletteTable& palette) {
    requireWhole(picture);
    PngPlan plan;
    plan.width = picture.image.width;
    plan.height = picture.image.height;
    plan.offset = picture.offset;
    if (picture.trueColour()) {
        plan.alpha = !allOpaque(picture.rgba);
        if (plan.alpha) {
            plan.bytesPerPixel = 4;
            plan.pixels = picture.rgba.data();
            return writePng(plan);
        }
        std::vector<std::uint8_t> rgb(3 * std::size_t{plan.width} * plan.height);
        for (std::size_t i = 0, o = 0; o < rgb.size(); i += 4, o += 3)
            std::copy_n(picture.rgba.begin() + static_cast<std::ptrdiff_t>(i), 3,
                        rgb.begin() + static_cast<std::ptrdiff_t>(o));
        plan.bytesPerPixel = 3;
        plan.pixels = rgb.data();
        return writePng(plan);
    }
    plan.paletted = true;
    plan.palette = &palette;
    if (!anySeeThrough(picture)) {
        plan.pixels = picture.image.indices.data();
        return writePng(plan);
    }
    if (const auto key = freeEntry(picture)) {
        const auto indices = keyedIndices(picture, *key);
        plan.pixels = indices.data();
        plan.transparentEntries = *key + 1;
        return writePng(plan);
    }
    const auto rgba = paintedRgba(picture, palette);
    plan.paletted = false;
    plan.alpha = true;
    plan.bytesPerPixel = 4;
    plan.pixels = rgba.data();
    return writePng(plan);
}

std::vector<std::uint8_t> encodePictureBmp(const DecodedPicture& picture, const PaletteTable& palette) {
    requireWhole(picture);
    const auto& image = picture.image;
    if (picture.trueColour())
        return trueColourBmp(image.width, image.height, picture.rgba, !allOpaque(picture.rgba));
    if (!anySeeThrough(picture))
        return WriteIndexedBitmap(image.width, image.height,
                                  MemoryRows(image.indices, image.width, image.height), palette);
    if (const auto key = freeEntry(picture)) {
        const auto indices = keyedIndices(picture, *key);
        auto keyed = palette;
        const std::size_t entry = 4 * std::size_t{*key};
        keyed[entry] = 255;     // blue
        keyed[entry + 1] = 255; // green
        keyed[entry + 2] = 0;   // red
        keyed[entry + 3] = 0;
        return WriteIndexedBitmap(image.width, image.height, MemoryRows(indices, image.width, image.height),
                                  keyed);
    }
    return trueColourBmp(image.width, image.height, paintedRgba(picture, palette), true);
}

std::vector<std::uint8_t> encodePaletteFile(const PaletteTable& palette) {
    std::vector<std::uint8_t> rgb(kPalFileSize);
    for (std::size_t i = 0; i < kPaletteEntries; ++i) {
        rgb[3 * i] = palette[4 * i + 2];
        rgb[3 * i + 1] = palette[4 * i + 1];
        rgb[3 * i + 2] = palette[4 * i];
    }
    return rgb;
}

} // namespace vexa
