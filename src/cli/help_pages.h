#pragma once
// The help pages of vexa-cli, made from the commands' CLI11 descriptions.

#include <CLI/CLI.hpp>
#include <string>

namespace vexa::cli {

// The usage line first (made from the command's options), then what the command does, its options as
// CLI11 lists them, and its details. The top page lists the commands.
class HelpPages : public CLI::Formatter {
  public:
    std::string make_help(const CLI::App* app, std::string, CLI::AppFormatMode mode) const override;

  private:
    std::string topPage(const CLI::App& parser, CLI::AppFormatMode mode) const;
};

// The first help page, whatever command was chosen: the commands and the program's options.
std::string topHelp(const CLI::App& parser);

} // namespace vexa::cli
