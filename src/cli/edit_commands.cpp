#include "cli/edit_commands.h"

#include "app/container_edit.h"
#include "app/kinds.h"
#include "base/errors.h"
#include "base/file_io.h"
#include "cli/cli_support.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>

namespace vexa::cli {

namespace {

constexpr const char* kAddHelp =
    "Usage: vexa-cli add CONTAINER PATH... [--as NAME]\n"
    "Adds each file PATH to CONTAINER as an entry named after the file, at the end; an entry of the\n"
    "same name is replaced in its place. With --as (one PATH only) the entry is called NAME ('\\' or\n"
    "'/' between folder levels). A folder PATH adds every file below it, under the folder's name (or\n"
    "under NAME), for the kinds with folders (JK GOB, GOO, PAK, VP).\n";
constexpr const char* kRemoveHelp = "Usage: vexa-cli remove CONTAINER NAME...\n"
                                    "Removes the entries named NAME, as 'vexa-cli list' shows them.\n";
constexpr const char* kRenameHelp = "Usage: vexa-cli rename CONTAINER OLD NEW\n"
                                    "Renames the entry OLD (as 'vexa-cli list' shows it) to NEW.\n";
constexpr const char* kConvertHelp =
    "Usage: vexa-cli convert CONTAINER KIND NEW_PATH\n"
    "Writes the entries of CONTAINER, in their order and byte for byte, as a new container of KIND\n"
    "(as 'vexa-cli create' takes it: df-gob, jk-gob, goo, lab, pak, vp, hog, hog2, lfd) at NEW_PATH.\n"
    "Every name is checked against the new kind's fields before anything is written.\n";
constexpr const char* kEditNote =
    "The container is written anew beside itself and put in place only when whole: on any failure\n"
    "(or Ctrl-C) it stays as it was. Untouched entries are copied byte for byte in their order.\n"
    "Only these kinds can be edited:\n  ";

std::string helpOf(const char* text) {
    return std::string(text) + kEditNote + ContainerEdit::EditableKindNames() + ".\n";
}

// The container at path as an edit; a kind that cannot be edited is refused naming those that can.
ContainerEdit openForEdit(const std::string& path) {
    const auto code = DetectContainerType(path);
    if (!ContainerEdit::Editable(code))
        throw Error(path + ": " + std::string(kindName(code)) +
                    " files cannot be edited; these kinds can: " + ContainerEdit::EditableKindNames());
    auto reader = CreateContainerObject(code);
    reader->ReadDirectory(path);
    return ContainerEdit(std::shared_ptr<const ContainerReader>(std::move(reader)), code);
}

// "maps" for "maps", "maps/" and "/games/maps/.".
std::string folderName(const fs::path& folder) {
    auto path = fs::absolute(folder).lexically_normal();
    if (path.filename().empty()) path = path.parent_path();
    return pathText(path.filename());
}

std::size_t rowNamed(const ContainerEdit& edit, const std::string& name) {
    const auto row = edit.find(name);
    if (!row) throw Error("No entry named " + name + " in " + pathText(edit.path()));
    return *row;
}

void saveEdit(ContainerEdit& edit, ProgressSink& progress) {
    edit.save(&progress);
    std::cout << "Saved File " << pathText(edit.path()) << '\n';
}

int cmdAdd(const std::vector<std::string>& args, ProgressSink& progress) {
    std::vector<std::string> positional;
    std::optional<std::string> as;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--as") {
            if (i + 1 >= args.size()) throw UsageError{"--as needs a value"};
            if (as) throw UsageError{"--as is given once"};
            as = args[++i];
        } else if (args[i].rfind("--", 0) == 0) {
            throw UsageError{"unknown option " + args[i]};
        } else {
            positional.push_back(args[i]);
        }
    }
    if (positional.size() < 2) throw UsageError{"add takes CONTAINER and at least one PATH"};
    if (as && positional.size() != 2) throw UsageError{"--as goes with one PATH only"};
    auto edit = openForEdit(positional[0]);
    for (std::size_t i = 1; i < positional.size(); ++i) {
        const fs::path path = positional[i];
        std::error_code ec;
        if (fs::is_directory(path, ec)) {
            edit.addTree(path, as ? *as : folderName(path));
        } else {
            edit.add(path, as.value_or(std::string()));
        }
    }
    saveEdit(edit, progress);
    return 0;
}

int cmdRemove(const std::vector<std::string>& args, ProgressSink& progress) {
    if (args.size() < 2) throw UsageError{"remove takes CONTAINER and at least one NAME"};
    auto edit = openForEdit(args[0]);
    std::vector<std::size_t> rows;
    for (std::size_t i = 1; i < args.size(); ++i)
        rows.push_back(rowNamed(edit, args[i]));
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    edit.remove(rows);
    saveEdit(edit, progress);
    return 0;
}

int cmdRename(const std::vector<std::string>& args, ProgressSink& progress) {
    if (args.size() != 3) throw UsageError{"rename takes CONTAINER, OLD and NEW"};
    auto edit = openForEdit(args[0]);
    edit.rename(rowNamed(edit, args[1]), args[2]);
    saveEdit(edit, progress);
    return 0;
}

int cmdConvert(const std::vector<std::string>& args, ProgressSink& progress) {
    if (args.size() != 3) throw UsageError{"convert takes CONTAINER, KIND and NEW_PATH"};
    const auto* kind = findCreatableKind(args[1]);
    if (!kind || !ContainerEdit::Editable(kind->code)) throw UsageError{"unknown container kind " + args[1]};
    auto edit = openForEdit(args[0]);
    edit.saveAs(args[2], kind->code, &progress);
    std::cout << "Created File " << args[2] << '\n';
    return 0;
}

struct EditCommand {
    std::string_view name;
    const char* help;
    int (*run)(const std::vector<std::string>&, ProgressSink&);
};

constexpr EditCommand kCommands[] = {
    {"add", kAddHelp, cmdAdd},
    {"remove", kRemoveHelp, cmdRemove},
    {"rename", kRenameHelp, cmdRename},
    {"convert", kConvertHelp, cmdConvert},
};

const EditCommand* findCommand(std::string_view name) {
    for (const auto& c : kCommands)
        if (c.name == name) return &c;
    return nullptr;
}

} // namespace

bool isEditCommand(std::string_view command) {
    return findCommand(command) != nullptr;
}

int runEditCommand(std::string_view command, const std::vector<std::string>& args, ProgressSink& progress) {
    const auto* c = findCommand(command);
    if (!c) throw UsageError{"unknown command " + std::string(command)};
    if (wantsHelp(args)) return std::fputs(helpOf(c->help).c_str(), stdout), 0;
    return c->run(args, progress);
}

} // namespace vexa::cli
