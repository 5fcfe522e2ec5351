#include "base/safe_path.h"

#include "base/text.h"

#include <array>
#include <vector>

namespace vexa {

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
constexpr bool kWindowsNames = true;
#else
constexpr bool kWindowsNames = false;
#endif

bool isDeviceName(std::string base) {
    base = toUpperAscii(base);
    static constexpr std::array<std::string_view, 6> kFixed = {"CON", "NUL",    "AUX",
                                                               "PRN", "CONIN$", "CONOUT$"};
    for (const auto device : kFixed)
        if (base == device) return true;
    if (base.compare(0, 3, "COM") != 0 && base.compare(0, 3, "LPT") != 0) return false;
    const auto number = std::string_view(base).substr(3);
    // COM1 to COM9, and the superscript digits Windows also takes (UTF-8 of "¹", "²", "³").
    return (number.size() == 1 && number[0] >= '0' && number[0] <= '9') || number == "\xC2\xB9" ||
           number == "\xC2\xB2" || number == "\xC2\xB3";
}

} // namespace

std::string windowsNameRefusal(std::string_view part) {
    if (!part.empty() && (part.back() == '.' || part.back() == ' '))
        return "the name ends in a dot or a space, which Windows drops";
    // The device is what stands before the first dot, spaces before it ignored: "nul .txt" is NUL.
    auto base = part.substr(0, part.find('.'));
    while (!base.empty() && base.back() == ' ')
        base.remove_suffix(1);
    std::string refusal;
    if (isDeviceName(std::string(base)))
        refusal.append("\"").append(base).append("\" is a device name on Windows");
    return refusal;
}

std::variant<fs::path, RefusedName> safeOutputPath(const fs::path& target, const std::string& name) {
    if (name.empty()) return RefusedName{"the name is empty"};
    for (unsigned char c : name)
        if (c < 0x20 || c == 0x7F) return RefusedName{"the name holds a control character"};
    if (name.front() == '\\' || name.front() == '/') return RefusedName{"the name is rooted"};
    if (name.size() >= 2 && name[1] == ':') return RefusedName{"the name starts with a drive letter"};

    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
        const auto sep = name.find_first_of("\\/", start);
        parts.push_back(name.substr(start, sep == std::string::npos ? std::string::npos : sep - start));
        if (sep == std::string::npos) break;
        start = sep + 1;
    }
    fs::path out = target;
    for (const auto& part : parts) {
        if (part.empty()) return RefusedName{"the name has an empty folder level"};
        if (part == "." || part == "..") return RefusedName{"the name holds a \"" + part + "\" level"};
        if (part.find(':') != std::string::npos)
            return RefusedName{"the name holds a device or drive prefix"};
        if (kWindowsNames)
            if (auto refused = windowsNameRefusal(part); !refused.empty())
                return RefusedName{std::move(refused)};
        out /= part;
    }
    return out;
}

} // namespace vexa
