#pragma once
// Files: RAII streams with the program's own error texts, bounded copies of
// byte ranges, atomic replacement of a written file, free space and creation times.

#include "base/byte_source.h"
#include "base/errors.h"
#include "base/platform.h"
#include <cstddef>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <unordered_set>
#include <vector>

namespace vexa {

namespace fs = std::filesystem;

// Whether two looks saw the same file (device and inode), whatever its size or time.
bool sameFile(const platform::NodeInfo& a, const platform::NodeInfo& b);

// The refusal of a save that found another program's file at its path when it came to put its own there.
ContainerChangedOnDisk replacedWhileWritten(const fs::path& path);

// A file open for reading. Throws "Cannot open file <path>: <reason>" when it cannot be opened or
// is not a regular file (a FIFO or a device is refused, never waited on).
class InputFile final : public ByteSource {
  public:
    explicit InputFile(const fs::path& path);

    const platform::Handle& handle() const { return file_; }
    // Device and inode: what a writer compares its output with.
    const platform::NodeInfo& identity() const { return identity_; }

    std::size_t readSome(std::uint64_t offset, std::span<std::uint8_t> buffer) const override;
    const InputFile* file() const override { return this; }

    // Held while a header and the directory it points at are read: a save in place by another process
    // of this program does not point the header elsewhere meanwhile (it waits a few seconds at most).
    class DirectoryHold {
      public:
        explicit DirectoryHold(const platform::Handle& file);
        ~DirectoryHold();
        DirectoryHold(const DirectoryHold&) = delete;
        DirectoryHold& operator=(const DirectoryHold&) = delete;

      private:
        const platform::Handle& file_;
        bool held_ = false;
    };
    DirectoryHold holdDirectory() const { return DirectoryHold(file_); }

  private:
    platform::Handle file_;
    platform::NodeInfo identity_;
};

// The file at path as bytes for a reader: what a container, picture or palette file is opened as.
std::shared_ptr<const ByteSource> openFileBytes(const fs::path& path);

// A file a container (into) is built from, gathered with size bytes: opened when its bytes are first
// read (a folder of 10,000 files is never open at once) and let go by letGo() once they are copied.
// Read then, it is refused (Error naming into, it and both sizes) when it no longer holds size bytes.
class FileToCopy final : public ByteSource {
  public:
    FileToCopy(const fs::path& path, std::uint64_t size, const fs::path& into)
        : ByteSource(path, size), into_(into) {}

    std::size_t readSome(std::uint64_t offset, std::span<std::uint8_t> buffer) const override;
    const InputFile* file() const override { return &opened(); }
    void letGo() const override { file_.reset(); }

  private:
    const InputFile& opened() const;
    fs::path into_;
    mutable std::optional<InputFile> file_;
};

// How long a save waits for another save of the same file to end.
struct LockPatience {
    bool untilDone = false;          // else a few seconds
    std::function<bool()> cancelled; // asked between tries: true gives up (Cancelled)
};

// The right to change the file at a path, taken before a save reads the file again and held until the
// saved file is in place: one process of this program saves a file at a time. Other programs do not
// see it; what they do meanwhile is found by comparing the file with identity() (stillAt).
class WriterLock {
  public:
    // Locks the regular file at path (a symbolic link is followed), once path still names the file
    // locked; when nothing is at path, holds nothing (a new file). Throws FileBusy "<path> is being
    // changed by another program" when another process holds it past the patience, Cancelled when the
    // patience's cancelled says so, Error when the file cannot be opened.
    WriterLock(const fs::path& path, const LockPatience& patience);

    const fs::path& path() const { return path_; }
    bool holdsFile() const { return file_.valid(); }
    // The file locked, as it was then: device, inode, size, time, mode, owner and group.
    const platform::NodeInfo& identity() const { return identity_; }
    const platform::Handle& handle() const { return file_; }
    // Whether the file could be opened for writing (a save in place needs it).
    bool writable() const { return writable_; }
    const LockPatience& patience() const { return patience_; }
    // Whether path names the locked file still (nothing, when nothing was there).
    bool stillAt() const;

    // Held while a save in place points the header at another directory: waits for the readers
    // between a header and its directory. forward: throws FileBusy when they take too long (the save
    // is then undone); undoing waits a few seconds at most, then goes on.
    class HeaderSwitch {
      public:
        HeaderSwitch(const WriterLock& lock, bool forward);
        ~HeaderSwitch();
        HeaderSwitch(const HeaderSwitch&) = delete;
        HeaderSwitch& operator=(const HeaderSwitch&) = delete;

      private:
        const platform::Handle& file_;
        bool held_ = false;
    };

  private:
    fs::path path_;
    LockPatience patience_;
    platform::Handle file_;
    platform::NodeInfo identity_;
    bool writable_ = false;
};

// The folder an extraction run writes into, held open for the run: every output below it is
// resolved beneath this descriptor when it is opened, with no symbolic link followed at any level.
// The first time the run reaches a folder, temporary files an earlier, killed run left there go.
class OutputRoot {
  public:
    // Throws "Cannot create file <target>: <reason>" when the folder cannot be opened.
    OutputRoot(const fs::path& target, bool createsFolders, const fs::path& archive);

    const fs::path& path() const { return target_; }
    // The folder holding relative (levels below the target), made where this run makes folders.
    platform::Handle openFolderOf(const fs::path& relative, const fs::path& output);
    // Empty, or why output (a file in folder) must not be written: something other than a regular
    // file stands there, or it is the container being read.
    std::string refusal(const platform::NodeInfo& there, const fs::path& output) const;

  private:
    fs::path target_;
    platform::Handle folder_;
    bool createsFolders_;
    platform::NodeInfo archive_;
    std::unordered_set<std::string> swept_;
};

// Where an output goes: a path as given, or a path below an extraction's target folder.
class OutputPath {
  public:
    OutputPath(fs::path path) : path_(std::move(path)) {}
    OutputPath(const char* path) : path_(path) {}
    OutputPath(const std::string& path) : path_(path) {}
    OutputPath(OutputRoot& root, fs::path path) : path_(std::move(path)), root_(&root) {}

    // The whole path, for messages.
    const fs::path& path() const { return path_; }
    OutputRoot* root() const { return root_; }
    // Another file of the same folder (same root).
    OutputPath withPath(fs::path path) const {
        return root_ ? OutputPath(*root_, std::move(path)) : OutputPath(std::move(path));
    }

  private:
    fs::path path_;
    OutputRoot* root_ = nullptr;
};

// A new file, written with no name (or under a temporary name) in its folder and put at the path
// by close() when whole; destroyed before that, it leaves nothing. What stood at the path (a
// file, a hard link) is replaced, never written through; anything but a regular file there is
// refused. Messages name the path, never the temporary file, with the system's reason.
class OutputFile {
  public:
    explicit OutputFile(const OutputPath& path);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    const fs::path& path() const { return path_; }
    std::uint64_t position() const { return written_; }
    // True when a file stood at the path when writing began; replaced() is what it was.
    bool replacing() const { return replaced_.kind != platform::NodeKind::Missing; }
    const platform::NodeInfo& replaced() const { return replaced_; }

    void write(std::span<const std::uint8_t> bytes);
    void write(const std::vector<std::uint8_t>& bytes) { write(std::span<const std::uint8_t>(bytes)); }
    // Appends count bytes of source, starting at offset, in bounded chunks (kernel-side where it can).
    void copyFrom(const ByteSource& source, std::uint64_t offset, std::uint64_t count);
    // Waits until the bytes are on disk.
    void sync();
    // Puts the file in place.
    void close();

    // For a file that is synced when complete: start writing each few megabytes to disk as soon as
    // they are written, so the final sync waits for the last of them only, not for the whole file.
    void writeBehind() { writeBehind_ = true; }

    // Gives the file the mode, owner and group of like (the file it replaces); returns why the owner
    // could not be kept, or empty.
    std::string takeModeAndOwner(const platform::NodeInfo& like);
    // Puts the file in place as close() does, but only while the path still names what lock holds
    // (or still nothing): throws ContainerChangedOnDisk otherwise, leaving what stands there.
    void closeOver(const WriterLock& lock);

  private:
    [[noreturn]] void fail(FileAction action, int error) const;
    // Refuses (OutputError) what must not be replaced at the path; notes what stands there.
    void checkWhatStandsThere();
    void startWriteBack();

    fs::path path_;
    OutputRoot* root_ = nullptr;
    platform::Handle folder_;
    std::string leaf_;
    std::string temporary_; // the name the file is written under, when it has one
    bool unnamed_ = false;  // written with no name yet: close() links it in
    platform::Handle file_;
    std::uint64_t written_ = 0;
    platform::NodeInfo replaced_;
    bool writeBehind_ = false;
    std::uint64_t writtenBack_ = 0; // bytes whose writing to disk was started
};

// Writes a whole file that replaces another only when complete; commit() puts it in place (after
// syncing it to disk when it replaces a file). Destroyed without commit(), it leaves any old file
// intact and no temporary file. lock is the caller's lock on target: the new file takes the mode,
// owner and group of the one it replaces, and goes in place only where target still names the
// file locked (or still nothing), else ContainerChangedOnDisk and the other program's file stays.
class AtomicOutputFile {
  public:
    AtomicOutputFile(const fs::path& target, const WriterLock& lock);

    OutputFile& file() { return file_; }
    // Empty, or what could not be kept of the old file (its owner), to be told.
    const std::string& note() const { return note_; }
    void commit();

  private:
    OutputFile file_;
    const WriterLock& lock_;
    std::string note_;
};

// An existing file changed where it lies, through the handle its writer's lock holds: the caller
// keeps it whole at every moment (see updateContainerFile). Messages name the path with the system's
// reason.
class UpdateFile {
  public:
    // The file lock holds, where it could be opened for writing; nullopt otherwise.
    static std::optional<UpdateFile> over(const WriterLock& lock);

    const fs::path& path() const { return path_; }

    void writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes);
    // Writes count bytes of source, starting at from, at offset (kernel-side where it can).
    void copyAt(std::uint64_t offset, const ByteSource& source, std::uint64_t from, std::uint64_t count);
    // Sets aside disk space for count bytes at offset; the file grows to cover them.
    void reserve(std::uint64_t offset, std::uint64_t count);
    void resize(std::uint64_t size);
    // Waits until what was written is on disk.
    void sync();

  private:
    UpdateFile(const fs::path& path, const platform::Handle& file) : path_(path), file_(file) {}
    [[noreturn]] void fail(FileAction action, int error) const;

    fs::path path_;
    const platform::Handle& file_;
};

// Copies count bytes at offset of the archive into a new file at outputPath.
void copyRangeToFile(const ByteSource& archive, std::uint64_t offset, std::uint64_t count,
                     const OutputPath& outputPath);

// Writes bytes to a new file (create-or-replace).
void writeWholeFile(const OutputPath& path, std::span<const std::uint8_t> bytes);

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
