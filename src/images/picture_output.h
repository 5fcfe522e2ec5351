#pragma once
// A picture written in the format asked for: the BMP or the PNG sink, and the name it goes under.

#include "base/file_io.h"
#include "images/picture.h"

#include <filesystem>
#include <string_view>

namespace vexa {

// Writes image to path in format, path's ".bmp" becoming ".png" for PNG; returns where it went.
OutputPath writePicture(const OutputPath& path, const IndexedImage& image, const PaletteTable& palette,
                        PictureFormat format);
// Where a picture meant for bmpPath is written in format.
OutputPath pictureOutputPath(const OutputPath& bmpPath, PictureFormat format);

// An output name with its extension replaced by suffix, e.g. ("dir/wall.bm", "_0.bmp") -> dir/wall_0.bmp.
fs::path withExtension(const fs::path& path, std::string_view suffix);
OutputPath withExtension(const OutputPath& path, std::string_view suffix);

} // namespace vexa
