#include "app/preview.h"

#include "base/byte_reader.h"
#include "base/errors.h"
#include "base/text.h"
#include "images/bmp.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>

namespace vexa {

namespace {

// "<path>: entry 3 'WALL.BMP'", as messages name an entry.
std::string entryText(const ContainerReader& object, std::size_t index) {
    return displayPath(object.ArchivePath()) + ": " + entryLabel(index, object.EntryName(index));
}

// Up to limit bytes of the entry, and whether it holds more.
std::pair<std::vector<std::uint8_t>, bool> entryHead(const ContainerReader& object, std::size_t index,
                                                     std::size_t limit) {
    auto bytes = readEntryHead(object, index, limit + 1);
    const bool more = bytes.size() > limit;
    if (more) bytes.resize(limit);
    return {std::move(bytes), more};
}

// An uncompressed 8-bit BMP entry as a picture, or nullopt for a BMP of another kind (shown as hex).
std::optional<EntryPreview> bmpPicture(const ContainerReader& object, std::size_t index,
                                       std::vector<std::uint8_t> bytes) {
    // Named so that the reader's messages say which entry of which file.
    const MemoryBytes file(std::move(bytes), entryText(object, index));
    if (!isIndexedBmp(file)) return std::nullopt;
    const auto stored = readIndexedBmp(file, readBmpLayout(file));
    const auto& image = stored.image;
    Palette own;
    for (std::size_t i = 0; i < stored.colours.size(); ++i)
        for (std::size_t c = 0; c < 3; ++c)
            own.table[4 * i + c] = stored.colours[i][2 - c];
    own.source = "the own colour table of " + entryLabel(index, object.EntryName(index));
    EntryPreview preview;
    preview.kind = PreviewKind::Picture;
    preview.width = image.width;
    preview.height = image.height;
    preview.bytes = WriteIndexedBitmap(image.width, image.height,
                                       MemoryRows(image.indices, image.width, image.height), own.table);
    preview.pictures = 1;
    preview.palette = own.source;
    return preview;
}

// The first picture extraction writes for the entry, as BMP bytes; nullopt when it writes none.
std::optional<EntryPreview> decodedPicture(const ContainerReader& object, std::size_t index, Palette& current,
                                           const GamePalettePaths& games) {
    if (const auto size = storedSize(object, index); size && *size > kPreviewMaxBytes)
        throw Error(entryText(object, index) + " is " + std::to_string(*size) +
                    " bytes, more than a preview reads (" + std::to_string(kPreviewMaxBytes) + ")");
    const auto decoded = object.DecodePictures(index);
    if (decoded.pictures.empty()) return std::nullopt;
    const auto& first = decoded.pictures.front().image;
    if (std::uint64_t{first.width} * first.height > kPreviewMaxBytes)
        throw Error(entryText(object, index) + ": a picture of " + std::to_string(first.width) + " x " +
                    std::to_string(first.height) + " pixels is larger than a preview shows (" +
                    std::to_string(kPreviewMaxBytes) + " pixels)");
    const auto& palette = applyPaletteNeed(decoded.palette, games, current);
    EntryPreview preview;
    preview.kind = PreviewKind::Picture;
    preview.bytes = WriteIndexedBitmap(first.width, first.height,
                                       MemoryRows(first.indices, first.width, first.height), palette.table);
    preview.width = first.width;
    preview.height = first.height;
    preview.pictures = decoded.pictures.size();
    preview.palette = palette.source;
    return preview;
}

bool isPaletteName(const std::string& name) {
    const auto ext = toUpperAscii(extensionOf(name));
    if (ext == ".PAL") return true;
    const auto sep = name.find_last_of("\\/");
    return equalsNoCase(sep == std::string::npos ? name : name.substr(sep + 1), "palette");
}

EntryPreview storedBytesPreview(const ContainerReader& object, std::size_t index) {
    const auto& name = object.EntryName(index);
    const auto size = storedSize(object, index);
    EntryPreview preview;

    if (toUpperAscii(extensionOf(name)) == ".BMP") {
        if (!size || *size <= kPreviewMaxBytes) {
            auto [bytes, more] = entryHead(object, index, kPreviewMaxBytes);
            if (!more)
                if (auto picture = bmpPicture(object, index, std::move(bytes))) return std::move(*picture);
        }
    } else if (size == kPalFileSize && isPaletteName(name)) {
        auto [bytes, more] = entryHead(object, index, kPalFileSize);
        if (bytes.size() == kPalFileSize && !more) {
            // As the palette loaders take it: a palette with no component of 64 or more is 6-bit.
            const bool sixBit =
                std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t v) { return v < 64; });
            if (sixBit) std::transform(bytes.begin(), bytes.end(), bytes.begin(), widenSixBit);
            preview.kind = PreviewKind::Palette;
            preview.bytes = std::move(bytes);
            preview.palette = sixBit ? "6-bit palette, widened to 8 bits" : "8-bit palette";
            return preview;
        }
    }

    const bool text = isTextName(name);
    auto [bytes, more] = entryHead(object, index, text ? kPreviewTextBytes : kPreviewHexBytes);
    preview.kind = text ? PreviewKind::Text : PreviewKind::Hex;
    preview.truncated = more;
    if (text) {
        const auto utf8 =
            latin1ToUtf8(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        preview.bytes.assign(utf8.begin(), utf8.end());
    } else {
        preview.bytes = std::move(bytes);
    }
    return preview;
}

} // namespace

bool isTextName(const std::string& name) {
    static constexpr std::array<std::string_view, 24> kTextExtensions = {
        ".TXT", ".CFG", ".INF", ".MSC", ".INI", ".LST", ".BAT", ".DEF", ".DOC",  ".NFO", ".LOG", ".ME",
        ".MSG", ".LEV", ".GOL", ".JKL", ".COG", ".SCR", ".RC",  ".HTM", ".HTML", ".XML", ".CSV", ".SH"};
    const auto ext = toUpperAscii(extensionOf(name));
    return std::find(kTextExtensions.begin(), kTextExtensions.end(), ext) != kTextExtensions.end();
}

EntryPreview previewEntry(const ContainerReader& object, std::size_t index, Palette current,
                          const GamePalettePaths& games) {
    if (index >= object.EntryCount())
        throw Error(displayPath(object.ArchivePath()) + ": no entry " + std::to_string(index) + " (it has " +
                    std::to_string(object.EntryCount()) + ")");
    if (object.HasPictures())
        if (auto picture = decodedPicture(object, index, current, games)) return std::move(*picture);
    return storedBytesPreview(object, index);
}

std::string hexDump(std::span<const std::uint8_t> bytes, std::uint64_t first, std::size_t bytesPerLine) {
    const std::size_t perLine = std::max<std::size_t>(1, bytesPerLine);
    const std::size_t lineLength = 9 + 3 * perLine + (perLine - 1) / 8 + 3 + perLine + 2;
    std::string out;
    out.reserve((bytes.size() / perLine + 1) * lineLength);
    char buffer[16];
    for (std::size_t line = 0; line < bytes.size(); line += perLine) {
        std::snprintf(buffer, sizeof buffer, "%08llx ", static_cast<unsigned long long>(first + line));
        out += buffer;
        const std::size_t count = std::min(perLine, bytes.size() - line);
        for (std::size_t i = 0; i < perLine; ++i) {
            if (i > 0 && i % 8 == 0) out += ' ';
            if (i < count) {
                std::snprintf(buffer, sizeof buffer, " %02x", bytes[line + i]);
                out += buffer;
            } else {
                out += "   ";
            }
        }
        out += "  |";
        for (std::size_t i = 0; i < count; ++i) {
            const auto c = bytes[line + i];
            out += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '.';
        }
        out += "|\n";
    }
    return out;
}

} // namespace vexa
