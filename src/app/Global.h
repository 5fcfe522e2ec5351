#pragma once
// The program's folders.

#include <filesystem>
#include <string>

namespace vexa {

namespace fs = std::filesystem;

// The user's own folders, where an installed copy keeps what it cannot keep beside itself.
struct UserFolders {
    fs::path data;      // $XDG_DATA_HOME/vexa
    fs::path cache;     // $XDG_CACHE_HOME/vexa
    fs::path documents; // where extraction starts
};
// The same as the desktop reports them, from the environment (for vexa-cli, which has no Qt).
UserFolders userFoldersFromEnvironment();

// The program's folders: beside the executable, or for an installed copy in the user's folders.
struct ProgramFolders {
    fs::path program, extract, data, help, temp, halfLife;
    // Where the default palettes come from: data itself beside the executable; for an installed copy
    // the shipped, read-only folder that seeds data.
    fs::path defaults;

    static ProgramFolders beside(const fs::path& programFolder);
    // A copy whose folder cannot be written, or that is the bin folder of an installed tree, is an
    // installed copy: Data, Temp, HalfLife and Extracted_Files go to the user's folders, and Help and
    // the defaults are read where they were installed.
    static ProgramFolders locate(const fs::path& programFolder, const UserFolders& user);
    // Creates the missing ones and copies the defaults data lacks into it; a folder that cannot be
    // created is not reported (what uses it will say).
    void ensureAll() const;
};

} // namespace vexa
