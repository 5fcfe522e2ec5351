#include "images/picture_output.h"

#include "base/text.h"
#include "images/Png_writer.h"
#include "images/bmp.h"

namespace vexa {

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
