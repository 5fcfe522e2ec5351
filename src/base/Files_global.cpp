#include "base/Files_global.h"

#include "base/errors.h"
#include "base/file_io.h"

#include <algorithm>

namespace vexa {

std::string JoinPath(const std::string& first, const std::string& second) {
    if (first.empty()) return second;
    if (first.back() == '\\') return first + second;
    return first + "\\" + second;
}

namespace {

struct Listed {
    std::string name;
    bool folder = false;
    std::uint64_t size = 0;
};

// A folder that cannot be read fails the gathering with its name: a container silently missing a
// folder's files would pass for a whole one.
// skipped, when given, gets each file left out (not a regular file, a folder or a link to a regular file).
std::vector<Listed> listFolder(const fs::path& folder, std::vector<fs::path>* skipped) {
    std::vector<Listed> out;
    std::error_code ec;
    const auto failed = [&] { return FileError(FileAction::Open, folder, ec.message()); };
    fs::directory_iterator it(folder, ec), end;
    if (ec) throw failed();
    for (; it != end; it.increment(ec)) {
        const auto& entry = *it;
        std::error_code e2;
        Listed item;
        item.name = entry.path().filename().string();
        // Containers keep "\" as their folder separator: such a name would come back as folders.
        if (item.name.find('\\') != std::string::npos)
            throw Error("Cannot gather " + displayPath(entry.path()) +
                        ": its name holds a \\, which a container stores as a folder separator");
        const auto leaveOut = [&] {
            if (skipped) skipped->push_back(entry.path());
        };
        if (entry.is_symlink(e2)) {
            // A link to a file counts as that file; a link to a folder is left out.
            if (!entry.is_regular_file(e2)) {
                leaveOut();
                continue;
            }
        } else if (entry.is_directory(e2)) {
            item.folder = true;
        } else if (!entry.is_regular_file(e2)) {
            leaveOut();
            continue;
        }
        if (!item.folder) {
            item.size = entry.file_size(e2);
            if (e2) throw FileError(FileAction::Open, entry.path(), e2.message());
        }
        out.push_back(std::move(item));
    }
    if (ec) throw failed(); // reading stopped part way
    std::sort(out.begin(), out.end(), [](const Listed& a, const Listed& b) { return a.name < b.name; });
    return out;
}

void walk(const fs::path& root, const std::string& relative, SourceFileList& out,
          std::vector<fs::path>* skipped) {
    const auto folder = relative.empty() ? root : root / entryNameToPath(relative);
    for (const auto& item : listFolder(folder, skipped)) {
        const auto name = JoinPath(relative, item.name);
        if (item.folder)
            walk(root, name, out, skipped);
        else
            out.push_back({name, item.size, creationTimeHigh32(folder / item.name)});
    }
}

} // namespace

SourceFileList GatherFolderTree(const fs::path& root) {
    SourceFileList out;
    walk(root, "", out, nullptr);
    return out;
}

SourceFileList GatherFolderTree(const fs::path& root, std::vector<fs::path>& skipped) {
    SourceFileList out;
    walk(root, "", out, &skipped);
    return out;
}

SourceFileList GatherFolderFiles(const fs::path& folder) {
    std::vector<fs::path> skipped;
    return GatherFolderFiles(folder, skipped);
}

SourceFileList GatherFolderFiles(const fs::path& folder, std::vector<fs::path>& skipped) {
    SourceFileList out;
    for (const auto& item : listFolder(folder, &skipped))
        if (!item.folder) out.push_back({item.name, item.size, creationTimeHigh32(folder / item.name)});
    return out;
}

std::uint64_t SourceTotalSize(const SourceFileList& files) {
    std::uint64_t total = 0;
    for (const auto& f : files)
        total += f.size;
    return total;
}

fs::path sourcePath(const fs::path& sourceFolder, const SourceFile& file) {
    return sourceFolder / entryNameToPath(file.name);
}

} // namespace vexa
