#pragma once
// What vexa-cli's commands share: the usage error (exit status 2).

#include <string>
#include <vector>

namespace vexa::cli {

// A command line that does not say what to do: the message and the usage are printed, exit status 2.
struct UsageError {
    std::string message;
};

} // namespace vexa::cli
