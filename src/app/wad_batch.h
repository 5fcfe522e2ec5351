#pragma once
// The Half-Life WAD item of the new-container page: VEXA does not write WAD3 itself but a two-line
// "go.bat" in the Temp folder that runs the external tools makels.exe and qlumpy.exe from the
// HalfLife folder. The window asks the desktop to open it; vexa-cli only writes it.

#include "app/Global.h"

#include <filesystem>
#include <string>

namespace vexa {

namespace fs = std::filesystem;

// The file's text: two lines, each ended by CR LF, arguments separated by single spaces (an
// argument holding a space is quoted, or the tool would get it in pieces):
//   <HalfLife>/makels.exe <source folder without trailing separator> <new path without extension> <new
//   path>.ls <HalfLife>/qlumpy.exe <new path>.ls
std::string HalfLifeWadBatchText(const fs::path& halfLifeFolder, const fs::path& sourceFolder,
                                 const fs::path& newContainerPath);

// Writes "go.bat" into the Temp folder (created when missing; an old go.bat is replaced) with the
// source folder and new path made absolute, since the batch file does not run from our folder.
// Returns its path; throws "Cannot create file <path>" when it cannot be written.
fs::path WriteHalfLifeWadBatch(const ProgramFolders& folders, const fs::path& sourceFolder,
                               const fs::path& newContainerPath);

} // namespace vexa
