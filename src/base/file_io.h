#pragma once
// The platform layer for files: RAII streams with the program's own error texts, bounded copies of
// byte ranges, atomic replacement of a written file, free space and creation times.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vexa {

namespace fs = std::filesystem;

// A file open for reading. Throws "Cannot open file <path>" when it cannot be opened.
class InputFile {
public:
    explicit InputFile(const fs::path& path);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    const fs::path& path() const { return path_; }
    std::uint64_t size() const { return size_; }
    int descriptor() const { return fd_; }

    // Reads exactly buffer.size() bytes at offset; throws a FormatError naming what when the file
    // holds fewer.
    void readExact(std::uint64_t offset, std::span<std::uint8_t> buffer, const std::string& what) const;
    // Reads count bytes at offset into a new buffer, after checking they lie inside the file.
    std::vector<std::uint8_t> readBlock(std::uint64_t offset, std::uint64_t count, const std::string& what) const;
    // Reads up to buffer.size() bytes at offset; returns how many were read.
    std::size_t readSome(std::uint64_t offset, std::span<std::uint8_t> buffer) const;

private:
    fs::path path_;
    int fd_ = -1;
    std::uint64_t size_ = 0;
};

// A new file, created or truncated. Throws "Cannot create file <path>" when it cannot be created.
class OutputFile {
public:
    explicit OutputFile(const fs::path& path);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    const fs::path& path() const { return path_; }
    int descriptor() const { return fd_; }
    std::uint64_t position() const { return written_; }

    void write(std::span<const std::uint8_t> bytes);
    void write(const std::vector<std::uint8_t>& bytes) { write(std::span<const std::uint8_t>(bytes)); }
    // Appends count bytes of source, starting at offset, in bounded chunks (kernel-side where it can).
    void copyFrom(const InputFile& source, std::uint64_t offset, std::uint64_t count);
    void close();

    // For a file that is synced when complete: start writing each few megabytes to disk as soon as
    // they are written, so the final sync waits for the last of them only, not for the whole file.
    void writeBehind() { writeBehind_ = true; }

private:
    void startWriteBack();
    // Copies the range in two halves at once, each through a buffer of its own; false when no second
    // thread can be had (nothing is copied then).
    bool copyInHalves(const InputFile& source, std::uint64_t offset, std::uint64_t count);
    // Copies [from, to) of the range that starts at offset in source to the same place after start.
    void copyPart(const InputFile& source, std::uint64_t offset, std::uint64_t count, std::uint64_t start,
                  std::uint64_t from, std::uint64_t to);

    fs::path path_;
    int fd_ = -1;
    std::uint64_t written_ = 0;
    bool writeBehind_ = false;
    std::uint64_t writtenBack_ = 0; // bytes whose writing to disk was started
};

// Writes a whole file through a temporary file beside the target; commit() renames it over the
// target (after syncing it to disk when it replaces a file). Destroyed without commit(), it removes
// the temporary file and leaves any old target intact.
class AtomicOutputFile {
public:
    explicit AtomicOutputFile(const fs::path& target);
    ~AtomicOutputFile();
    AtomicOutputFile(const AtomicOutputFile&) = delete;
    AtomicOutputFile& operator=(const AtomicOutputFile&) = delete;

    OutputFile& file() { return *file_; }
    void commit();

private:
    fs::path target_;
    fs::path temporary_;
    std::optional<OutputFile> file_;
    bool replacing_ = false; // something stood at the target when writing began
    bool committed_ = false;
};

// Copies count bytes at offset of the archive into a new file at outputPath.
void copyRangeToFile(const InputFile& archive, std::uint64_t offset, std::uint64_t count,
                     const fs::path& outputPath);

// Writes bytes to a new file (create-or-replace).
void writeWholeFile(const fs::path& path, std::span<const std::uint8_t> bytes);

// Bytes available to the user on the file system holding path; -1 when the query fails.
std::int64_t freeBytes(const fs::path& path);
// The mount point of the file system holding path (what the user knows as its drive).
fs::path fileSystemRoot(const fs::path& path);
// Whether this process may create files in folder.
bool folderWritable(const fs::path& folder);

// The file's creation time (birth time where the file system keeps one, else its modification
// time) as the high 32 bits of a count of 100-nanosecond intervals since 1601-01-01 UTC.
std::uint32_t creationTimeHigh32(const fs::path& path);

// An entry name ("\" or "/" between levels, UTF-8) as a relative path on this platform.
fs::path entryNameToPath(const std::string& name);
// A path as UTF-8 text for messages and lists.
std::string pathText(const fs::path& path);

} // namespace vexa
