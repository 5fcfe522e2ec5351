// vexa-cli find: the entries of every container below a folder, containers inside containers too, whose
// rows match a pattern. The files are searched by a pool of threads this command starts; what they find
// is printed in the walk's order, so every run prints the same.

#include "app/find.h"
#include "base/errors.h"
#include "base/ordered_work.h"
#include "base/text.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/json_output.h"
#include "cli/stop_signals.h"

#include <algorithm>
#include <iostream>

namespace vexa::cli {

namespace {

struct FindArguments {
    std::string folder;
    std::string pattern;
    std::optional<std::string> content;
    std::size_t levels = kMaxNesting;
    std::size_t jobs = 1;
    bool json = false;
};

void printFound(StdoutWriter& out, const FoundEntry& found, bool json) {
    auto& text = out.text();
    if (!json) {
        // A stored name cannot move the cursor or colour the terminal.
        text += printableText(found.container);
        text += '\t';
        text += printableText(found.entry);
        text += '\n';
    } else {
        text += "{\"container\": ";
        appendJsonString(text, found.container);
        text += ", \"entry\": ";
        appendJsonString(text, found.entry);
        text += ", \"index\": ";
        appendNumber(text, found.index);
        text += ", \"size\": ";
        if (found.size)
            appendNumber(text, *found.size);
        else
            text += "null";
        text += ", \"content\": \"";
        text += contentWord(found.content);
        text += "\"}\n";
    }
    out.flushIfFull();
}

int runFind(const FindArguments& a) {
    FindQuery query;
    try {
        query = makeFindQuery(a.pattern, a.content, a.levels);
    } catch (const Error& e) {
        throw UsageError{e.what()};
    }
    std::vector<WalkItem> items;
    try {
        items = walkFolder(a.folder);
    } catch (const Error& e) {
        // As grep: a folder that is not there is a mistake on the command line.
        std::cerr << "vexa-cli: " << printableText(e.what()) << '\n';
        return 2;
    }
    stopOnSignals();
    // A worker stays a window of files ahead of the printer, so a slow file holds back only that many.
    OrderedWork<FileFindings> results(items.size(), a.jobs, std::max<std::size_t>(a.jobs * 4, 16),
                                      [&](std::size_t index) {
                                          FileFindings findings;
                                          if (!items[index].problem.empty() || stopRequested())
                                              return findings;
                                          try {
                                              findings = searchFile(items[index].path, query);
                                          } catch (const std::exception& e) {
                                              // Whatever one file throws costs that file, not the run.
                                              findings.problems.push_back(printableText(e.what()));
                                          }
                                          return findings;
                                      });

    StdoutWriter out;
    bool matched = false;
    bool stopped = false;
    for (std::size_t i = 0; i < items.size() && !stopped; ++i) {
        if (!items[i].problem.empty()) {
            results.take(i);
            out.flush();
            std::cerr << printableText(displayPath(items[i].path) + ": " + items[i].problem) << '\n';
            continue;
        }
        if (stopRequested()) {
            results.stop();
            stopped = true;
            break;
        }
        const auto findings = results.take(i);
        if (!findings) continue;
        if (!findings->problems.empty()) {
            out.flush();
            for (const auto& line : findings->problems)
                std::cerr << printableText(line) << '\n';
        }
        for (const auto& found : findings->found)
            printFound(out, found, a.json);
        matched = matched || !findings->found.empty();
    }
    results.stop();
    out.flush();
    if (stopped || stopRequested()) {
        std::cerr << "find stopped\n";
        return kInterruptedExit;
    }
    return matched ? 0 : 1;
}

} // namespace

void addFind(CLI::App& parser, Job& job) {
    struct Values {
        std::vector<std::string> args;
        bool json = false;
        std::string content, maxDepth, jobs;
    };
    auto v = valuesFor<Values>();
    auto& command = addCommand(
        parser, "find", "FOLDER PATTERN", "find entries matching PATTERN in every container below FOLDER",
        "Walks FOLDER (symbolic links are not followed), opens every file a kind claims by its first bytes\n"
        "or its name, and every container inside those, and prints each entry whose name matches PATTERN\n"
        "as --filter of list does ('*', '?'; content:WORD first keeps one content): CONTAINER<TAB>ROW,\n"
        "CONTAINER being the path of the container, '/' between every level\n"
        "('game/id1/pak0.pak/gfx.wad'). With --json, one object a line:\n"
        "{\"container\", \"entry\", \"index\", \"size\", \"content\"}.\n"
        "--content WORD keeps the entries of that content (picture, palette, sound, music, text,\n"
        "container, data). --max-depth N opens containers N levels deep, the file being the first\n"
        "(1: only the files' own entries; 16 at most and by default). --jobs N searches N files at a\n"
        "time (the number of processors by default); the output keeps the walk's order.\n"
        "A file or folder that cannot be read, a link, a FIFO or a damaged container is one line on\n"
        "stderr and the walk goes on. Exit status: 0 when an entry matched, 1 when none did, 2 on a\n"
        "usage error.\n",
        v->args);
    command.add_flag("--json", v->json, "print one JSON object a line instead of CONTAINER<TAB>ROW");
    auto* content = addSingle(command, "--content", v->content, "WORD", "keep the entries of that content");
    auto* depth = addSingle(command, "--max-depth", v->maxDepth, "N", "open containers N levels deep (16)");
    auto* jobs = addSingle(command, "--jobs", v->jobs, "N", "search N files at a time");
    command.callback([&command, v, content, depth, jobs, &job] {
        rejectUnknownOptions(command);
        if (v->args.size() != 2) throw UsageError{"find takes FOLDER and PATTERN"};
        FindArguments a{v->args[0], v->args[1], std::nullopt, kMaxNesting, 1, v->json};
        if (content->count()) a.content = v->content;
        if (depth->count()) a.levels = countOption("--max-depth", v->maxDepth, kMaxNesting);
        a.jobs = jobsGiven(*jobs, v->jobs);
        job = [a](const ProgramFolders&) { return runFind(a); };
    });
}

} // namespace vexa::cli
