#pragma once
// The one place that talks to the operating system. Everything above it works with these calls
// only, so another platform replaces platform_posix.cpp and nothing else. Calls report failure by
// a system error code (0 for success); reason() turns one into the system's own words.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace vexa::platform {

namespace fs = std::filesystem;

// Codes of this layer beside the system's: a file that exists but is not a regular file (a FIFO, a
// device, a folder); a symbolic link, or a file, standing where a folder level should be.
constexpr int kNotRegularFile = -1;
constexpr int kLinkInTheWay = -2;
constexpr int kFileInTheWay = -3;
constexpr int kNameTaken = -4;
// A lock another open file holds; a file system that keeps no locks.
constexpr int kLockBusy = -5;
constexpr int kLocksUnsupported = -6;
constexpr int kNoExchange = -7;

// The system's reason for an error code, e.g. "No space left on device".
std::string reason(int error);
// The reason for one of this layer's own codes above; nullptr for a system code.
inline const char* layerReason(int error) {
    switch (error) {
    case kNotRegularFile:
        return "not a regular file";
    case kLinkInTheWay:
        return "a symbolic link stands there";
    case kFileInTheWay:
        return "a file stands where a folder should be";
    case kLockBusy:
        return "another program holds it";
    case kLocksUnsupported:
        return "its file system keeps no locks";
    default:
        return nullptr;
    }
}

// An open file or folder, closed when the object goes: a descriptor on POSIX, a HANDLE on Windows.
// Windows has no calls relative to an open folder, so a folder also keeps the path it was opened at.
class Handle {
  public:
    Handle() = default;
    explicit Handle(std::intptr_t native, fs::path path = {}) : native_(native), path_(std::move(path)) {}
    ~Handle() { close(); }
    Handle(Handle&& other) noexcept : native_(other.native_), path_(std::move(other.path_)) {
        other.native_ = -1;
    }
    Handle& operator=(Handle&& other) noexcept {
        if (this != &other) {
            close();
            native_ = other.native_;
            path_ = std::move(other.path_);
            other.native_ = -1;
        }
        return *this;
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    std::intptr_t get() const { return native_; }
    const fs::path& path() const { return path_; }
    bool valid() const { return native_ != -1; }
    // Closes now; returns the error a delayed write reported at close, or 0.
    int close();

  private:
    // -1 is "none" for both kinds (INVALID_HANDLE_VALUE is -1 too).
    std::intptr_t native_ = -1;
    fs::path path_;
};

// What stands at a name, looked at without following a symbolic link.
enum class NodeKind { Missing, RegularFile, Folder, SymbolicLink, Other };
struct NodeInfo {
    NodeKind kind = NodeKind::Missing;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t modified = 0; // modification time, nanoseconds since 1970
    std::uint64_t links = 1;   // names the file has (hard links)
    std::uint32_t mode = 0;    // permission bits, where the system has them
    std::uint32_t owner = 0, group = 0;
};

// ---- Reading ---------------------------------------------------------------------------------

// Opens an existing regular file for reading. A FIFO or device is never waited on: it is opened
// without blocking and refused with kNotRegularFile, as is a folder.
int openForReading(const fs::path& path, Handle& file, NodeInfo& info);
// Reads up to buffer.size() bytes at offset (fewer only at the end of the file).
int readAt(const Handle& file, std::uint64_t offset, std::span<std::uint8_t> buffer, std::size_t& got);

// ---- Writing ---------------------------------------------------------------------------------

// Moves where the next write (writeAll, copyKernelSide) goes.
int seekTo(const Handle& file, std::uint64_t offset);
// Cuts or extends the file to size bytes.
int resizeFile(const Handle& file, std::uint64_t size);
// Sets aside disk space for count bytes at offset (the file grows to cover them), so writing there
// later cannot run out of space; a file system that cannot do this is let be.
int reserveSpace(const Handle& file, std::uint64_t offset, std::uint64_t count);

int writeAll(const Handle& file, std::span<const std::uint8_t> bytes);
// Copies up to count bytes at offset of from to the write position of to inside the kernel; copied says how
// many. A file system that cannot do this gives an error and nothing is copied.
int copyKernelSide(const Handle& from, std::uint64_t offset, const Handle& to, std::uint64_t count,
                   std::uint64_t& copied);
// Starts writing a range to disk and returns (a hint; syncFile waits).
void startWriteBack(const Handle& file, std::uint64_t offset, std::uint64_t count);
int syncFile(const Handle& file);

// Opens an existing regular file (a symbolic link at path is followed) to hold locks on it: for
// reading and writing where this process may write it (writable says so), else for reading.
int openForLocking(const fs::path& path, Handle& file, NodeInfo& info, bool& writable);
// What file is now: its identity, size, time and names, as lookAtPath gives them.
int lookAtOpen(const Handle& file, NodeInfo& info);

// ---- Locks -----------------------------------------------------------------------------------
//
// Two locks a file carries between processes of this program (other programs do not see them): the
// writer's, held through a whole save so that one program changes the file at a time, and the
// directory's, shared while a reader reads a header and the directory it points at, exclusive while
// a save points the header at another directory. They belong to the open file (not to the process):
// another open of the same file, in this process too, is kept out; they go with the last handle.

enum class LockRange { Writer, Directory };
enum class LockMode { Shared, Exclusive };
// Takes the lock if it is free, without waiting: kLockBusy when another open file holds it. An
// exclusive lock needs the file open for writing.
int tryLock(const Handle& file, LockRange range, LockMode mode);
void unlock(const Handle& file, LockRange range);

// Give file the permission bits, or the owner and group, of like. Only an administrator may give a
// file away: copyOwner fails for others where the owners differ.
int copyMode(const Handle& file, const NodeInfo& like);
int copyOwner(const Handle& file, const NodeInfo& like);

// ---- Folders and names -----------------------------------------------------------------------

// Opens a folder the user named (a symbolic link there is the user's choice and is followed).
int openFolder(const fs::path& path, Handle& folder);
// Opens the folder levels below root, resolved beneath root at this moment with no symbolic link
// followed at any level; missing levels are created when create is set, and made tells whether this
// call made the folder (a folder made a moment ago holds no other program's files). On failure,
// failedLevel is the number of levels that were sound before the one that failed.
int openFolderBeneath(const Handle& root, const std::vector<std::string>& levels, bool create, Handle& folder,
                      std::size_t& failedLevel, bool& made);
// Looks at name in folder without following a symbolic link; Missing when nothing is there.
int lookAt(const Handle& folder, const std::string& name, NodeInfo& info);
// Identity of the file at path (links followed), or Missing.
NodeInfo lookAtPath(const fs::path& path);

// Creates a new file in folder with no name yet, where the file system can (nothing is left of it
// if the process dies); giveName() then links it in under a name that must not exist yet. An
// error here means: use createTemporary instead.
int createUnnamed(const Handle& folder, Handle& file);
// kNameTaken when something already stands at name.
int giveName(const Handle& file, const Handle& folder, const std::string& name);
// Links an unnamed file in under a temporary name, as createTemporary names one.
int giveTemporaryName(const Handle& file, const Handle& folder, std::string& name);
// Creates a new file under a temporary name in folder, recognisable as this program's
// (".vexa-<process>-<n>.part"); name receives it.
int createTemporary(const Handle& folder, std::string& name, Handle& file);
// Moves from over to in the same folder; what stood at to (a file, a hard link, a symbolic link)
// is replaced, never written through.
int renameInFolder(const Handle& folder, const std::string& from, const std::string& to);
// Swaps what stands at the two names in one step; kNoExchange where the system or its file system
// cannot.
int exchangeInFolder(const Handle& folder, const std::string& first, const std::string& second);
// Waits until the folder's list of names (a rename into it) is on disk.
int syncFolder(const Handle& folder);
int removeInFolder(const Handle& folder, const std::string& name);
// Removes the temporary files that processes no longer running left in folder.
void removeLeftovers(const Handle& folder);

// ---- File systems ----------------------------------------------------------------------------

// Bytes available to the user on the file system holding path; -1 when the query fails.
std::int64_t freeBytes(const fs::path& path);
// The mount point of the file system holding path.
fs::path fileSystemRoot(const fs::path& path);
// Birth time where the file system keeps one, else modification time, since 1970 (0 on failure).
void creationTime(const fs::path& path, std::int64_t& seconds, std::uint32_t& nanoseconds);

// Whether this process may create files in folder.
bool folderWritable(const fs::path& folder);

// ---- Process ---------------------------------------------------------------------------------

// Waits about milliseconds (a lock's next try).
void pause(int milliseconds);
// Sends interrupt, terminate, hang-up and quit to handler, every time (a second one is not fatal).
void onStopSignals(void (*handler)(int));
bool isTerminal(int stream);
std::string executablePath();
// The command line as UTF-8 (Windows hands main() the arguments in the local code page), and
// stdout and stderr set up to write UTF-8 bytes as they are, "\n" as "\n".
std::vector<std::string> commandLine(int argc, char** argv);
void setUpConsole();

} // namespace vexa::platform
