#include "cli/help_pages.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace vexa::cli {

namespace {

constexpr std::size_t kWidth = 100;

const CLI::Option* arguments(const CLI::App& command) {
    for (const auto* option : command.get_options())
        if (option->get_positional()) return option;
    return nullptr;
}

// "Usage: vexa-cli list FILE [--json] [--filter PATTERN]", wrapped under the command's name.
std::string usageLine(const CLI::App& command) {
    const std::string start = "Usage: vexa-cli " + command.get_name();
    std::string out = start, line = start;
    auto add = [&](const std::string& word) {
        if (line.size() + 1 + word.size() > kWidth) {
            out += "\n" + std::string(start.size(), ' ');
            line = std::string(start.size(), ' ');
        }
        out += " " + word;
        line += " " + word;
    };
    if (const auto* args = arguments(command)) add(args->get_type_name());
    for (const auto* option : command.get_options()) {
        if (option->get_positional() || option == command.get_help_ptr()) continue;
        std::string word = "[" + option->get_name();
        if (!option->get_type_name().empty()) word += " " + option->get_type_name(); // none for a flag
        word += "]";
        if (option->get_multi_option_policy() == CLI::MultiOptionPolicy::TakeAll) word += "...";
        add(word);
    }
    return out + "\n";
}

} // namespace

std::string HelpPages::make_help(const CLI::App* app, std::string, CLI::AppFormatMode mode) const {
    if (!app->get_parent()) return topPage(*app, mode);
    return usageLine(*app) + app->get_description() + ".\n" + make_groups(app, mode) + "\n" +
           app->get_footer();
}

std::string HelpPages::topPage(const CLI::App& parser, CLI::AppFormatMode mode) const {
    std::vector<std::pair<std::string, std::string>> rows;
    std::size_t width = 0;
    for (const auto* command : parser.get_subcommands({})) {
        const auto* args = arguments(*command);
        rows.emplace_back(command->get_name() + (args ? " " + args->get_type_name() : ""),
                          command->get_description());
        width = std::max(width, rows.back().first.size());
    }
    std::string out = "Usage: vexa-cli COMMAND [ARGS]\n\nCommands:\n";
    for (const auto& [synopsis, summary] : rows)
        out += "  " + synopsis + std::string(width + 2 - synopsis.size(), ' ') + summary + "\n";
    return out + make_groups(&parser, mode) + "\n" + parser.get_footer();
}

std::string topHelp(const CLI::App& parser) {
    return parser.get_formatter()->make_help(&parser, "", CLI::AppFormatMode::Normal);
}

} // namespace vexa::cli
