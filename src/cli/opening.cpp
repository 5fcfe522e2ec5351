#include "cli/opening.h"

#include "app/kinds.h"
#include "app/nested.h"
#include "base/errors.h"
#include "base/file_io.h"
#include "base/text.h"
#include "formats/kind.h"

#include <iostream>
#include <utility>

namespace vexa::cli {

namespace {

ContainerEdit openForEditOnly(const std::string& path, bool forConvert) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) {
        const auto opened = openPath(path);
        if (opened.nested() && !forConvert)
            throw Error(path + ": a container inside another is not edited in place; extract it, edit it and "
                               "add it back, or convert it to a file of its own");
        const auto& inner = opened.innermost();
        if (!ContainerEdit::Editable(inner.kind->code))
            throw Error(path + ": " + std::string(inner.kind->name) +
                        " files cannot be edited; these kinds can: " + ContainerEdit::EditableKindNames());
        return ContainerEdit(inner.reader, inner.kind->code);
    }
    const auto bytes = openFileBytes(path);
    const auto code = detectKind(*bytes, pathText(fs::path(path).filename()));
    if (!ContainerEdit::Editable(code))
        throw Error(path + ": " + std::string(kindName(code)) +
                    " files cannot be edited; these kinds can: " + ContainerEdit::EditableKindNames());
    return ContainerEdit(readContainer(code, bytes), code);
}

} // namespace

Opened openFile(const std::string& path, const GamePalettePaths* games, Palette* current) {
    const auto loadPalette = [&](ContainerType code) {
        if (games && current) loadKindPalette(code, *games, *current);
    };
    // A file that exists is opened as the window opens it: its kind's palette before its directory.
    std::error_code ec;
    if (fs::is_regular_file(path, ec)) {
        const auto bytes = openFileBytes(path);
        // Detection reads the header too: no save in place points it elsewhere before the directory is read.
        const auto hold = bytes->file()->holdDirectory();
        const auto code = detectKind(*bytes, pathText(fs::path(path).filename()));
        loadPalette(code);
        return {code, readContainer(code, bytes)};
    }
    const auto opened = openPath(path);
    const auto& inner = opened.innermost();
    loadPalette(inner.kind->code);
    return {inner.kind->code, inner.reader, opened.nested()};
}

ContainerEdit openForEdit(const std::string& path, const ProgramFolders& folders, bool forConvert) {
    auto edit = openForEditOnly(path, forConvert);
    edit.setImportOptions({defaultPalettes(folders), false});
    return edit;
}
GamePalettePaths defaultPalettes(const ProgramFolders& folders) {
    return GamePalettePaths::defaults(folders.defaults);
}

void usePaletteFile(Game game, const std::string& file, GamePalettePaths& games, Palette& current) {
    // The reason a file is no palette is said, not guessed at.
    current = readPaletteFile(fs::path(file));
    games.set(game, file);
}

void reportSkipped(const std::vector<fs::path>& skipped) {
    for (const auto& path : skipped)
        std::cerr << printableText("skipping " + pathText(path) + ": not a regular file") << '\n';
}

void reportCutNames(const std::vector<CutName>& cut, ContainerType kind) {
    if (cut.empty()) return;
    const auto* k = findKind(kind);
    const auto limit = k && k->createWriter ? " (" + k->createWriter()->NameLimit() + ")" : std::string();
    for (const auto& c : cut)
        std::cerr << printableText("'" + c.given + "' stored as '" + c.stored + "'" + limit) << '\n';
}

} // namespace vexa::cli
