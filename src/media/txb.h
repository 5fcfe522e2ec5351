#pragma once
// Descent's briefings and other texts (.TXB): every byte but 0x0A (the end of a line) is hidden by
// rotating it left one bit, XOR 0xD3, and rotating left again; the text under it is code page 437.

#include <cstdint>
#include <span>
#include <string>

namespace vexa {

std::uint8_t decodeTxbByte(std::uint8_t byte);
// Whether the decoded bytes look like text. Plain text decoded this way does not ('.', 'i', 'n', 'o'
// turn into control bytes), so this also refuses a text file that was never encoded.
bool isTxb(std::span<const std::uint8_t> bytes);
std::string txbToText(std::span<const std::uint8_t> bytes, const std::string& what);

} // namespace vexa
