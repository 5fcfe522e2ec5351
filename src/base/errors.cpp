#include "base/errors.h"

namespace vexa {

std::string displayPath(const std::filesystem::path& path) {
    return path.string();
}
Error cannotOpen(const std::filesystem::path& path) {
    return Error("Cannot open file " + displayPath(path));
}
Error cannotCreate(const std::filesystem::path& path) {
    return Error("Cannot create file " + displayPath(path));
}

} // namespace vexa
