#include "base/safe_path.h"

#include <vector>

namespace vexa {

namespace fs = std::filesystem;

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
        out /= part;
    }
    return out;
}

} // namespace vexa
