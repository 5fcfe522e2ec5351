#include "app/Global.h"

#include "base/file_io.h"
#include "base/text.h"

#include <array>
#include <cstdlib>
#include <cstring>

namespace vexa {

#ifndef VEXA_SHARE_FROM_BIN
#define VEXA_SHARE_FROM_BIN "../share/vexa"
#endif

namespace {

// The installed tree's shared folder of the program in programFolder, or empty when it has none.
fs::path installedShareFolder(const fs::path& programFolder) {
    const auto share = (programFolder / VEXA_SHARE_FROM_BIN).lexically_normal();
    std::error_code ec;
    return fs::is_directory(share / "Data", ec) ? share : fs::path();
}

fs::path environmentFolder(const char* variable, const fs::path& otherwise) {
    const char* value = std::getenv(variable);
    // Relative values are invalid and ignored, as the base directory rules say.
    if (value && fs::path(value).is_absolute()) return value;
    return otherwise;
}

} // namespace

UserFolders userFoldersFromEnvironment() {
    auto home = environmentFolder("HOME", {});
    std::error_code ec;
    if (home.empty()) home = fs::temp_directory_path(ec); // with no home at all, below the temporary folder
    return {environmentFolder("XDG_DATA_HOME", home / ".local" / "share") / "vexa",
            environmentFolder("XDG_CACHE_HOME", home / ".cache") / "vexa", home / "Documents"};
}

ProgramFolders ProgramFolders::beside(const fs::path& programFolder) {
    ProgramFolders f;
    f.program = programFolder;
    f.extract = programFolder / "Extracted_Files";
    f.data = programFolder / "Data";
    f.help = programFolder / "Help";
    f.temp = programFolder / "Temp";
    f.halfLife = programFolder / "HalfLife";
    f.defaults = f.data;
    return f;
}

ProgramFolders ProgramFolders::locate(const fs::path& programFolder, const UserFolders& user) {
    const auto share = installedShareFolder(programFolder);
    if (share.empty() && folderWritable(programFolder)) return beside(programFolder);
    // A read-only copy with no installed tree still ships its Data and Help beside itself.
    const auto shipped = share.empty() ? programFolder : share;
    ProgramFolders f;
    f.program = programFolder;
    f.extract = user.documents;
    f.data = user.data / "Data";
    f.help = shipped / "Help";
    f.temp = user.cache / "Temp";
    f.halfLife = user.data / "HalfLife";
    f.defaults = shipped / "Data";
    return f;
}

void ProgramFolders::ensureAll() const {
    std::error_code ec;
    for (const auto* folder : {&extract, &data, &help, &temp, &halfLife})
        fs::create_directories(*folder, ec);
    if (defaults == data) return;
    // The user's own palettes, and defaults he changed, are kept.
    for (fs::directory_iterator file(defaults, ec), end; !ec && file != end; file.increment(ec)) {
        std::error_code fileError; // one file that cannot be copied does not stop the others
        if (file->is_regular_file(fileError))
            fs::copy_file(file->path(), data / file->path().filename(), fs::copy_options::skip_existing,
                          fileError);
    }
}

} // namespace vexa
