#include "cli/command_line.h"

#include <algorithm>
#include <charconv>
#include <thread>

namespace vexa::cli {

CLI::App& addCommand(CLI::App& parser, const char* name, const char* arguments, const char* summary,
                     std::string details, std::vector<std::string>& positionals) {
    auto& command = *parser.add_subcommand(name, summary);
    command.footer(std::move(details));
    command.allow_extras();
    command.add_option("arguments", positionals)->type_name(arguments);
    return command;
}

CLI::Option* addRepeatable(CLI::App& command, const char* name, std::vector<std::string>& values,
                           const char* valueName, const char* summary) {
    return command.add_option(name, values, summary)
        ->type_name(valueName)
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
}

CLI::Option* addSingle(CLI::App& command, const char* name, std::string& value, const char* valueName,
                       const char* summary) {
    return command.add_option(name, value, summary)
        ->type_name(valueName)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

void rejectUnknownOptions(const CLI::App& command) {
    for (const auto& extra : command.remaining())
        throw UsageError{"unknown option " + extra};
}

std::optional<std::string> filterGiven(const CLI::Option& option, const std::string& value) {
    if (option.count() > 1) throw UsageError{"--filter is given once"};
    return option.count() ? std::optional<std::string>(value) : std::nullopt;
}

std::size_t countOption(const std::string& name, const std::string& text, std::size_t atMost) {
    std::size_t value = 0;
    const auto* end = text.data() + text.size();
    const auto [at, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || at != end || value == 0 || value > atMost)
        throw UsageError{name + " takes a number from 1 to " + std::to_string(atMost) + ", not " + text};
    return value;
}

std::size_t jobsGiven(const CLI::Option& option, const std::string& value) {
    constexpr std::size_t kMostJobs = 256;
    if (option.count()) return countOption("--jobs", value, kMostJobs);
    return std::max(1u, std::thread::hardware_concurrency());
}

std::string gameNames() {
    std::string names;
    for (const auto& game : gamePalettes())
        names += (names.empty() ? "" : ", ") + std::string(game.cliName);
    return names;
}

std::pair<Game, std::string> gamePalette(const std::string& text) {
    const auto eq = text.find('=');
    const auto* game = eq == std::string::npos ? nullptr : findGamePalette(text.substr(0, eq));
    if (!game || eq + 1 == text.size())
        throw UsageError{"--palette takes GAME=FILE, GAME one of " + gameNames() + "; not " + text};
    return {game->game, text.substr(eq + 1)};
}

} // namespace vexa::cli
