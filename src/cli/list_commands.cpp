// vexa-cli detect and list: what a file is, and its entries as the window lists them.

#include "app/extract.h"
#include "app/kinds.h"
#include "app/nested.h"
#include "base/file_io.h"
#include "base/text.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/json_output.h"
#include "cli/opening.h"
#include "formats/content.h"

#include <iostream>

namespace vexa::cli {

namespace {

int runDetect(const std::string& file) {
    // A file is told by its first bytes alone; an entry of a container (a nested path) is opened.
    std::error_code ec;
    const auto code = fs::is_regular_file(file, ec)
                          ? detectKind(*openFileBytes(file), pathText(fs::path(file).filename()))
                          : openPath(file).innermost().kind->code;
    std::cout << codeOf(code) << '\t' << kindName(code) << '\n';
    return 0;
}

struct ListArguments {
    std::string file;
    bool json = false;
    std::optional<std::string> filter;
};

int runList(const ListArguments& a) {
    const auto opened = openFile(a.file);
    const auto& entries = opened.object->Rows();
    // What each entry holds is read only where it is shown or filtered on.
    const auto contents = a.json || (a.filter && parseRowPattern(*a.filter).content)
                              ? classifyEntries(*opened.object, opened.code)
                              : std::vector<const ContentKind*>();
    // Without a filter every entry is shown: no list of 100,000 indices is made for that.
    const auto kept = a.filter ? filterRows(entries, *a.filter, contents) : std::vector<std::size_t>{};
    const std::size_t shown = a.filter ? kept.size() : entries.size();
    const auto entryAt = [&](std::size_t k) { return a.filter ? kept[k] : k; };
    // What is damaged is said on stderr; the listing itself is whole and the exit status 0.
    for (const auto& note : opened.object->ListingNotes())
        std::cerr << printableText(note) << '\n';
    for (std::size_t k = 0; k < shown; ++k) {
        const auto i = entryAt(k);
        if (!entries[i].damaged) continue;
        std::cerr << printableText(a.file + ": entry " + std::to_string(i) + " '" + entries[i].name +
                                   "' is damaged: " + opened.object->EntryDamage(i))
                  << '\n';
    }
    StdoutWriter out;
    if (!a.json) {
        // One entry, one line: a stored name cannot move the cursor or colour the terminal.
        for (std::size_t k = 0; k < shown; ++k)
            out << printableText(entries[entryAt(k)].name) << "\n";
    } else {
        const bool image = isImageKind(opened.code);
        // An entry of a container is named by the whole path, "/" between every level.
        const auto path = opened.nested ? pathText(opened.object->ArchivePath()) : a.file;
        out << "{\"path\": " << jsonString(path) << ", \"type\": " << std::to_string(codeOf(opened.code))
            << ", \"kind\": " << jsonString(kindName(opened.code))
            << ", \"count\": " << (image ? std::string("null") : std::to_string(entries.size()))
            << ", \"entries\": [";
        // 100,000 entries are 100,000 lines: each is made in the output buffer itself.
        auto& text = out.text();
        for (std::size_t k = 0; k < shown; ++k) {
            const auto i = entryAt(k);
            const auto& entry = entries[i];
            text += k ? ",\n  {\"index\": " : "\n  {\"index\": ";
            appendNumber(text, i);
            text += ", \"name\": ";
            appendJsonString(text, entry.name);
            text += ", \"size\": ";
            if (entry.size)
                appendNumber(text, *entry.size);
            else
                text += "null";
            text += ", \"content\": \"";
            text += contentWord(contents[i] ? contents[i]->content : Content::Data);
            text += '"';
            if (entry.external) text += ", \"external\": true";
            text += entry.damaged ? ", \"damaged\": true}" : "}";
            out.flushIfFull();
        }
        out << (shown == 0 ? "]}\n" : "\n]}\n");
    }
    return 0;
}

} // namespace

void addDetect(CLI::App& parser, Job& job) {
    auto args = valuesFor<std::vector<std::string>>();
    auto& command = addCommand(parser, "detect", "FILE", "print the kind code and name of FILE",
                               "Prints the kind code and the kind name, separated by a tab.\n", *args);
    command.callback([&command, args, &job] {
        rejectUnknownOptions(command);
        if (args->size() != 1) throw UsageError{"detect takes one FILE"};
        job = [file = args->front()](const ProgramFolders&) { return runDetect(file); };
    });
}

void addList(CLI::App& parser, Job& job) {
    struct Values {
        std::vector<std::string> args;
        bool json = false;
        std::string filter;
    };
    auto v = valuesFor<Values>();
    auto& command = addCommand(
        parser, "list", "FILE", "list the entries of FILE as the window shows them",
        "Prints one row per entry, as the window lists them. With --json, one object:\n"
        "{\"path\", \"type\", \"kind\", \"count\", \"entries\": [{\"index\", \"name\", \"size\", "
        "\"content\"}]};\n"
        "a damaged entry (its bytes run past the end of the file) also has \"damaged\": true and is named\n"
        "on stderr; a texture a Half-Life map only names (it lives in a WAD) has \"external\": true and\n"
        "no size, and extraction skips it with a note. \"content\" is what the entry holds: picture, "
        "palette, sound, music, text, container\n"
        "(one VEXA opens) or data.\n"
        "--filter keeps the entries whose name holds PATTERN, without regard to letter case; in PATTERN\n"
        "'*' stands for any run of characters and '?' for one. A PATTERN that starts with content:WORD\n"
        "keeps the entries of that content (and of the name pattern after it, if any): 'content:picture'.\n"
        "\"index\" stays the entry's index in the file and \"count\" the number of entries the file holds.\n"
        "FILE may name an entry of a container that is itself a container, to any depth:\n"
        "'id1/pak0.pak/gfx.wad' (\"path\" then shows the whole path, '/' between every level).\n",
        v->args);
    command.add_flag("--json", v->json, "print one JSON object instead of one row per entry");
    auto* filter = addSingle(command, "--filter", v->filter, "PATTERN", kFilterSummary);
    command.callback([&command, v, filter, &job] {
        rejectUnknownOptions(command);
        if (v->args.size() != 1) throw UsageError{"list takes one FILE"};
        job = [a = ListArguments{v->args[0], v->json, filterGiven(*filter, v->filter)}](
                  const ProgramFolders&) { return runList(a); };
    });
}

} // namespace vexa::cli
