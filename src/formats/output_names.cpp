#include "formats/output_names.h"

#include "base/text.h"

#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace vexa {

namespace {

constexpr char kReplacement = '^';
constexpr std::string_view kUnsafe = "\\/:*?\"<>|";

std::string safeFileName(const std::string& name) {
    auto out = replaceUnsafeCharacters(name);
    if (out.find_first_not_of('.') == std::string::npos) out.insert(out.begin(), kReplacement);
    return out;
}

} // namespace

std::string replaceUnsafeCharacters(std::string text) {
    for (auto& c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || kUnsafe.find(c) != std::string_view::npos) c = kReplacement;
    }
    return text;
}

std::vector<std::string> flatOutputNames(const std::vector<std::string>& names) {
    std::vector<std::string> out;
    out.reserve(names.size());
    for (const auto& n : names)
        out.push_back(safeFileName(n));
    return numberRepeats(std::move(out));
}

std::vector<std::string> numberRepeats(std::vector<std::string> out) {
    // Every name some entry has is reserved up front, so a numbered name never takes the name of a
    // later entry (a real lump called THINGS_1).
    std::unordered_set<std::string> taken;
    for (const auto& n : out)
        taken.insert(toUpperAscii(n));
    if (taken.size() == out.size()) return out; // nothing repeats

    std::unordered_set<std::string> seen;
    std::unordered_map<std::string, std::size_t> nextNumber;
    for (auto& n : out) {
        const auto key = toUpperAscii(n);
        if (seen.insert(key).second) continue;
        const auto ext = extensionOf(n);
        const auto stem = n.substr(0, n.size() - ext.size());
        auto& number = nextNumber[key];
        std::string candidate;
        do {
            candidate = stem + "_" + std::to_string(++number) + ext;
        } while (!taken.insert(toUpperAscii(candidate)).second);
        n = std::move(candidate);
    }
    return out;
}

std::vector<std::string> flatOutputNames(const std::vector<EntryRow>& records) {
    std::vector<std::string> names;
    names.reserve(records.size());
    for (const auto& r : records)
        names.push_back(r.name);
    return flatOutputNames(names);
}

} // namespace vexa
