#include "base/platform.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace vexa::platform {

namespace {

constexpr const char* kTemporaryPrefix = ".vexa-";
constexpr const char* kTemporarySuffix = ".part";

int lastError() {
    return errno != 0 ? errno : EIO;
}

NodeInfo infoOf(const struct stat& st) {
    NodeInfo info;
    info.kind = S_ISREG(st.st_mode)   ? NodeKind::RegularFile
                : S_ISDIR(st.st_mode) ? NodeKind::Folder
                : S_ISLNK(st.st_mode) ? NodeKind::SymbolicLink
                                      : NodeKind::Other;
    info.device = st.st_dev;
    info.inode = st.st_ino;
    info.size = static_cast<std::uint64_t>(st.st_size);
    info.modified = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    info.links = static_cast<std::uint64_t>(st.st_nlink);
    info.mode = static_cast<std::uint32_t>(st.st_mode & 07777);
    info.owner = st.st_uid;
    info.group = st.st_gid;
    return info;
}

// One level below folder, no symbolic link followed, created first when missing and create is set.
int openLevel(int folder, const std::string& level, bool create, int& opened, bool& made) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        opened = ::openat(folder, level.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (opened >= 0) return 0;
        const int error = errno;
        if (error != ENOENT || !create) return error;
        // Someone else making it at the same moment is as good as making it (but it is not ours).
        if (::mkdirat(folder, level.c_str(), 0755) == 0)
            made = true;
        else if (errno != EEXIST)
            return errno;
    }
    return ENOENT;
}

// The level-by-level walk: each level opened from the one above it, so nothing swapped in
// meanwhile above can redirect it.
int walkBeneath(int root, const std::vector<std::string>& levels, bool create, Handle& folder,
                std::size_t& failedLevel, bool& made) {
    Handle current(::fcntl(root, F_DUPFD_CLOEXEC, 0));
    if (!current.valid()) return lastError();
    for (std::size_t i = 0; i < levels.size(); ++i) {
        int next = -1;
        // A level below one this walk made is made by it too.
        if (int error = openLevel(current.get(), levels[i], create, next, made); error != 0) {
            failedLevel = i;
            NodeInfo there;
            if ((error == ELOOP || error == ENOTDIR) && lookAt(current, levels[i], there) == 0)
                error = there.kind == NodeKind::SymbolicLink ? kLinkInTheWay
                        : there.kind != NodeKind::Folder     ? kFileInTheWay
                                                             : error;
            return error;
        }
        current = Handle(next);
    }
    folder = std::move(current);
    return 0;
}

// openat2 with RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS where the kernel has it (Linux 5.6 on); a
// kernel without it, or a sandbox that forbids it (ENOSYS, EPERM), gets the walk instead.
std::atomic<bool> resolveBeneathMissing{false};

int resolveBeneath(int root, const std::string& relative, int& opened) {
    if (resolveBeneathMissing.load(std::memory_order_relaxed)) return ENOSYS;
    open_how how{};
    how.flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    const long fd = ::syscall(SYS_openat2, root, relative.c_str(), &how, sizeof how);
    if (fd >= 0) {
        opened = static_cast<int>(fd);
        return 0;
    }
    const int error = errno;
    if (error == ENOSYS || error == EPERM || error == E2BIG) {
        resolveBeneathMissing.store(true, std::memory_order_relaxed);
        return ENOSYS;
    }
    return error;
}

std::atomic<unsigned> temporaryCount{0};

std::string temporaryName() {
    return kTemporaryPrefix + std::to_string(::getpid()) + "-" +
           std::to_string(temporaryCount.fetch_add(1, std::memory_order_relaxed)) + kTemporarySuffix;
}

} // namespace

std::string reason(int error) {
    if (const char* own = layerReason(error)) return own;
    return std::strerror(error);
}

int Handle::close() {
    if (!valid()) return 0;
    const int rc = ::close(static_cast<int>(native_));
    native_ = -1;
    return rc == 0 || errno == EINTR ? 0 : errno;
}

namespace {
// Opens an existing regular file with flags; a FIFO or device is refused without being waited on.
int openRegular(const fs::path& path, int flags, Handle& file, NodeInfo& info) {
    // O_NONBLOCK: opening a FIFO with no writer would otherwise wait for ever.
    Handle opened(::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!opened.valid()) return lastError();
    struct stat st {};
    if (::fstat(opened.get(), &st) != 0) return lastError();
    if (!S_ISREG(st.st_mode)) return kNotRegularFile;
    const int state = ::fcntl(opened.get(), F_GETFL);
    if (state >= 0) ::fcntl(opened.get(), F_SETFL, state & ~O_NONBLOCK);
    info = infoOf(st);
    file = std::move(opened);
    return 0;
}
} // namespace

int openForReading(const fs::path& path, Handle& file, NodeInfo& info) {
    return openRegular(path, O_RDONLY, file, info);
}

int readAt(const Handle& file, std::uint64_t offset, std::span<std::uint8_t> buffer, std::size_t& got) {
    got = 0;
    while (got < buffer.size()) {
        const auto n =
            ::pread(file.get(), buffer.data() + got, buffer.size() - got, static_cast<off_t>(offset + got));
        if (n < 0) {
            if (errno == EINTR) continue;
            return lastError();
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    return 0;
}

int writeAll(const Handle& file, std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const auto n = ::write(file.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return lastError();
        }
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

int copyKernelSide(const Handle& from, std::uint64_t offset, const Handle& to, std::uint64_t count,
                   std::uint64_t& copied) {
    copied = 0;
    loff_t in = static_cast<loff_t>(offset);
    while (copied < count) {
        const auto n = ::copy_file_range(from.get(), &in, to.get(), nullptr,
                                         static_cast<std::size_t>(count - copied), 0);
        if (n < 0) {
            if (errno == EINTR) continue;
            return lastError();
        }
        if (n == 0) break;
        copied += static_cast<std::uint64_t>(n);
    }
    return 0;
}

void startWriteBack(const Handle& file, std::uint64_t offset, std::uint64_t count) {
    ::sync_file_range(file.get(), static_cast<off_t>(offset), static_cast<off_t>(count),
                      SYNC_FILE_RANGE_WRITE);
}

int syncFile(const Handle& file) {
    return ::fsync(file.get()) == 0 ? 0 : lastError();
}

int openForLocking(const fs::path& path, Handle& file, NodeInfo& info, bool& writable) {
    writable = true;
    const int error = openRegular(path, O_RDWR, file, info);
    // A file this process may not write (or one being run) is still locked, through a read-only open.
    if (error != EACCES && error != EPERM && error != EROFS && error != ETXTBSY) return error;
    writable = false;
    return openRegular(path, O_RDONLY, file, info);
}

int lookAtOpen(const Handle& file, NodeInfo& info) {
    struct stat st {};
    if (::fstat(file.get(), &st) != 0) return lastError();
    info = infoOf(st);
    return 0;
}

namespace {
// The locks are bytes far past the end of any container: locks here are advisory, but Windows
// refuses reads of locked bytes, and both layers lock the same places.
constexpr off_t kLockBase = off_t{1} << 62;

int setLock(const Handle& file, LockRange range, short type) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = kLockBase + (range == LockRange::Writer ? 0 : 1);
    lock.l_len = 1;
    // Locks of the open file (F_OFD_*), not of the process: closing another handle of the same file
    // in this process, as a reader does, must not let them go.
    while (::fcntl(file.get(), F_OFD_SETLK, &lock) != 0) {
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EACCES) return kLockBusy;
        if (errno == ENOLCK || errno == EOPNOTSUPP || errno == ENOSYS || errno == EINVAL ||
            errno == EOVERFLOW)
            return kLocksUnsupported;
        return lastError();
    }
    return 0;
}
} // namespace

int tryLock(const Handle& file, LockRange range, LockMode mode) {
    return setLock(file, range, mode == LockMode::Shared ? F_RDLCK : F_WRLCK);
}

void unlock(const Handle& file, LockRange range) {
    setLock(file, range, F_UNLCK);
}

int copyMode(const Handle& file, const NodeInfo& like) {
    return ::fchmod(file.get(), static_cast<mode_t>(like.mode & 07777)) == 0 ? 0 : lastError();
}

int copyOwner(const Handle& file, const NodeInfo& like) {
    struct stat st {};
    if (::fstat(file.get(), &st) != 0) return lastError();
    if (st.st_uid == like.owner && st.st_gid == like.group) return 0;
    return ::fchown(file.get(), like.owner, like.group) == 0 ? 0 : lastError();
}

int seekTo(const Handle& file, std::uint64_t offset) {
    return ::lseek(file.get(), static_cast<off_t>(offset), SEEK_SET) >= 0 ? 0 : lastError();
}

int resizeFile(const Handle& file, std::uint64_t size) {
    while (::ftruncate(file.get(), static_cast<off_t>(size)) != 0)
        if (errno != EINTR) return lastError();
    return 0;
}

int reserveSpace(const Handle& file, std::uint64_t offset, std::uint64_t count) {
    if (count == 0) return 0;
    const int error = ::posix_fallocate(file.get(), static_cast<off_t>(offset), static_cast<off_t>(count));
    return error == EOPNOTSUPP || error == EINVAL ? 0 : error;
}

int openFolder(const fs::path& path, Handle& folder) {
    Handle opened(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!opened.valid()) return lastError();
    folder = std::move(opened);
    return 0;
}

int openFolderBeneath(const Handle& root, const std::vector<std::string>& levels, bool create, Handle& folder,
                      std::size_t& failedLevel, bool& made) {
    failedLevel = 0;
    made = false;
    if (levels.empty()) {
        Handle copy(::fcntl(root.get(), F_DUPFD_CLOEXEC, 0));
        if (!copy.valid()) return lastError();
        folder = std::move(copy);
        return 0;
    }
    std::string relative;
    for (const auto& level : levels)
        relative += (relative.empty() ? "" : "/") + level;
    int opened = -1;
    const int error = resolveBeneath(root.get(), relative, opened);
    if (error == 0) {
        folder = Handle(opened);
        return 0;
    }
    // A missing level to be made, no openat2, or a refusal whose level the walk will name.
    return walkBeneath(root.get(), levels, create, folder, failedLevel, made);
}

int lookAt(const Handle& folder, const std::string& name, NodeInfo& info) {
    struct stat st {};
    if (::fstatat(folder.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        info = {};
        return errno == ENOENT ? 0 : lastError();
    }
    info = infoOf(st);
    return 0;
}

NodeInfo lookAtPath(const fs::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {};
    return infoOf(st);
}

int createTemporary(const Handle& folder, std::string& name, Handle& file) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = temporaryName();
        // O_EXCL | O_NOFOLLOW: a name planted here beforehand (a link, a FIFO) is never opened.
        Handle opened(
            ::openat(folder.get(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
        if (opened.valid()) {
            file = std::move(opened);
            return 0;
        }
        if (errno != EEXIST) return lastError();
    }
    return EEXIST;
}

// Whether linkat may name a file by its descriptor alone (AT_EMPTY_PATH): recent kernels allow
// it for a file its caller opened, older ones only with a privilege. Learnt at the first refusal.
std::atomic<bool> linkByDescriptor{true};

int createUnnamed(const Handle& folder, Handle& file) {
    // Where naming by descriptor is refused, the name is given through /proc; without it, the
    // file could never be named.
    static const bool procFds = ::access("/proc/self/fd", X_OK) == 0;
    if (!procFds) return ENOSYS;
    Handle opened(::openat(folder.get(), ".", O_WRONLY | O_TMPFILE | O_CLOEXEC, 0644));
    if (!opened.valid()) return lastError();
    file = std::move(opened);
    return 0;
}

int giveName(const Handle& file, const Handle& folder, const std::string& name) {
    if (linkByDescriptor.load(std::memory_order_relaxed)) {
        if (::linkat(file.get(), "", folder.get(), name.c_str(), AT_EMPTY_PATH) == 0) return 0;
        if (errno == EEXIST) return kNameTaken;
        if (errno != ENOENT && errno != EPERM) return lastError();
        linkByDescriptor.store(false, std::memory_order_relaxed);
    }
    const auto self = "/proc/self/fd/" + std::to_string(file.get());
    if (::linkat(AT_FDCWD, self.c_str(), folder.get(), name.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
    return errno == EEXIST ? kNameTaken : lastError();
}

int giveTemporaryName(const Handle& file, const Handle& folder, std::string& name) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = temporaryName();
        if (const int error = giveName(file, folder, name); error != kNameTaken) return error;
    }
    return EEXIST;
}

int renameInFolder(const Handle& folder, const std::string& from, const std::string& to) {
    return ::renameat(folder.get(), from.c_str(), folder.get(), to.c_str()) == 0 ? 0 : lastError();
}

int exchangeInFolder(const Handle& folder, const std::string& first, const std::string& second) {
    if (::renameat2(folder.get(), first.c_str(), folder.get(), second.c_str(), RENAME_EXCHANGE) == 0)
        return 0;
    const int error = errno;
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP ? kNoExchange : error;
}

int syncFolder(const Handle& folder) {
    return ::fsync(folder.get()) == 0 || errno == EINVAL ? 0 : lastError();
}

int removeInFolder(const Handle& folder, const std::string& name) {
    return ::unlinkat(folder.get(), name.c_str(), 0) == 0 ? 0 : lastError();
}

void removeLeftovers(const Handle& folder) {
    const int copy = ::fcntl(folder.get(), F_DUPFD_CLOEXEC, 0);
    if (copy < 0) return;
    DIR* dir = ::fdopendir(copy);
    if (!dir) {
        ::close(copy);
        return;
    }
    const std::string prefix = kTemporaryPrefix, suffix = kTemporarySuffix;
    std::vector<std::string> stale;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() <= prefix.size() + suffix.size() || name.compare(0, prefix.size(), prefix) != 0 ||
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        const auto owner = std::strtol(name.c_str() + prefix.size(), nullptr, 10);
        if (owner <= 0 || owner == ::getpid()) continue;
        if (::kill(static_cast<pid_t>(owner), 0) != 0 && errno == ESRCH) stale.push_back(name);
    }
    ::closedir(dir);
    for (const auto& name : stale) {
        NodeInfo info;
        if (lookAt(folder, name, info) == 0 && info.kind == NodeKind::RegularFile)
            removeInFolder(folder, name);
    }
}

std::int64_t freeBytes(const fs::path& path) {
    struct statvfs st {};
    if (::statvfs(path.c_str(), &st) != 0) return -1;
    return static_cast<std::int64_t>(st.f_bavail) * static_cast<std::int64_t>(st.f_frsize);
}

fs::path fileSystemRoot(const fs::path& path) {
    std::error_code ec;
    fs::path current = fs::absolute(path, ec);
    if (ec) return path;
    struct stat st {};
    if (::stat(current.c_str(), &st) != 0) return current;
    const auto device = st.st_dev;
    while (current.has_parent_path() && current.parent_path() != current) {
        const auto parent = current.parent_path();
        struct stat pst {};
        if (::stat(parent.c_str(), &pst) != 0 || pst.st_dev != device) break;
        current = parent;
    }
    return current;
}

void creationTime(const fs::path& path, std::int64_t& seconds, std::uint32_t& nanoseconds) {
    seconds = 0;
    nanoseconds = 0;
    struct statx stx {};
    if (::statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME | STATX_MTIME, &stx) != 0) return;
    const auto& time = (stx.stx_mask & STATX_BTIME) ? stx.stx_btime : stx.stx_mtime;
    seconds = time.tv_sec;
    nanoseconds = time.tv_nsec;
}

void pause(int milliseconds) {
    timespec wait{milliseconds / 1000, static_cast<long>(milliseconds % 1000) * 1000000};
    while (::nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
}

void onStopSignals(void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
        sigaction(signal, &action, nullptr);
}

bool folderWritable(const fs::path& folder) {
    return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

bool isTerminal(int stream) {
    return ::isatty(stream) != 0;
}

std::string executablePath() {
    std::error_code ec;
    const auto exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.string();
}

std::vector<std::string> commandLine(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

void setUpConsole() {}

} // namespace vexa::platform
