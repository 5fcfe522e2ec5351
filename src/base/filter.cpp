#include "base/filter.h"

namespace vexa {

namespace {

// Names are UTF-8 made from 8-bit bytes; a byte that does not start a well-formed sequence is
// taken as one character of its own value, so no input makes the match fail or skip bytes.
std::u32string foldedCharacters(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        char32_t cp = c;
        std::size_t length = 1;
        if (c >= 0xC2 && c <= 0xDF && i + 1 < text.size() &&
            (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80) {
            cp = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3Fu);
            length = 2;
        } else if (c >= 0xE0 && c <= 0xEF && i + 2 < text.size() &&
                   (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80 &&
                   (static_cast<unsigned char>(text[i + 2]) & 0xC0) == 0x80) {
            cp = ((c & 0x0Fu) << 12) | ((static_cast<unsigned char>(text[i + 1]) & 0x3Fu) << 6) |
                 (static_cast<unsigned char>(text[i + 2]) & 0x3Fu);
            length = 3;
        } else if (c >= 0xF0 && c <= 0xF4 && i + 3 < text.size() &&
                   (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80 &&
                   (static_cast<unsigned char>(text[i + 2]) & 0xC0) == 0x80 &&
                   (static_cast<unsigned char>(text[i + 3]) & 0xC0) == 0x80) {
            cp = ((c & 0x07u) << 18) | ((static_cast<unsigned char>(text[i + 1]) & 0x3Fu) << 12) |
                 ((static_cast<unsigned char>(text[i + 2]) & 0x3Fu) << 6) |
                 (static_cast<unsigned char>(text[i + 3]) & 0x3Fu);
            length = 4;
        }
        // Upper case to lower: ASCII, and Latin-1's letters (all but the multiplication sign).
        if ((cp >= U'A' && cp <= U'Z') || (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7)) cp += 0x20;
        out.push_back(cp);
        i += length;
    }
    return out;
}

} // namespace

NameFilter::NameFilter(std::string_view pattern) {
    if (pattern.empty()) return;
    pattern_ = U"*" + foldedCharacters(pattern) + U"*";
}

bool NameFilter::matches(std::string_view name) const {
    if (pattern_.empty()) return true;
    const auto n = foldedCharacters(name);
    const auto& m = pattern_;
    // Iterative glob with one backtrack point: linear in practice, never exponential.
    std::size_t ni = 0, mi = 0, starMi = std::u32string::npos, starNi = 0;
    while (ni < n.size()) {
        if (mi < m.size() && m[mi] != U'*' && (m[mi] == U'?' || m[mi] == n[ni])) {
            ++ni;
            ++mi;
        } else if (mi < m.size() && m[mi] == U'*') {
            starMi = mi++;
            starNi = ni;
        } else if (starMi != std::u32string::npos) {
            mi = starMi + 1;
            ni = ++starNi;
        } else {
            return false;
        }
    }
    while (mi < m.size() && m[mi] == U'*')
        ++mi;
    return mi == m.size();
}

std::vector<std::size_t> filterRows(const std::vector<std::string>& names, std::string_view pattern) {
    const NameFilter filter(pattern);
    std::vector<std::size_t> rows;
    for (std::size_t i = 0; i < names.size(); ++i)
        if (filter.matches(names[i])) rows.push_back(i);
    return rows;
}

} // namespace vexa
