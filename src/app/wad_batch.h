#pragma once
// The Half-Life WAD item of the new-container page: VEXA does not write WAD3 itself but a two-line
// "go.bat" in the Temp folder that runs the external tools makels.exe and qlumpy.exe from the
// HalfLife folder. The window asks the desktop to open it; vexa-cli only writes it.

#include "app/Global.h"

#include <filesystem>
#include <string>

namespace vexa {

namespace fs = std::filesystem;

// The file's text: two lines, each ended by CR LF, arguments separated by single spaces; a path
// holding a space or a character cmd.exe acts on ("&", "|", ...) is quoted. Throws (naming the path)
// when a path holds '"', '%', '!' or a control character, which cmd.exe would not take as part of a
// quoted path:
//   <HalfLife>/makels.exe <source folder without trailing separator> <new path without extension> <new
//   path>.ls <HalfLife>/qlumpy.exe <new path>.ls
std::string halfLifeWadBatchText(const fs::path& halfLifeFolder, const fs::path& sourceFolder,
                                 const fs::path& newContainerPath);

// Writes "go.bat" into the Temp folder (created when missing; an old go.bat is replaced) with the
// source folder and new path made absolute, since the batch file does not run from our folder.
// Returns its path; throws "Cannot create file <path>" when it cannot be written, and writes nothing
// when a path cannot be passed on.
fs::path writeHalfLifeWadBatch(const ProgramFolders& folders, const fs::path& sourceFolder,
                               const fs::path& newContainerPath);

} // namespace vexa
