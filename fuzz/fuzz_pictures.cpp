// libFuzzer target for the picture readers of import (PNG, BMP): any file gives a picture or a
// FormatError, never a crash; a picture read is mapped onto a palette and, when its sides allow,
// halved into mip levels.

#include "base/byte_source.h"
#include "base/errors.h"
#include "images/picture_import.h"

#include <vector>

// Larger pictures are real but would only measure the allocator under the fuzzer's memory limit.
constexpr std::uint64_t kMaxPixels = 1 << 20;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        const vexa::MemoryBytes file(std::vector<std::uint8_t>(data, data + size), "picture");
        const auto pictureSize = vexa::readPictureSize(file);
        if (std::uint64_t{pictureSize.width} * pictureSize.height > kMaxPixels) return 0;
        const auto picture = vexa::readColourPicture(file);
        if (picture.rgba.size() != std::size_t{picture.width} * picture.height * 4) __builtin_trap();
        if (picture.stored &&
            picture.stored->image.indices.size() != std::size_t{picture.width} * picture.height)
            __builtin_trap();
        vexa::PaletteTable palette{};
        for (std::size_t i = 0; i < palette.size(); ++i)
            palette[i] = static_cast<std::uint8_t>(i * 37);
        (void)vexa::mapToPalette(picture, palette, {0, 223, 255}, size % 2 == 0);
        if (picture.width % 16 == 0 && picture.height % 16 == 0) (void)vexa::smallerMipLevels(picture);
    } catch (const vexa::Error&) {
    }
    return 0;
}
