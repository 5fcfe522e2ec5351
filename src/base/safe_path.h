#pragma once
// The one path-safety routine for extraction: turns an entry name into a path below the target
// folder, or refuses it with the reason. Every kind's extraction goes through it.

#include <filesystem>
#include <string>
#include <variant>

namespace vexa {

struct RefusedName {
    std::string reason;
};

// Splits name on "\" and "/" and joins the checked components under target. Refused (not
// stripped): an empty name or component, "." and "..", rooted names, drive letters and device
// prefixes, control bytes. Nothing on disk is looked at here: the file layer resolves the result
// beneath the target when it opens it (OutputRoot).
std::variant<std::filesystem::path, RefusedName> safeOutputPath(const std::filesystem::path& target,
                                                                const std::string& name);

} // namespace vexa
