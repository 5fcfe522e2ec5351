#include "cli/opening.h"

#include "app/kinds.h"
#include "base/errors.h"
#include "base/file_io.h"

#include <utility>

namespace vexa::cli {

Opened openFile(const std::string& path, const GamePalettePaths& games, Palette& current) {
    const auto bytes = openFileBytes(path);
    const auto code = detectKind(*bytes, pathText(fs::path(path).filename()));
    loadKindPalette(code, games, current);
    return {code, readContainer(code, bytes)};
}

ContainerEdit openForEdit(const std::string& path) {
    const auto bytes = openFileBytes(path);
    const auto code = detectKind(*bytes, pathText(fs::path(path).filename()));
    if (!ContainerEdit::Editable(code))
        throw Error(path + ": " + std::string(kindName(code)) +
                    " files cannot be edited; these kinds can: " + ContainerEdit::EditableKindNames());
    return ContainerEdit(readContainer(code, bytes), code);
}

GamePalettePaths defaultPalettes(const ProgramFolders& folders) {
    return GamePalettePaths::defaults(folders.defaults);
}

void usePaletteFile(Game game, const std::string& file, GamePalettePaths& games, Palette& current) {
    auto loaded = LoadPalFile(file, 255);
    if (!loaded) throw Error(std::string(kWrongPaletteFile) + ": " + file);
    current = std::move(*loaded);
    games.set(game, file);
}

} // namespace vexa::cli
