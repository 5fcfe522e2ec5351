#include "images/Q2_Wal.h"

#include "core/byte_reader.h"
#include "core/errors.h"
#include "images/Image_util.h"

namespace vexa {

TQ2WalReader::TQ2WalReader() {
    LoadGamePalette(Game::Quake2Wal);
}

void TQ2WalReader::ConvertToBitmap(const OutputPath& outputPath, const fs::path& inputPath) {
    InputFile file(inputPath);
    const auto header = file.readBlock(0, kHeaderSize, "the WAL header");
    const ByteReader fields(header, displayPath(inputPath));
    const auto width = fields.u32(kWidthOffset), height = fields.u32(kHeightOffset);
    requireImageSize(inputPath, "the texture", width, height);
    const FileRows rows(file, fields.u32(kMip0Offset), width, height, "mip level 0");
    WriteIndexedBitmap(withExtension(outputPath, ".bmp"), width, height, rows);
}

} // namespace vexa
