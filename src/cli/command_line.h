#pragma once
// How vexa-cli's commands are described to CLI11 and what their command lines share.
//
// Each command has an add function: it adds the sub-command with its options to the parser, and a
// callback that checks what was given, in this program's words, and sets the job to run.

#include "images/palette_files.h"
#include "images/picture.h"

#include <CLI/CLI.hpp>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vexa::cli {

// A command line that does not say what to do: the message and the usage are printed, exit status 2.
struct UsageError {
    std::string message;
};

constexpr const char* kFilterSummary = "keep the entries whose name holds PATTERN ('*', '?' wildcards)";
constexpr const char* kWaitSummary =
    "wait as long as another save of the file takes (else 5 seconds at most)";

// The values of a command's options live as long as the parser, which keeps its callback.
template <typename Values> std::shared_ptr<Values> valuesFor() {
    return std::make_shared<Values>();
}

// A sub-command whose arguments (FILE, TARGET_DIR, ...) it counts itself: arguments names them in
// the usage line. Unknown options are left for rejectUnknownOptions.
CLI::App& addCommand(CLI::App& parser, const char* name, const char* arguments, const char* summary,
                     std::string details, std::vector<std::string>& positionals);
// An option that may be given again, each time with one value.
CLI::Option* addRepeatable(CLI::App& command, const char* name, std::vector<std::string>& values,
                           const char* valueName, const char* summary);
// An option with one value; given twice, the last one counts unless the command checks count().
CLI::Option* addSingle(CLI::App& command, const char* name, std::string& value, const char* valueName,
                       const char* summary);

void rejectUnknownOptions(const CLI::App& command);
// The --filter given once, or nullopt.
std::optional<std::string> filterGiven(const CLI::Option& option, const std::string& value);
// A count given as NAME N: a number from 1 to atMost.
std::size_t countOption(const std::string& name, const std::string& text, std::size_t atMost);
// --jobs N as given, else the number of processors.
std::size_t jobsGiven(const CLI::Option& option, const std::string& value);
// The games --palette takes: "df-bm, jk-bm, ...".
std::string gameNames();
// --palette GAME=FILE.
std::pair<Game, std::string> gamePalette(const std::string& text);

} // namespace vexa::cli
