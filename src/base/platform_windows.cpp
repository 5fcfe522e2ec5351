#include "base/platform.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <fcntl.h>
#include <io.h>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <shellapi.h>

namespace vexa::platform {

namespace {

constexpr const wchar_t* kTemporaryPrefix = L".vexa-";
constexpr const wchar_t* kTemporarySuffix = L".part";
// Names of files here are UTF-8 everywhere above this layer.
constexpr UINT kNameCodePage = CP_UTF8;
// A folder held open lets others read and write in it but neither rename nor remove it (nor, as
// NTFS refuses to rename a folder with anything open beneath it, any folder above it): nothing can
// be swapped in under a path this program is writing to.
constexpr DWORD kFolderSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr DWORD kAnySharing = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

int lastError() {
    const DWORD error = ::GetLastError();
    return error != 0 ? static_cast<int>(error) : ERROR_GEN_FAILURE;
}

std::wstring wide(const std::string& text) {
    if (text.empty()) return {};
    const int n =
        ::MultiByteToWideChar(kNameCodePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(kNameCodePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

std::string narrow(const wchar_t* text, int length = -1) {
    const int n = ::WideCharToMultiByte(kNameCodePage, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string out(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(kNameCodePage, 0, text, length, out.data(), n, nullptr, nullptr);
    if (length < 0) out.pop_back(); // the terminating zero
    return out;
}

HANDLE native(const Handle& handle) {
    return reinterpret_cast<HANDLE>(handle.get());
}

std::intptr_t value(HANDLE handle) {
    return reinterpret_cast<std::intptr_t>(handle);
}

bool missing(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// Opens path for its attributes only; at a reparse point (a symbolic link, a junction) the point
// itself when ownPoint is set, else what it leads to.
HANDLE openForAttributes(const fs::path& path, bool ownPoint, DWORD sharing = kAnySharing) {
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (ownPoint ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
    return ::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, sharing, nullptr, OPEN_EXISTING, flags, nullptr);
}

int infoOf(HANDLE handle, NodeInfo& info) {
    BY_HANDLE_FILE_INFORMATION data{};
    if (!::GetFileInformationByHandle(handle, &data)) return lastError();
    info.kind = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? NodeKind::SymbolicLink
                : (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)   ? NodeKind::Folder
                : ::GetFileType(handle) == FILE_TYPE_DISK              ? NodeKind::RegularFile
                                                                       : NodeKind::Other;
    info.device = data.dwVolumeSerialNumber;
    info.inode = (std::uint64_t{data.nFileIndexHigh} << 32) | data.nFileIndexLow;
    info.size = (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
    // 100-nanosecond intervals since 1601 as nanoseconds since 1970.
    const auto written =
        (std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) | data.ftLastWriteTime.dwLowDateTime;
    info.modified = (static_cast<std::int64_t>(written) - 116444736000000000LL) * 100;
    info.links = data.nNumberOfLinks;
    return 0;
}

// One level of a folder path, as a folder and never a reparse point, made first when missing
// and create is set.
int openLevel(const fs::path& path, bool create, HANDLE& opened, bool& made) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        opened = openForAttributes(path, true, kFolderSharing);
        if (opened != INVALID_HANDLE_VALUE) {
            NodeInfo info;
            const int error = infoOf(opened, info);
            if (error == 0 && info.kind == NodeKind::Folder) return 0;
            ::CloseHandle(opened);
            opened = INVALID_HANDLE_VALUE;
            return error != 0 ? error : info.kind == NodeKind::SymbolicLink ? kLinkInTheWay : kFileInTheWay;
        }
        const DWORD error = ::GetLastError();
        if (!missing(error) || !create) return static_cast<int>(error);
        // Someone else making it at the same moment is as good as making it (but it is not ours).
        if (::CreateDirectoryW(path.c_str(), nullptr))
            made = true;
        else if (::GetLastError() != ERROR_ALREADY_EXISTS)
            return lastError();
    }
    return ERROR_PATH_NOT_FOUND;
}

int duplicate(const Handle& original, Handle& copy) {
    HANDLE process = ::GetCurrentProcess(), duplicated = INVALID_HANDLE_VALUE;
    if (!::DuplicateHandle(process, native(original), process, &duplicated, 0, FALSE, DUPLICATE_SAME_ACCESS))
        return lastError();
    copy = Handle(value(duplicated), original.path());
    return 0;
}

std::atomic<unsigned> temporaryCount{0};

std::wstring temporaryName() {
    return kTemporaryPrefix + std::to_wstring(::GetCurrentProcessId()) + L"-" +
           std::to_wstring(temporaryCount.fetch_add(1, std::memory_order_relaxed)) + kTemporarySuffix;
}

bool processRunning(DWORD id) {
    HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
    // Refused access means someone else's process that is running.
    if (!process) return ::GetLastError() != ERROR_INVALID_PARAMETER;
    DWORD code = 0;
    const bool running = ::GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
    ::CloseHandle(process);
    return running;
}

std::atomic<void (*)(int)> stopHandler{nullptr};

BOOL WINAPI onConsoleEvent(DWORD event) {
    auto* handler = stopHandler.load();
    if (!handler) return FALSE;
    handler(event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? SIGINT : SIGTERM);
    // A closed console or a logoff ends the process when this returns: waiting here gives the job
    // the time the system allows to stop between two entries and clean up.
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) ::Sleep(INFINITE);
    return TRUE;
}

UINT consoleCodePage = 0;

void restoreConsoleCodePage() {
    ::SetConsoleOutputCP(consoleCodePage);
}

} // namespace

std::string reason(int error) {
    if (const char* own = layerReason(error)) return own;
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        static_cast<DWORD>(error), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string out = length ? narrow(text, static_cast<int>(length)) : "error " + std::to_string(error);
    ::LocalFree(text);
    // System messages end in ".\r\n"; this program's own texts go on after them.
    while (!out.empty() &&
           (out.back() == '\n' || out.back() == '\r' || out.back() == '.' || out.back() == ' '))
        out.pop_back();
    return out;
}

int Handle::close() {
    if (!valid()) return 0;
    const bool closed = ::CloseHandle(native(*this));
    native_ = -1;
    return closed ? 0 : lastError();
}

int openForReading(const fs::path& path, Handle& file, NodeInfo& info) {
    // Backup semantics: a folder opens too, and is then refused as not a regular file, as a
    // device (CON, NUL, a pipe) is.
    HANDLE opened = ::CreateFileW(path.c_str(), GENERIC_READ, kAnySharing, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (opened == INVALID_HANDLE_VALUE) return lastError();
    Handle held(value(opened), path);
    if (::GetFileType(opened) != FILE_TYPE_DISK) return kNotRegularFile;
    NodeInfo found;
    if (const int error = infoOf(opened, found); error != 0) return error;
    if (found.kind != NodeKind::RegularFile) return kNotRegularFile;
    info = found;
    file = std::move(held);
    return 0;
}

int readAt(const Handle& file, std::uint64_t offset, std::span<std::uint8_t> buffer, std::size_t& got) {
    got = 0;
    while (got < buffer.size()) {
        const auto at = offset + got;
        OVERLAPPED where{};
        where.Offset = static_cast<DWORD>(at);
        where.OffsetHigh = static_cast<DWORD>(at >> 32);
        const auto want = static_cast<DWORD>(std::min<std::size_t>(buffer.size() - got, 1u << 30));
        DWORD n = 0;
        if (!::ReadFile(native(file), buffer.data() + got, want, &n, &where)) {
            if (::GetLastError() == ERROR_HANDLE_EOF) break;
            return lastError();
        }
        if (n == 0) break;
        got += n;
    }
    return 0;
}

int writeAll(const Handle& file, std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const auto want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD n = 0;
        if (!::WriteFile(native(file), bytes.data() + done, want, &n, nullptr)) return lastError();
        if (n == 0) return ERROR_WRITE_FAULT;
        done += n;
    }
    return 0;
}

int copyKernelSide(const Handle&, std::uint64_t, const Handle&, std::uint64_t, std::uint64_t& copied) {
    // No copy of a range between two open files here: the caller's buffer does it.
    copied = 0;
    return ERROR_NOT_SUPPORTED;
}

void startWriteBack(const Handle&, std::uint64_t, std::uint64_t) {}

int syncFile(const Handle& file) {
    return ::FlushFileBuffers(native(file)) ? 0 : lastError();
}

int openForLocking(const fs::path& path, Handle& file, NodeInfo& info, bool& writable) {
    // Every sharing: the locks, not the sharing mode, keep other writers out, and a reader of this
    // program opens the file meanwhile.
    for (const DWORD access : {GENERIC_READ | GENERIC_WRITE, DWORD{GENERIC_READ}}) {
        HANDLE opened = ::CreateFileW(path.c_str(), access, kAnySharing, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
        if (opened == INVALID_HANDLE_VALUE) {
            if (::GetLastError() == ERROR_ACCESS_DENIED && access != GENERIC_READ) continue;
            return lastError();
        }
        Handle held(value(opened), path);
        NodeInfo found;
        if (const int error = infoOf(opened, found); error != 0) return error;
        if (found.kind != NodeKind::RegularFile) return kNotRegularFile;
        writable = access != GENERIC_READ;
        info = found;
        file = std::move(held);
        return 0;
    }
    return ERROR_ACCESS_DENIED;
}

int lookAtOpen(const Handle& file, NodeInfo& info) {
    return infoOf(native(file), info);
}

namespace {
// Locks here keep others from reading the locked bytes: they lie far past the end of any container.
constexpr std::uint64_t kLockBase = std::uint64_t{1} << 62;

OVERLAPPED lockPlace(LockRange range) {
    const auto at = kLockBase + (range == LockRange::Writer ? 0 : 1);
    OVERLAPPED where{};
    where.Offset = static_cast<DWORD>(at);
    where.OffsetHigh = static_cast<DWORD>(at >> 32);
    return where;
}
} // namespace

int tryLock(const Handle& file, LockRange range, LockMode mode) {
    auto where = lockPlace(range);
    const DWORD flags =
        LOCKFILE_FAIL_IMMEDIATELY | (mode == LockMode::Exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
    if (::LockFileEx(native(file), flags, 0, 1, 0, &where)) return 0;
    const DWORD error = ::GetLastError();
    if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING) return kLockBusy;
    return error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION ? kLocksUnsupported
                                                                           : static_cast<int>(error);
}

void unlock(const Handle& file, LockRange range) {
    auto where = lockPlace(range);
    ::UnlockFileEx(native(file), 0, 1, 0, &where);
}

// Windows keeps permissions in access lists, which a new file inherits from its folder.
int copyMode(const Handle&, const NodeInfo&) {
    return 0;
}
int copyOwner(const Handle&, const NodeInfo&) {
    return 0;
}

int seekTo(const Handle& file, std::uint64_t offset) {
    LARGE_INTEGER to{};
    to.QuadPart = static_cast<LONGLONG>(offset);
    return ::SetFilePointerEx(native(file), to, nullptr, FILE_BEGIN) ? 0 : lastError();
}

int resizeFile(const Handle& file, std::uint64_t size) {
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    return ::SetFileInformationByHandle(native(file), FileEndOfFileInfo, &end, sizeof end) ? 0 : lastError();
}

int reserveSpace(const Handle&, std::uint64_t, std::uint64_t) {
    return 0; // NTFS allocates as it is written; a full disk is reported by that write
}

int openFolder(const fs::path& path, Handle& folder) {
    std::error_code ec;
    const auto absolute = fs::absolute(path, ec);
    if (ec) return ec.value();
    HANDLE opened = openForAttributes(absolute, false, kFolderSharing);
    if (opened == INVALID_HANDLE_VALUE) return lastError();
    Handle held(value(opened), absolute);
    NodeInfo info;
    if (const int error = infoOf(opened, info); error != 0) return error;
    if (info.kind != NodeKind::Folder) return ERROR_DIRECTORY;
    folder = std::move(held);
    return 0;
}

int openFolderBeneath(const Handle& root, const std::vector<std::string>& levels, bool create, Handle& folder,
                      std::size_t& failedLevel, bool& made) {
    failedLevel = 0;
    made = false;
    Handle current;
    if (const int error = duplicate(root, current); error != 0) return error;
    // Each level is held while the next is opened, so none can be swapped meanwhile.
    for (std::size_t i = 0; i < levels.size(); ++i) {
        const auto path = current.path() / wide(levels[i]);
        HANDLE next = INVALID_HANDLE_VALUE;
        if (const int error = openLevel(path, create, next, made); error != 0) {
            failedLevel = i;
            return error;
        }
        current = Handle(value(next), path);
    }
    folder = std::move(current);
    return 0;
}

int lookAt(const Handle& folder, const std::string& name, NodeInfo& info) {
    info = {};
    HANDLE opened = openForAttributes(folder.path() / wide(name), true);
    if (opened == INVALID_HANDLE_VALUE) return missing(::GetLastError()) ? 0 : lastError();
    const int error = infoOf(opened, info);
    ::CloseHandle(opened);
    return error;
}

NodeInfo lookAtPath(const fs::path& path) {
    NodeInfo info;
    HANDLE opened = openForAttributes(path, false);
    if (opened == INVALID_HANDLE_VALUE) return info;
    if (infoOf(opened, info) != 0) info = {};
    ::CloseHandle(opened);
    return info;
}

// A file cannot be made with no name here: createTemporary and a rename do the work.
int createUnnamed(const Handle&, Handle&) {
    return ERROR_NOT_SUPPORTED;
}

int giveName(const Handle&, const Handle&, const std::string&) {
    return ERROR_NOT_SUPPORTED;
}

int giveTemporaryName(const Handle&, const Handle&, std::string&) {
    return ERROR_NOT_SUPPORTED;
}

int createTemporary(const Handle& folder, std::string& name, Handle& file) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto temporary = temporaryName();
        const auto path = folder.path() / temporary;
        // CREATE_NEW: a name planted here beforehand (a link, a device) is never opened. Sharing
        // delete lets the finished file be renamed into place.
        HANDLE opened = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                      nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (opened != INVALID_HANDLE_VALUE) {
            name = narrow(temporary.c_str());
            file = Handle(value(opened), path);
            return 0;
        }
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return static_cast<int>(error);
    }
    return ERROR_FILE_EXISTS;
}

int renameInFolder(const Handle& folder, const std::string& from, const std::string& to) {
    // Replacing renames over what stands at to (a link is replaced, not followed).
    const auto source = folder.path() / wide(from), target = folder.path() / wide(to);
    return ::MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : lastError();
}

int exchangeInFolder(const Handle&, const std::string&, const std::string&) {
    return kNoExchange;
}

int syncFolder(const Handle&) {
    return 0; // a folder cannot be flushed here; NTFS journals its names
}

int removeInFolder(const Handle& folder, const std::string& name) {
    return ::DeleteFileW((folder.path() / wide(name)).c_str()) ? 0 : lastError();
}

void removeLeftovers(const Handle& folder) {
    const auto pattern = folder.path() / (std::wstring(kTemporaryPrefix) + L"*" + kTemporarySuffix);
    WIN32_FIND_DATAW found{};
    HANDLE search =
        ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) return;
    std::vector<std::string> stale;
    const auto prefixLength = std::wcslen(kTemporaryPrefix);
    do {
        const std::wstring name = found.cFileName;
        if (name.size() <= prefixLength) continue;
        const auto owner = std::wcstoul(name.c_str() + prefixLength, nullptr, 10);
        if (owner == 0 || owner == ::GetCurrentProcessId()) continue;
        if (!processRunning(owner)) stale.push_back(narrow(name.c_str()));
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    for (const auto& name : stale) {
        NodeInfo info;
        if (lookAt(folder, name, info) == 0 && info.kind == NodeKind::RegularFile)
            removeInFolder(folder, name);
    }
}

std::int64_t freeBytes(const fs::path& path) {
    ULARGE_INTEGER available{};
    if (!::GetDiskFreeSpaceExW(path.c_str(), &available, nullptr, nullptr)) return -1;
    return static_cast<std::int64_t>(available.QuadPart);
}

fs::path fileSystemRoot(const fs::path& path) {
    std::error_code ec;
    const auto absolute = fs::absolute(path, ec);
    if (ec) return path;
    wchar_t volume[MAX_PATH + 1] = {};
    if (!::GetVolumePathNameW(absolute.c_str(), volume, MAX_PATH + 1)) return absolute;
    return fs::path(volume);
}

void creationTime(const fs::path& path, std::int64_t& seconds, std::uint32_t& nanoseconds) {
    seconds = 0;
    nanoseconds = 0;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return;
    // Windows counts 100 ns steps since 1601.
    constexpr std::uint64_t kStepsFrom1601To1970 = 116444736000000000ull;
    const auto steps =
        (std::uint64_t{data.ftCreationTime.dwHighDateTime} << 32) | data.ftCreationTime.dwLowDateTime;
    if (steps < kStepsFrom1601To1970) return;
    seconds = static_cast<std::int64_t>((steps - kStepsFrom1601To1970) / 10000000);
    nanoseconds = static_cast<std::uint32_t>((steps - kStepsFrom1601To1970) % 10000000 * 100);
}

bool folderWritable(const fs::path& folder) {
    // Permissions here are access lists, not mode bits: trying is the only sure answer.
    const auto probe = folder / temporaryName();
    HANDLE opened = ::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (opened == INVALID_HANDLE_VALUE) return false;
    ::CloseHandle(opened);
    return true;
}

void pause(int milliseconds) {
    ::Sleep(static_cast<DWORD>(milliseconds));
}

void onStopSignals(void (*handler)(int)) {
    stopHandler.store(handler);
    ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

bool isTerminal(int stream) {
    return ::_isatty(stream) != 0;
}

std::string executablePath() {
    std::wstring path(MAX_PATH, L'\0');
    while (true) {
        const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) return narrow(path.c_str(), static_cast<int>(n));
        path.resize(path.size() * 2);
    }
}

std::vector<std::string> commandLine(int argc, char** argv) {
    int count = 0;
    wchar_t** words = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!words) return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> out;
    for (int i = 0; i < count; ++i)
        out.push_back(narrow(words[i]));
    ::LocalFree(words);
    return out;
}

void setUpConsole() {
    // The same bytes as on every other system: a listing piped to a file or a script is UTF-8
    // with "\n" line ends, as the tests and scripts written elsewhere expect.
    ::_setmode(::_fileno(stdout), _O_BINARY);
    ::_setmode(::_fileno(stderr), _O_BINARY);
    if (::GetConsoleOutputCP() != CP_UTF8 && ::_isatty(::_fileno(stdout))) {
        consoleCodePage = ::GetConsoleOutputCP();
        ::SetConsoleOutputCP(CP_UTF8);
        std::atexit(restoreConsoleCodePage);
    }
}

} // namespace vexa::platform
