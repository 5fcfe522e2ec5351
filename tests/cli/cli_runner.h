#pragma once
// Runs the built vexa-cli with args, as the command-line tests do. With VEXA_CLI_EXE set, that
// program is run instead, through VEXA_CLI_WRAPPER when given (vexa-cli.exe under Wine: see
// scripts/test-windows.sh).

#include "support/test_files.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace vexa::test {

inline std::string environmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

inline std::string cliProgram() {
    const auto chosen = environmentValue("VEXA_CLI_EXE");
    return chosen.empty() ? VEXA_CLI_PATH : chosen;
}

// Whether the program under test is the Windows build: what cannot hold there (POSIX permissions,
// FIFOs, symbolic links, signals) is skipped.
inline bool cliIsWindows() {
    const auto program = cliProgram();
    return program.size() > 4 && program.compare(program.size() - 4, 4, ".exe") == 0;
}

// A path as the program under test shows it: leaf joined to folder with its own separator.
inline std::string shownPath(const std::filesystem::path& folder, const std::string& leaf) {
    return folder.string() + (cliIsWindows() ? "\\" : "/") + leaf;
}

inline RunResult cli(std::vector<std::string> args) {
    args.insert(args.begin(), cliProgram());
    if (const auto wrapper = environmentValue("VEXA_CLI_WRAPPER"); !wrapper.empty())
        args.insert(args.begin(), wrapper);
    return runCommand(args);
}

} // namespace vexa::test
