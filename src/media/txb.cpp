#include "media/txb.h"

#include "media/code_page.h"

#include <vector>

namespace vexa {

namespace {

constexpr std::uint8_t kLineEnd = 0x0A;
constexpr std::uint8_t kKey = 0xD3;

constexpr std::uint8_t rotateLeft(std::uint8_t byte) {
    return static_cast<std::uint8_t>((byte << 1) | (byte >> 7));
}

} // namespace

std::uint8_t decodeTxbByte(std::uint8_t byte) {
    return byte == kLineEnd ? byte : rotateLeft(static_cast<std::uint8_t>(rotateLeft(byte) ^ kKey));
}

bool isTxb(std::span<const std::uint8_t> bytes) {
    return looksLikeTextThrough(bytes, decodeTxbByte);
}

// Every byte decodes to some character: nothing here can be damaged.
std::string txbToText(std::span<const std::uint8_t> bytes, [[maybe_unused]] const std::string& what) {
    std::vector<std::uint8_t> plain(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i)
        plain[i] = decodeTxbByte(bytes[i]);
    return textToUtf8(plain, CodePage::Cp437);
}

} // namespace vexa
