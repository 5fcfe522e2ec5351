#pragma once
// Gathering the files of a source folder for the container writers.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace vexa {

namespace fs = std::filesystem;

struct SourceFile {
    std::string name;       // relative to the source folder, UTF-8, "\" between folder levels
    std::uint64_t size = 0; // as the listing reported it
    std::uint32_t time = 0; // high 32 bits of the creation time in 100-ns ticks since 1601
};
using SourceFileList = std::vector<SourceFile>;

// "" + b = b; "a\" + b = a\b; "a" + b = a\b.
std::string JoinPath(const std::string& first, const std::string& second);

// The files of root and of all its sub-folders, depth first, with their creation times. Each folder's entries
// are taken in byte order of their names, so the same folder always gathers to the same list. Symbolic links
// to folders are not followed (they could loop); a folder that cannot be listed fails the gathering. Both
// refuse (throw Error naming it) a file or folder whose name holds "\".
SourceFileList GatherFolderTree(const fs::path& root);
// The files directly in folder, in byte order of their names, with their creation times.
SourceFileList GatherFolderFiles(const fs::path& folder);
// The same, also giving in skipped each path left out that is not a regular file, a folder or a link
// to a regular file (a FIFO, a socket, a device, a link to a folder or to nothing), for the user to
// be told: a file missing from a new container without a word would pass for a whole one.
SourceFileList GatherFolderTree(const fs::path& root, std::vector<fs::path>& skipped);
SourceFileList GatherFolderFiles(const fs::path& folder, std::vector<fs::path>& skipped);

std::uint64_t SourceTotalSize(const SourceFileList& files);

// A source file as a path on disk.
fs::path sourcePath(const fs::path& sourceFolder, const SourceFile& file);

} // namespace vexa
