// vexa-cli: the command-line face of VEXA, over the same core as the window. This file reads the
// command line and hands it to the command it names.

#include "app/Global.h"
#include "base/errors.h"
#include "base/platform.h"
#include "base/text.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/help_pages.h"
#include "cli/stop_signals.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

using namespace vexa;
using namespace vexa::cli;

namespace {

// The order of the top help page.
constexpr void (*kCommands[])(CLI::App&, Job&) = {addDetect, addList,    addFind, addExtract,
                                                  addCreate, addImport,  addAdd,  addRemove,
                                                  addRename, addConvert, addMount};

// The folder of the running executable, where Data is kept.
fs::path programFolder(const char* argv0) {
    if (const auto exe = platform::executablePath(); !exe.empty()) return fs::path(exe).parent_path();
    std::error_code ec;
    return fs::absolute(argv0, ec).parent_path();
}

// A usage error of CLI11's own, in this program's words where they existed before it.
UsageError usageErrorOf(const CLI::ParseError& error) {
    const std::string text = error.what();
    // "--filter: 1 required PATTERN missing"
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) && text.find(" required ") != std::string::npos &&
        text.find(':') != std::string::npos)
        return {text.substr(0, text.find(':')) + " needs a value"};
    return {text};
}

} // namespace

int main(int argc, char** argv) {
    platform::setUpConsole();
    auto args = platform::commandLine(argc, argv);
    if (!args.empty()) args.erase(args.begin());

    CLI::App parser("", "vexa-cli");
    parser.formatter(std::make_shared<HelpPages>());
    parser.footer(
        "Run 'vexa-cli COMMAND --help' for the options of one command, 'vexa-cli --version' for the\n"
        "version.\n");
    parser.allow_extras();
    // CLI11 on Windows takes "/x" for an option: a path such as /tmp/a.gob is an argument here.
    parser.allow_windows_style_options(false);
    bool version = false;
    parser.add_flag("--version", version, "print vexa-cli and its version");
    Job job;
    for (const auto add : kCommands)
        add(parser, job);

    if (args.empty()) {
        std::cerr << topHelp(parser);
        return 2;
    }
    try {
        try {
            std::reverse(args.begin(), args.end()); // CLI11 takes them last first
            parser.parse(args);
        } catch (const CLI::CallForHelp&) {
            std::cout << parser.help();
            return 0;
        } catch (const CLI::ParseError& e) {
            throw usageErrorOf(e);
        }
        if (const auto& extra = parser.remaining(); !extra.empty())
            throw UsageError{"unknown command " + extra[0]};
        if (version) return std::fputs("vexa-cli " VEXA_VERSION "\n", stdout), 0;
        if (!job) {
            std::cerr << topHelp(parser);
            return 2;
        }
        // Read only: a command-line run leaves the folders as it found them.
        const auto folders = ProgramFolders::locate(programFolder(argv[0]), userFoldersFromEnvironment());
        return job(folders);
    } catch (const Cancelled& e) {
        std::cerr << printableText(e.what()) << '\n';
        return kInterruptedExit;
    } catch (const UsageError& e) {
        std::cerr << "vexa-cli: " << printableText(e.message) << "\n\n" << topHelp(parser);
        return 2;
    } catch (const std::exception& e) {
        std::cerr << printableText(e.what()) << '\n';
        return 1;
    }
}
