#include "cli/json_output.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>

namespace vexa::cli {

void appendNumber(std::string& out, std::uint64_t number) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
    out.append(digits, static_cast<std::size_t>(end - digits));
}

void appendJsonString(std::string& out, std::string_view text) {
    static constexpr auto kPlain = [] {
        std::array<bool, 256> plain{};
        for (int c = 0x20; c < 256; ++c)
            plain[static_cast<std::size_t>(c)] = c != '"' && c != '\\';
        return plain;
    }();
    auto plain = [](unsigned char c) { return kPlain[c]; };
    // Nearly every stored name needs no escape: it goes out in one piece.
    if (std::all_of(text.begin(), text.end(), [&](char c) { return plain(static_cast<unsigned char>(c)); })) {
        out.append(1, '"').append(text).append(1, '"');
        return;
    }
    out += '"';
    for (std::size_t i = 0; i < text.size();) {
        // Runs of characters that need no escape are copied whole.
        std::size_t end = i;
        while (end < text.size() && plain(static_cast<unsigned char>(text[end])))
            ++end;
        out.append(text, i, end - i);
        if (end == text.size()) break;
        i = end + 1;
        const auto c = static_cast<unsigned char>(text[end]);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default: { // the other control characters
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        }
        }
    }
    out += '"';
}

std::string jsonString(std::string_view text) {
    std::string out;
    appendJsonString(out, text);
    return out;
}

void StdoutWriter::flush() {
    if (!buffer_.empty()) std::fwrite(buffer_.data(), 1, buffer_.size(), stdout);
    buffer_.clear();
}

} // namespace vexa::cli
