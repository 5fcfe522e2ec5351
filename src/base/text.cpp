#include "base/text.h"

#include <algorithm>

namespace vexa {

std::string latin1ToUtf8(std::string_view bytes) {
    // Most names are plain ASCII: one copy, no per-byte appends.
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() + 8);
    for (unsigned char c : bytes) {
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

std::optional<std::string> utf8ToLatin1(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if ((c == 0xC2 || c == 0xC3) && i + 1 < text.size() &&
                   (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80) {
            out.push_back(
                static_cast<char>(((c & 0x03) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3F)));
            ++i;
        } else {
            return std::nullopt;
        }
    }
    return out;
}

namespace {
char upperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
} // namespace

std::string toUpperAscii(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), upperAscii);
    return out;
}

std::string toLowerAscii(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; });
    return out;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    // Called for every entry by the content claims: no copy.
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return upperAscii(x) == upperAscii(y); });
}

namespace {
std::size_t finalComponentStart(std::string_view name) {
    const auto sep = name.find_last_of("\\/");
    return sep == std::string_view::npos ? 0 : sep + 1;
}
} // namespace

std::string extensionOf(std::string_view name) {
    const auto start = finalComponentStart(name);
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos || dot < start) return {};
    return std::string(name.substr(dot));
}

std::string replaceExtension(std::string_view name, std::string_view newExtension) {
    const auto ext = extensionOf(name);
    return std::string(name.substr(0, name.size() - ext.size())) + std::string(newExtension);
}

bool matchesMask(std::string_view name, std::string_view mask) {
    // Iterative glob with one backtrack point: linear in practice, never exponential.
    if (mask == "*.*") return true; // as on the desktop it came from: every file, with or without a dot
    const std::string n = toUpperAscii(name), m = toUpperAscii(mask);
    std::size_t ni = 0, mi = 0, starMi = std::string::npos, starNi = 0;
    while (ni < n.size()) {
        if (mi < m.size() && (m[mi] == '?' || m[mi] == n[ni])) {
            ++ni;
            ++mi;
        } else if (mi < m.size() && m[mi] == '*') {
            starMi = mi++;
            starNi = ni;
        } else if (starMi != std::string::npos) {
            mi = starMi + 1;
            ni = ++starNi;
        } else {
            return false;
        }
    }
    while (mi < m.size() && m[mi] == '*')
        ++mi;
    return mi == m.size();
}

std::string printableText(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            // U+0080 to U+009F, which some terminals take as commands too.
            const auto d = static_cast<unsigned char>(text[++i]);
            out += "\\u00";
            out += kHex[d >> 4];
            out += kHex[d & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

} // namespace vexa
