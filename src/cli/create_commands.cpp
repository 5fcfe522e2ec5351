// vexa-cli create and convert: a new container, from a folder or from the entries of another.

#include "app/container_edit.h"
#include "app/kinds.h"
#include "app/wad_batch.h"
#include "base/errors.h"
#include "base/file_io.h"
#include "base/text.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/opening.h"
#include "cli/stop_signals.h"
#include "cli/terminal_progress.h"

#include <iostream>

namespace vexa::cli {

namespace {

struct CreateArguments {
    const CreatableKind* kind = nullptr;
    std::string source, newPath;
    bool wait = false;
};

int runCreate(const CreateArguments& a, const ProgramFolders& folders) {
    const fs::path source = a.source;
    if (!fs::is_directory(source)) throw FileError(FileAction::Open, source, "it is not a folder");
    if (a.kind->gathering == Gathering::None) {
        std::cout << printableText(pathText(writeHalfLifeWadBatch(folders, source, a.newPath))) << '\n';
        return 0;
    }
    std::vector<fs::path> skipped;
    const auto files = a.kind->gathering == Gathering::Tree ? GatherFolderTree(source, skipped)
                                                            : GatherFolderFiles(source, skipped);
    reportSkipped(skipped);
    stopOnSignals();
    TerminalProgress progress(a.wait);
    reportCutNames(a.kind->createWriter()->WriteContainer(a.newPath, source, files, &progress), a.kind->code);
    std::cout << "Created File " << printableText(a.newPath) << '\n';
    return 0;
}

std::string createDetails() {
    std::string text = "Builds a new container from the files of SOURCE_DIR (and, for the kinds marked\n"
                       "(subdirs), of its sub-folders), sorted by name. KIND is one of:\n";
    for (const auto& k : creatableKinds())
        if (k.createWriter || k.gathering == Gathering::None)
            text += "  " + std::string(k.cliName) + "\t" + std::string(k.caption) + "\n";
    text += "For hl-wad nothing is built here: go.bat, which runs makels.exe and qlumpy.exe from the\n"
            "HalfLife folder, is written into the Temp folder beside vexa-cli (for an installed copy,\n"
            "$XDG_CACHE_HOME/vexa/Temp) and its path printed.\n";
    return text;
}

// The entries of container, byte for byte and in their order, as a new container of kind (a
// writable kind's command-line name) at newPath.
int runConvert(const std::string& container, const std::string& kind, const std::string& newPath, bool wait,
               const ProgramFolders& folders) {
    stopOnSignals();
    TerminalProgress progress(wait);
    const auto* to = findCreatableKind(kind);
    if (!to || !ContainerEdit::Editable(to->code)) throw UsageError{"unknown container kind " + kind};
    auto edit = openForEdit(container, folders, true);
    const auto cut = edit.cutNames(to->code);
    edit.saveAs(newPath, to->code, &progress);
    reportCutNames(cut, to->code);
    std::cout << "Created File " << printableText(newPath) << '\n';
    return 0;
}

std::string convertDetails() {
    return "Writes the entries of CONTAINER, in their order and byte for byte, as a new container of KIND\n"
           "(as 'vexa-cli create' takes it: df-gob, jk-gob, goo, lab, pak, vp, hog, hog2, lfd; or wad2, "
           "wad3)\n"
           "at NEW_PATH. Every name is checked against the new kind's fields before anything is written.\n"
           "Between Quake WAD2 and Half-Life WAD3 the textures and pictures are mapped onto the target's\n"
           "palette (WAD3 carries Quake's as each texture's own); palettes, fonts and other lumps are kept.\n"
           "A file at NEW_PATH is replaced only when the new one is whole, keeping its mode and owner;\n"
           "another save of it is waited for (5 seconds at most unless --wait is given). These kinds can\n"
           "be read and written:\n  " +
           ContainerEdit::EditableKindNames() + ".\n";
}

} // namespace

void addCreate(CLI::App& parser, Job& job) {
    auto args = valuesFor<std::vector<std::string>>();
    auto wait = valuesFor<bool>();
    auto& command = addCommand(parser, "create", "KIND SOURCE_DIR NEW_PATH",
                               "build a new container from a folder", createDetails(), *args);
    command.add_flag("--wait", *wait, kWaitSummary);
    command.callback([&command, args, wait, &job] {
        rejectUnknownOptions(command);
        if (args->size() != 3) throw UsageError{"create takes KIND, SOURCE_DIR and NEW_PATH"};
        const auto* kind = findCreatableKind((*args)[0]);
        if (!kind || (!kind->createWriter && kind->gathering != Gathering::None))
            throw UsageError{"unknown container kind " + (*args)[0]};
        job = [a = CreateArguments{kind, (*args)[1], (*args)[2], *wait}](const ProgramFolders& folders) {
            return runCreate(a, folders);
        };
    });
}

void addConvert(CLI::App& parser, Job& job) {
    auto args = valuesFor<std::vector<std::string>>();
    auto wait = valuesFor<bool>();
    auto& command = addCommand(parser, "convert", "CONTAINER KIND NEW_PATH",
                               "write a container's entries as another kind", convertDetails(), *args);
    command.add_flag("--wait", *wait, kWaitSummary);
    command.callback([&command, args, wait, &job] {
        rejectUnknownOptions(command);
        if (args->size() != 3) throw UsageError{"convert takes CONTAINER, KIND and NEW_PATH"};
        job = [a = *args, wait = *wait](const ProgramFolders& folders) {
            return runConvert(a[0], a[1], a[2], wait, folders);
        };
    });
}

} // namespace vexa::cli
