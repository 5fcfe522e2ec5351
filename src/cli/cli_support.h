#pragma once
// What vexa-cli's commands share: the usage error (exit status 2) and the --help test.

#include <string>
#include <vector>

namespace vexa::cli {

// A command line that does not say what to do: the message and the usage are printed, exit status 2.
struct UsageError {
    std::string message;
};

inline bool wantsHelp(const std::vector<std::string>& args) {
    for (const auto& a : args)
        if (a == "--help" || a == "-h") return true;
    return false;
}

} // namespace vexa::cli
