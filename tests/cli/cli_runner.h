#pragma once
// Runs the built vexa-cli with args, as the command-line tests do.

#include "support/test_files.h"

#include <string>
#include <vector>

namespace vexa::test {

inline RunResult cli(std::vector<std::string> args) {
    args.insert(args.begin(), VEXA_CLI_PATH);
    return runCommand(args);
}

} // namespace vexa::test
