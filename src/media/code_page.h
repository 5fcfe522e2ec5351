#pragma once
// Text of DOS games: code page 437 (the PC's own characters, with glyphs for the control bytes) or
// Latin-1, turned into UTF-8.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace vexa {

enum class CodePage { Cp437, Latin1 };

// The character a PC screen shows for a byte of code page 437: 0x01-0x1F and 0x7F as their glyphs
// (U+263A "☺" ...), 0x00 as a space.
char32_t cp437Glyph(std::uint8_t byte);
void appendUtf8(std::string& out, char32_t codePoint);

// No NUL and no control byte but tab, line feed, carriage return and form feed; 0x1A (the DOS end of
// file) only at the end. Every other byte prints in code page 437 or Latin-1. Empty bytes are no text.
bool looksLikeText(std::span<const std::uint8_t> bytes);
// The same test of bytes seen through map (the decoder of a hidden text), without decoding them first.
template <class Map> bool looksLikeTextThrough(std::span<const std::uint8_t> bytes, Map map) {
    constexpr std::uint8_t kEndOfFile = 0x1A;
    std::size_t end = bytes.size();
    while (end > 0 && map(bytes[end - 1]) == kEndOfFile)
        --end;
    if (end == 0) return false;
    for (std::size_t i = 0; i < end; ++i) {
        const std::uint8_t byte = map(bytes[i]);
        if ((byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r' && byte != '\f') || byte == 0x7F)
            return false;
    }
    return true;
}
// Latin-1 has no characters at 0x80-0x9F, so a byte there means code page 437, as do the box-drawing
// bytes 0xB0-0xDF when they outnumber the other high bytes (in Latin-1 they are capital letters with
// accents, which text uses less than the small ones). Plain ASCII is Latin-1.
CodePage likelyCodePage(std::span<const std::uint8_t> bytes);
// Tab, line feed, carriage return and form feed stay themselves, trailing 0x1A bytes are left out; in
// code page 437 every other byte is its glyph, in Latin-1 the character of its number.
std::string textToUtf8(std::span<const std::uint8_t> bytes, CodePage page);

} // namespace vexa
