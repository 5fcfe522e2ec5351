#pragma once
// Doom's ENDOOM: the text screen shown on quitting, 80 x 25 cells of a code page 437 character and a
// colour attribute (bits 0-3 the foreground, 4-6 the background, 7 blinking).

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace vexa {

constexpr std::size_t kEndoomColumns = 80;
constexpr std::size_t kEndoomRows = 25;
constexpr std::size_t kEndoomSize = kEndoomColumns * kEndoomRows * 2;

struct EndoomCell {
    char32_t character = U' ';
    std::uint8_t foreground = 7; // the 16 colours of the PC's text mode
    std::uint8_t background = 0; // its first 8
    bool blink = false;
};

// By the size alone: any 4000 bytes can be a screen, so the entry's name (ENDOOM, ENDTEXT, ENDBOOM)
// has to say it is one.
bool isEndoom(std::span<const std::uint8_t> bytes);
// 25 lines, each ending in "\n", without their trailing spaces; control bytes show as their glyphs.
std::string endoomToText(std::span<const std::uint8_t> bytes, const std::string& what);
// One cell, for drawing the screen in its colours; row < 25 and column < 80.
EndoomCell endoomCell(std::span<const std::uint8_t> bytes, std::size_t row, std::size_t column,
                      const std::string& what);

} // namespace vexa
