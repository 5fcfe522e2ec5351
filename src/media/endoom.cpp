#include "media/endoom.h"

#include "base/errors.h"
#include "media/code_page.h"

namespace vexa {

namespace {

void requireScreen(std::span<const std::uint8_t> bytes, const std::string& what) {
    if (!isEndoom(bytes))
        throw FormatError(what + ": " + std::to_string(bytes.size()) + " bytes are no text screen of " +
                          std::to_string(kEndoomSize) + " bytes");
}

} // namespace

bool isEndoom(std::span<const std::uint8_t> bytes) {
    return bytes.size() == kEndoomSize;
}

std::string endoomToText(std::span<const std::uint8_t> bytes, const std::string& what) {
    requireScreen(bytes, what);
    std::string text;
    text.reserve(kEndoomSize);
    for (std::size_t row = 0; row < kEndoomRows; ++row) {
        const auto line = bytes.subspan(row * kEndoomColumns * 2, kEndoomColumns * 2);
        // NUL shows as a space, so both end a line unseen.
        std::size_t width = kEndoomColumns;
        while (width > 0 && (line[2 * (width - 1)] == ' ' || line[2 * (width - 1)] == 0))
            --width;
        for (std::size_t column = 0; column < width; ++column)
            appendUtf8(text, cp437Glyph(line[2 * column]));
        text.push_back('\n');
    }
    return text;
}

EndoomCell endoomCell(std::span<const std::uint8_t> bytes, std::size_t row, std::size_t column,
                      const std::string& what) {
    requireScreen(bytes, what);
    if (row >= kEndoomRows || column >= kEndoomColumns)
        throw Error(what + ": no cell at row " + std::to_string(row) + ", column " + std::to_string(column));
    const std::size_t at = 2 * (row * kEndoomColumns + column);
    const std::uint8_t attribute = bytes[at + 1];
    return EndoomCell{cp437Glyph(bytes[at]), static_cast<std::uint8_t>(attribute & 0x0F),
                      static_cast<std::uint8_t>((attribute >> 4) & 0x07), (attribute & 0x80) != 0};
}

} // namespace vexa
