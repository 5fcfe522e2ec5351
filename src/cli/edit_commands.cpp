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

constexpr const char* kAddDetails =
    "Adds each file PATH to CONTAINER as an entry named after the file, at the end; an entry of the\n"
    "same name is replaced in its place. With --as (one PATH only) the entry is called NAME ('\\' or\n"
    "'/' between folder levels). A folder PATH adds every file below it, under the folder's name (or\n"
    "under NAME), for the kinds with folders (JK GOB, GOO, PAK, VP).\n";
constexpr const char* kRemoveDetails = "Removes the entries named NAME, as 'vexa-cli list' shows them.\n";
constexpr const char* kRenameDetails = "Renames the entry OLD (as 'vexa-cli list' shows it) to NEW.\n";
constexpr const char* kConvertDetails =
    "Writes the entries of CONTAINER, in their order and byte for byte, as a new container of KIND\n"
    "(as 'vexa-cli create' takes it: df-gob, jk-gob, goo, lab, pak, vp, hog, hog2, lfd) at NEW_PATH.\n"
    "Every name is checked against the new kind's fields before anything is written.\n";
constexpr const char* kEditNote =
    "A PAK or Dark Forces GOB whose kept entries stay where they are (files added at the end, renames)\n"
    "has only its end rewritten, in place; any other edit (or any edit with --no-in-place) writes the\n"
    "container anew beside itself, with its mode and owner, and puts it in place only when whole. Either\n"
    "way, on any failure (or Ctrl-C) it stays as it was, and untouched entries keep their bytes and order.\n"
    "Another vexa-cli or VEXA window saving the same container is waited for, 5 seconds at most unless\n"
    "--wait is given; what another program changed meanwhile is kept. Only these kinds can be edited:\n  ";

// The container at path as an edit; a kind that cannot be edited is refused naming those that can.
ContainerEdit openForEdit(const std::string& path) {
    const auto bytes = openFileBytes(path);
    const auto code = detectKind(*bytes, pathText(fs::path(path).filename()));
    if (!ContainerEdit::Editable(code))
        throw Error(path + ": " + std::string(kindName(code)) +
                    " files cannot be edited; these kinds can: " + ContainerEdit::EditableKindNames());
    return ContainerEdit(readContainer(code, bytes), code);
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

void saveEdit(ContainerEdit& edit, Writing writing, ProgressSink& progress) {
    edit.save(&progress, writing);
    std::cout << "Saved File " << pathText(edit.path()) << '\n';
}

} // namespace

std::string editDetails(std::string_view command) {
    if (command == "convert")
        return std::string(kConvertDetails) +
               "A file at NEW_PATH is replaced only when the new one is whole, keeping its mode and owner;\n"
               "another save of it is waited for (5 seconds at most unless --wait is given). These kinds "
               "can\n"
               "be read and written:\n  " +
               ContainerEdit::EditableKindNames() + ".\n";
    const char* text = command == "add" ? kAddDetails : command == "remove" ? kRemoveDetails : kRenameDetails;
    return std::string(text) + kEditNote + ContainerEdit::EditableKindNames() + ".\n";
}

int runAdd(const std::string& container, const std::vector<std::string>& paths,
           const std::optional<std::string>& as, Writing writing, ProgressSink& progress) {
    auto edit = openForEdit(container);
    for (const auto& given : paths) {
        const fs::path path = given;
        std::error_code ec;
        if (fs::is_directory(path, ec))
            edit.addTree(path, as ? *as : folderName(path));
        else
            edit.add(path, as.value_or(std::string()));
    }
    saveEdit(edit, writing, progress);
    return 0;
}

int runRemove(const std::string& container, const std::vector<std::string>& names, Writing writing,
              ProgressSink& progress) {
    auto edit = openForEdit(container);
    std::vector<std::size_t> rows;
    for (const auto& name : names)
        rows.push_back(rowNamed(edit, name));
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    edit.remove(rows);
    saveEdit(edit, writing, progress);
    return 0;
}

int runRename(const std::string& container, const std::string& oldName, const std::string& newName,
              Writing writing, ProgressSink& progress) {
    auto edit = openForEdit(container);
    edit.rename(rowNamed(edit, oldName), newName);
    saveEdit(edit, writing, progress);
    return 0;
}

int runConvert(const std::string& container, const std::string& kind, const std::string& newPath,
               ProgressSink& progress) {
    const auto* to = findCreatableKind(kind);
    if (!to || !ContainerEdit::Editable(to->code)) throw UsageError{"unknown container kind " + kind};
    auto edit = openForEdit(container);
    edit.saveAs(newPath, to->code, &progress);
    std::cout << "Created File " << newPath << '\n';
    return 0;
}

} // namespace vexa::cli
