// vexa-cli add, remove and rename: edits of a writable container, saved in place so that any failure
// leaves the container as it was.

#include "app/container_edit.h"
#include "app/kinds.h"
#include "base/errors.h"
#include "base/file_io.h"
#include "base/text.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/opening.h"
#include "cli/picture_options.h"
#include "cli/stop_signals.h"
#include "cli/terminal_progress.h"

#include <algorithm>
#include <iostream>
#include <optional>
#include <string_view>

namespace vexa::cli {

namespace {

using Writing = ContainerEdit::Writing;

constexpr const char* kAddDetails =
    "Adds each file PATH to CONTAINER as an entry named after the file, at the end; an entry of the\n"
    "same name is replaced in its place. With --as (one PATH only) the entry is called NAME ('\\' or\n"
    "'/' between folder levels). A folder PATH adds every file below it, under the folder's name (or\n"
    "under NAME), for the kinds with folders (JK GOB, GOO, PAK, VP). A PNG or BMP picture added to a\n"
    "Quake WAD2 or Half-Life WAD3 becomes a mip texture named after the file without its extension (or\n"
    "NAME), made as 'vexa-cli import' makes it, with its options --palette, --dither, --speed,\n"
    "--fullbright (WAD2) and --fog (WAD3); the other lumps are kept byte for byte.\n";
constexpr const char* kRemoveDetails = "Removes the entries named NAME, as 'vexa-cli list' shows them.\n";
constexpr const char* kRenameDetails = "Renames the entry OLD (as 'vexa-cli list' shows it) to NEW.\n";
constexpr const char* kEditNote =
    "has only its end rewritten, in place; any other edit (or any edit with --no-in-place) writes the\n"
    "container anew beside itself, with its mode and owner, and puts it in place only when whole. Either\n"
    "way, on any failure (or Ctrl-C) it stays as it was, and untouched entries keep their bytes and order.\n"
    "A CONTAINER that is a symbolic link: the file it points to is edited, and the link stays.\n"
    "A name given (NEW, --as NAME, a file's own name) that the kind would store cut is refused, naming\n"
    "the kind's limit; names from a folder are cut as 'create' cuts them, each cut said on stderr.\n"
    "Another vexa-cli or VEXA window saving the same container is waited for, 5 seconds at most unless\n"
    "--wait is given; what another program changed meanwhile is kept. Only these kinds can be edited:\n  ";

// "PAK or Dark Forces GOB": the writable kinds that say yes, from their records.
std::string writableKindsWhere(bool (*says)(const CreatableKind&)) {
    std::vector<std::string> names;
    for (const auto& k : creatableKinds())
        if (k.createWriter && says(k)) {
            const std::string name(kindName(k.code));
            if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
        }
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i)
        text += (i == 0 ? "" : i + 1 == names.size() ? " or " : ", ") + names[i];
    return text;
}

std::string editDetails(const char* details) {
    const auto inPlace = writableKindsWhere(
        [](const CreatableKind& k) { return k.createWriter()->DirectoryOffsetField().has_value(); });
    const auto caseSensitive = writableKindsWhere([](const CreatableKind& k) {
        const auto* kind = findKind(k.code);
        return kind && !kind->namesIgnoreCase;
    });
    return std::string(details) + "A " + inPlace +
           " whose kept entries stay where they are (files added at the end,\nrenames) " + kEditNote +
           ContainerEdit::EditableKindNames() +
           ".\nLetter case is ignored in names as the games ignore it, " + "except in " + caseSensitive +
           ".\n";
}

// --wait and --no-in-place.
struct SaveFlags {
    bool wait = false, wholeFile = false;
    Writing writing() const { return wholeFile ? Writing::WholeFile : Writing::InPlaceWherePossible; }
};

void addSaveFlags(CLI::App& command, SaveFlags& flags) {
    command.add_flag("--wait", flags.wait, kWaitSummary);
    command.add_flag("--no-in-place", flags.wholeFile,
                     "write the container anew even where only its end would change (for a program "
                     "that reads it meanwhile)");
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

// A file whose own name the kind cannot store as it is: --as is the way out.
void addUnderItsOwnName(ContainerEdit& edit, const fs::path& file) {
    try {
        edit.add(file);
    } catch (const NameDoesNotFit& e) {
        throw Error(std::string(e.what()) + "; give the entry a name that fits with --as NAME");
    }
}

// Opens container as an edit, makes the changes and saves them through the terminal's progress bar;
// Ctrl-C leaves the container as it was.
template <typename Change>
int editAndSave(const std::string& container, const ProgramFolders& folders, SaveFlags flags, Change change) {
    stopOnSignals();
    TerminalProgress progress(flags.wait);
    auto edit = openForEdit(container, folders);
    change(edit);
    const auto cut = edit.cutNames(edit.kind());
    edit.save(&progress, flags.writing());
    reportCutNames(cut, edit.kind());
    std::cout << "Saved File " << printableText(pathText(edit.path())) << '\n';
    return 0;
}

// The picture options, where one was given (given: its name), for the pictures the container's
// textures are made of.
void usePictureOptions(ContainerEdit& edit, const std::optional<std::string>& given,
                       const PictureChoices& choices, const ProgramFolders& folders) {
    if (!given) return;
    const auto textures = edit.textureKind();
    if (!textures)
        throw Error(*given + " is for pictures added to a Quake WAD2 or Half-Life WAD3; " +
                    pathText(edit.path()) + " is a " + std::string(kindName(edit.kind())) + " file");
    try {
        if (choices.fullbright) requireKindTakes(*textures, "--fullbright", TextureKind::Wad2);
        if (choices.fog) requireKindTakes(*textures, "--fog", TextureKind::Wad3);
    } catch (const UsageError& e) {
        throw Error(e.message);
    }
    edit.setImportOptions(importOptions(choices, folders));
}

int runAdd(const std::string& container, const std::vector<std::string>& paths,
           const std::optional<std::string>& as, const std::optional<std::string>& pictureOption,
           const PictureChoices& pictures, const ProgramFolders& folders, SaveFlags flags) {
    return editAndSave(container, folders, flags, [&](ContainerEdit& edit) {
        usePictureOptions(edit, pictureOption, pictures, folders);
        for (const auto& given : paths) {
            const fs::path path = given;
            std::error_code ec;
            if (fs::is_directory(path, ec)) {
                std::vector<fs::path> skipped;
                edit.addTree(path, as ? *as : folderName(path), &skipped);
                reportSkipped(skipped);
            } else if (as)
                edit.add(path, *as);
            else
                addUnderItsOwnName(edit, path);
        }
    });
}

int runRemove(const std::string& container, const std::vector<std::string>& names,
              const ProgramFolders& folders, SaveFlags flags) {
    return editAndSave(container, folders, flags, [&](ContainerEdit& edit) {
        std::vector<std::size_t> rows;
        for (const auto& name : names)
            rows.push_back(rowNamed(edit, name));
        std::sort(rows.begin(), rows.end());
        rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
        edit.remove(rows);
    });
}

int runRename(const std::string& container, const std::string& oldName, const std::string& newName,
              const ProgramFolders& folders, SaveFlags flags) {
    return editAndSave(container, folders, flags,
                       [&](ContainerEdit& edit) { edit.rename(rowNamed(edit, oldName), newName); });
}

} // namespace

void addAdd(CLI::App& parser, Job& job) {
    struct Values {
        std::vector<std::string> args;
        std::string as;
        SaveFlags save;
        PictureOptionValues pictures;
    };
    auto v = valuesFor<Values>();
    auto& command = addCommand(parser, "add", "CONTAINER PATH...", "add or replace entries of a container",
                               editDetails(kAddDetails), v->args);
    auto* as = addSingle(command, "--as", v->as, "NAME", "the name of the entry (one PATH only)");
    addSaveFlags(command, v->save);
    addPictureOptions(command, v->pictures);
    command.callback([&command, v, as, &job] {
        rejectUnknownOptions(command);
        auto pictureOption = pictureOptionGiven(command);
        if (as->count() > 1) throw UsageError{"--as is given once"};
        if (v->args.size() < 2) throw UsageError{"add takes CONTAINER and at least one PATH"};
        if (as->count() && v->args.size() != 2) throw UsageError{"--as goes with one PATH only"};
        job = [args = v->args, name = as->count() ? std::optional<std::string>(v->as) : std::nullopt,
               save = v->save, pictureOption = std::move(pictureOption),
               pictures = pictureChoices(v->pictures)](const ProgramFolders& folders) {
            return runAdd(args[0], {args.begin() + 1, args.end()}, name, pictureOption, pictures, folders,
                          save);
        };
    });
}

void addRemove(CLI::App& parser, Job& job) {
    auto args = valuesFor<std::vector<std::string>>();
    auto save = valuesFor<SaveFlags>();
    auto& command = addCommand(parser, "remove", "CONTAINER NAME...", "remove entries of a container",
                               editDetails(kRemoveDetails), *args);
    addSaveFlags(command, *save);
    command.callback([&command, args, save, &job] {
        rejectUnknownOptions(command);
        if (args->size() < 2) throw UsageError{"remove takes CONTAINER and at least one NAME"};
        job = [a = *args, flags = *save](const ProgramFolders& folders) {
            return runRemove(a[0], {a.begin() + 1, a.end()}, folders, flags);
        };
    });
}

void addRename(CLI::App& parser, Job& job) {
    auto args = valuesFor<std::vector<std::string>>();
    auto save = valuesFor<SaveFlags>();
    auto& command = addCommand(parser, "rename", "CONTAINER OLD NEW", "rename an entry of a container",
                               editDetails(kRenameDetails), *args);
    addSaveFlags(command, *save);
    command.callback([&command, args, save, &job] {
        rejectUnknownOptions(command);
        if (args->size() != 3) throw UsageError{"rename takes CONTAINER, OLD and NEW"};
        job = [a = *args, flags = *save](const ProgramFolders& folders) {
            return runRename(a[0], a[1], a[2], folders, flags);
        };
    });
}

} // namespace vexa::cli
