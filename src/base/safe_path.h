#pragma once
// The one path-safety routine for extraction: turns an entry name into a path below the target
// folder, or refuses it with the reason. Every kind's extraction goes through it.

#include <filesystem>
#include <string>
#include <string_view>
#include <variant>

namespace vexa {

struct RefusedName {
    std::string reason;
};

// Why Windows cannot hold part as a file or folder name of its own, or empty when it can: a device
// name (CON, NUL, AUX, PRN, CONIN$, CONOUT$, COM0-COM9, LPT0-LPT9), alone or before an extension, in
// any case, opens the device in every folder; a trailing dot or space is dropped, so "A." would
// land on "A". Elsewhere these are ordinary names and are kept: refusing them there would lose
// entries for the sake of a later copy.
std::string windowsNameRefusal(std::string_view part);

// Splits name on "\" and "/" and joins the checked components under target. Refused (not
// stripped): an empty name or component, "." and "..", rooted names, drive letters and device
// prefixes, control bytes; on Windows also what windowsNameRefusal refuses. Nothing on disk is
// looked at here: the file layer resolves the result beneath the target when it opens it
// (OutputRoot).
std::variant<std::filesystem::path, RefusedName> safeOutputPath(const std::filesystem::path& target,
                                                                const std::string& name);

} // namespace vexa
