#include "base/file_io.h"

#include "base/errors.h"

#include <algorithm>

namespace vexa {

namespace {

// Bounded copies: no entry, however large, needs more than this much memory.
constexpr std::size_t kCopyChunk = 1 << 20;
// Kernel-side copies in one call, at most.
constexpr std::uint64_t kKernelCopyChunk = 1u << 30;
// With write-behind, the disk is asked to take each run of this many bytes once they are written.
constexpr std::uint64_t kWriteBehindStep = 8u << 20;
// A lock held by another process is tried again this often, for this long unless asked to wait on.
constexpr int kLockRetryMilliseconds = 20;
constexpr int kBriefLockWaitMilliseconds = 5000;

enum class Locking { Held, TimedOut, Unsupported };

// Takes a lock, trying again while another process holds it, until the patience runs out (untilDone:
// never). Throws Cancelled when cancelled says so between tries, Error for a failure of the system.
Locking waitForLock(const platform::Handle& file, platform::LockRange range, platform::LockMode mode,
                    const LockPatience& patience, const fs::path& path) {
    for (int waited = 0;; waited += kLockRetryMilliseconds) {
        const int error = platform::tryLock(file, range, mode);
        if (error == 0) return Locking::Held;
        if (error == platform::kLocksUnsupported) return Locking::Unsupported;
        if (error != platform::kLockBusy) throw FileError(FileAction::Lock, path, platform::reason(error));
        if (patience.cancelled && patience.cancelled())
            throw Cancelled("Cancelled: " + displayPath(path) + " was not changed");
        if (!patience.untilDone && waited >= kBriefLockWaitMilliseconds) return Locking::TimedOut;
        platform::pause(kLockRetryMilliseconds);
    }
}

std::string sizeText(std::uint64_t n) {
    return std::to_string(n);
}

// The levels of a relative path, as the platform opens them.
std::vector<std::string> levelsOf(const fs::path& relative) {
    std::vector<std::string> levels;
    for (const auto& part : relative)
        levels.push_back(part.string());
    return levels;
}

} // namespace

InputFile::InputFile(const fs::path& path) : ByteSource(path, 0) {
    if (const int error = platform::openForReading(path, file_, identity_); error != 0)
        throw FileError(FileAction::Open, path, platform::reason(error));
    setSize(identity_.size);
}

std::size_t InputFile::readSome(std::uint64_t offset, std::span<std::uint8_t> buffer) const {
    std::size_t got = 0;
    if (const int error = platform::readAt(file_, offset, buffer, got); error != 0)
        throw FileError(FileAction::Read, path(), platform::reason(error));
    return got;
}

std::shared_ptr<const ByteSource> openFileBytes(const fs::path& path) {
    return std::make_shared<const InputFile>(path);
}

const InputFile& FileToCopy::opened() const {
    if (!file_) {
        file_.emplace(path());
        if (file_->size() != size()) {
            const auto now = file_->size();
            file_.reset();
            throw FileError(FileAction::Create, into_,
                            displayPath(path()) + " changed size (" + std::to_string(size()) +
                                " bytes when gathered, " + std::to_string(now) + " now)");
        }
    }
    return *file_;
}

std::size_t FileToCopy::readSome(std::uint64_t offset, std::span<std::uint8_t> buffer) const {
    return opened().readSome(offset, buffer);
}

ContainerChangedOnDisk replacedWhileWritten(const fs::path& path) {
    return ContainerChangedOnDisk(FileAction::Save, path,
                                  "another program replaced it while it was being written; what that "
                                  "program wrote is left as it is");
}

bool sameFile(const platform::NodeInfo& a, const platform::NodeInfo& b) {
    return a.device == b.device && a.inode == b.inode;
}

InputFile::DirectoryHold::DirectoryHold(const platform::Handle& file) : file_(file) {
    // A reader is never kept waiting long: past a few seconds it reads as a program that takes no lock.
    try {
        held_ = waitForLock(file_, platform::LockRange::Directory, platform::LockMode::Shared, {}, {}) ==
                Locking::Held;
    } catch (const Error&) {
    }
}

InputFile::DirectoryHold::~DirectoryHold() {
    if (held_) platform::unlock(file_, platform::LockRange::Directory);
}

WriterLock::WriterLock(const fs::path& path, const LockPatience& patience)
    : path_(path), patience_(patience) {
    // The lock is on the file that was opened: if another program moved a new file onto the path
    // meanwhile, it is that one that must be locked.
    for (int attempt = 0; attempt < 100; ++attempt) {
        platform::Handle file;
        platform::NodeInfo info;
        bool writable = false;
        if (const int error = platform::openForLocking(path, file, info, writable); error != 0) {
            if (platform::lookAtPath(path).kind == platform::NodeKind::Missing) return; // a new file
            throw FileError(FileAction::Open, path, platform::reason(error));
        }
        // Only a file open for writing takes an exclusive lock; one this process may not write is
        // replaced, not changed, and its replacement is checked against it as it is put in place.
        const auto mode = writable ? platform::LockMode::Exclusive : platform::LockMode::Shared;
        if (waitForLock(file, platform::LockRange::Writer, mode, patience, path) == Locking::TimedOut)
            throw FileBusy(displayPath(path) + " is being changed by another program");
        if (const int looked = platform::lookAtOpen(file, info); looked != 0)
            throw FileError(FileAction::Open, path, platform::reason(looked));
        if (sameFile(platform::lookAtPath(path), info)) {
            file_ = std::move(file);
            identity_ = info;
            writable_ = writable;
            return;
        }
    }
    throw FileBusy(displayPath(path) + " is being replaced by another program again and again");
}

bool WriterLock::stillAt() const {
    const auto now = platform::lookAtPath(path_);
    return holdsFile() ? now.kind == platform::NodeKind::RegularFile && sameFile(now, identity_)
                       : now.kind == platform::NodeKind::Missing;
}

WriterLock::HeaderSwitch::HeaderSwitch(const WriterLock& lock, bool forward) : file_(lock.handle()) {
    auto locking = Locking::Unsupported;
    try {
        locking = waitForLock(file_, platform::LockRange::Directory, platform::LockMode::Exclusive,
                              forward ? lock.patience() : LockPatience{}, lock.path());
    } catch (const Error&) {
        if (forward) throw; // undoing goes on whatever happens
    }
    held_ = locking == Locking::Held;
    if (locking == Locking::TimedOut && forward)
        throw FileBusy(displayPath(lock.path()) + " is being read by another program");
}

WriterLock::HeaderSwitch::~HeaderSwitch() {
    if (held_) platform::unlock(file_, platform::LockRange::Directory);
}

OutputRoot::OutputRoot(const fs::path& target, bool createsFolders, const fs::path& archive)
    : target_(target), createsFolders_(createsFolders),
      archive_(archive.empty() ? platform::NodeInfo{} : platform::lookAtPath(archive)) {
    if (const int error = platform::openFolder(target, folder_); error != 0)
        throw FileError(FileAction::Create, target, platform::reason(error));
}

platform::Handle OutputRoot::openFolderOf(const fs::path& relative, const fs::path& output) {
    const auto levels = levelsOf(relative.parent_path());
    platform::Handle folder;
    std::size_t failedLevel = 0;
    bool made = false;
    if (const int error =
            platform::openFolderBeneath(folder_, levels, createsFolders_, folder, failedLevel, made);
        error != 0) {
        auto at = target_;
        for (std::size_t i = 0; i <= failedLevel && i < levels.size(); ++i)
            at /= levels[i];
        if (error == platform::kLinkInTheWay)
            throw OutputError(at, "a symbolic link stands at " + displayPath(at));
        if (error == platform::kFileInTheWay)
            throw OutputError(at, "a file stands at " + displayPath(at) + " where a folder should be");
        throw OutputError(FileAction::Create, output, platform::reason(error));
    }
    // A folder this run made holds no killed run's temporaries: only the others are swept.
    if (swept_.insert(relative.parent_path().string()).second && !made) platform::removeLeftovers(folder);
    return folder;
}

std::string OutputRoot::refusal(const platform::NodeInfo& there, const fs::path& output) const {
    using platform::NodeKind;
    switch (there.kind) {
    case NodeKind::Missing:
        return {};
    case NodeKind::SymbolicLink:
        return "a symbolic link stands at " + displayPath(output);
    case NodeKind::Folder:
        return "a folder stands at " + displayPath(output);
    case NodeKind::Other:
        return "something other than a regular file stands at " + displayPath(output);
    case NodeKind::RegularFile:
        break;
    }
    if (archive_.kind != NodeKind::Missing && sameFile(there, archive_))
        return "it would overwrite the container being read";
    return {};
}

OutputFile::OutputFile(const OutputPath& output) : path_(output.path()) {
    fs::path relative;
    if (auto* root = output.root()) {
        relative = path_.lexically_relative(root->path());
        folder_ = root->openFolderOf(relative, path_);
    } else {
        relative = path_.filename();
        const auto parent = path_.parent_path();
        if (const int error = platform::openFolder(parent.empty() ? fs::path(".") : parent, folder_);
            error != 0)
            fail(FileAction::Create, error);
        platform::removeLeftovers(folder_);
    }
    leaf_ = relative.filename().string();
    root_ = output.root();
    // An extracted file takes a file with no name yet, linked in when whole: one change to the
    // folder, as a plain create, and nothing left behind by a killed process. What stands at its
    // name is looked at only when the link finds the name taken (most names are new).
    if (root_ && platform::createUnnamed(folder_, file_) == 0) {
        unnamed_ = true;
        return;
    }
    checkWhatStandsThere();
    if (const int error = platform::createTemporary(folder_, temporary_, file_); error != 0)
        fail(FileAction::Create, error);
}

void OutputFile::checkWhatStandsThere() {
    platform::NodeInfo there;
    if (const int error = platform::lookAt(folder_, leaf_, there); error != 0)
        fail(FileAction::Create, error);
    if (root_) {
        if (auto refused = root_->refusal(there, path_); !refused.empty()) throw OutputError(path_, refused);
    } else if (there.kind != platform::NodeKind::Missing && there.kind != platform::NodeKind::RegularFile) {
        fail(FileAction::Create, platform::kNotRegularFile);
    }
    replaced_ = there;
}

OutputFile::~OutputFile() {
    if (!temporary_.empty()) {
        file_.close();
        platform::removeInFolder(folder_, temporary_);
    }
}

void OutputFile::fail(FileAction action, int error) const {
    throw FileError(action, path_, platform::reason(error));
}

void OutputFile::write(std::span<const std::uint8_t> bytes) {
    if (const int error = platform::writeAll(file_, bytes); error != 0) fail(FileAction::Write, error);
    written_ += bytes.size();
    if (writeBehind_) startWriteBack();
}

void OutputFile::startWriteBack() {
    if (written_ - writtenBack_ < kWriteBehindStep) return;
    // Only a hint: it starts the writing and returns; a failure is caught by the final sync.
    platform::startWriteBack(file_, writtenBack_, written_ - writtenBack_);
    writtenBack_ = written_;
}

namespace {

// Copies count bytes at offset of source to the write position of to: kernel-side where the file
// systems allow it (step bytes a call, then copied(n)), the rest through a bounded buffer handed to
// write(bytes).
template <class Copied, class Write>
void copyRange(const ByteSource& source, std::uint64_t offset, std::uint64_t count,
               const platform::Handle& to, std::uint64_t step, Copied copied, Write write) {
    if (!rangeFits(source.size(), offset, count))
        throw FormatError(displayPath(source.path()) + ": " + sizeText(count) + " bytes at offset " +
                          sizeText(offset) + " run past the end of the file (" + sizeText(source.size()) +
                          " bytes)");
    std::uint64_t done = 0;
    // Bytes that lie in a file are copied by the system; those in memory through the buffer below.
    const auto* file = source.file();
    const auto base = source.fileOffset();
    while (file && done < count) {
        std::uint64_t n = 0;
        const int error = platform::copyKernelSide(file->handle(), base + offset + done, to,
                                                   std::min(count - done, step), n);
        done += n;
        copied(n);
        if (error != 0 || n == 0) break;
    }
    std::vector<std::uint8_t> buffer(
        static_cast<std::size_t>(std::min<std::uint64_t>(count - done, kCopyChunk)));
    while (done < count) {
        const auto chunk = static_cast<std::size_t>(std::min<std::uint64_t>(count - done, buffer.size()));
        const auto at = offset + done;
        const auto got = source.readSome(at, std::span(buffer.data(), chunk));
        if (got != chunk)
            throw FormatError(displayPath(source.path()) + ": the file ended at offset " +
                              sizeText(at + got) + " while " + sizeText(count) + " bytes from offset " +
                              sizeText(offset) + " were being copied");
        write(std::span<const std::uint8_t>(buffer.data(), chunk));
        done += chunk;
    }
}

} // namespace

void OutputFile::copyFrom(const ByteSource& source, std::uint64_t offset, std::uint64_t count) {
    copyRange(
        source, offset, count, file_, writeBehind_ ? kWriteBehindStep : kKernelCopyChunk,
        [&](std::uint64_t n) {
            written_ += n;
            if (writeBehind_) startWriteBack();
        },
        [&](std::span<const std::uint8_t> bytes) { write(bytes); });
}

void OutputFile::sync() {
    if (const int error = platform::syncFile(file_); error != 0) fail(FileAction::Write, error);
}

void OutputFile::close() {
    if (unnamed_) {
        unnamed_ = false;
        int error = platform::giveName(file_, folder_, leaf_);
        if (error == 0) {
            if (const int closed = file_.close(); closed != 0) fail(FileAction::Write, closed);
            return;
        }
        // A file of that name is replaced through a temporary name, never written through;
        // anything else there refuses the entry.
        if (error == platform::kNameTaken) {
            checkWhatStandsThere();
            error = platform::giveTemporaryName(file_, folder_, temporary_);
        }
        if (error != 0) fail(FileAction::Create, error);
    }
    if (temporary_.empty()) return;
    if (const int error = file_.close(); error != 0) fail(FileAction::Write, error);
    if (const int error = platform::renameInFolder(folder_, temporary_, leaf_); error != 0)
        fail(FileAction::Create, error);
    temporary_.clear();
}

std::string OutputFile::takeModeAndOwner(const platform::NodeInfo& like) {
    // The owner first: giving a file away clears its set-user bits, which the mode then puts back.
    std::string note;
    if (const int error = platform::copyOwner(file_, like); error != 0)
        note = displayPath(path_) + " now belongs to this user: its owner and group (" +
               std::to_string(like.owner) + ":" + std::to_string(like.group) +
               ") could not be kept: " + platform::reason(error);
    if (const int error = platform::copyMode(file_, like); error != 0) fail(FileAction::Create, error);
    return note;
}

void OutputFile::closeOver(const WriterLock& lock) {
    if (temporary_.empty()) { // unnamed: it takes a temporary name first, to be swapped in
        if (const int error = platform::giveTemporaryName(file_, folder_, temporary_); error != 0)
            fail(FileAction::Create, error);
        unnamed_ = false;
    }
    if (const int error = file_.close(); error != 0) fail(FileAction::Write, error);
    const auto changed = [&] { return replacedWhileWritten(path_); };
    if (lock.holdsFile()) {
        // Swapped in one step, then what came out is looked at: a file another program moved onto
        // the path meanwhile goes back, so it is never lost, not even for a moment's race.
        const int error = platform::exchangeInFolder(folder_, temporary_, leaf_);
        if (error == 0) {
            platform::NodeInfo out;
            if (platform::lookAt(folder_, temporary_, out) == 0 &&
                out.kind == platform::NodeKind::RegularFile && sameFile(out, lock.identity())) {
                platform::removeInFolder(folder_, temporary_);
                temporary_.clear();
                // The rename reaches the disk too: until then a power cut could bring the old file back.
                platform::syncFolder(folder_);
                return;
            }
            platform::exchangeInFolder(folder_, temporary_, leaf_);
            throw changed();
        }
        if (error != platform::kNoExchange) {
            if (!lock.stillAt()) throw changed();
            fail(FileAction::Create, error);
        }
    }
    if (!lock.stillAt()) throw changed();
    if (const int error = platform::renameInFolder(folder_, temporary_, leaf_); error != 0)
        fail(FileAction::Create, error);
    temporary_.clear();
    if (lock.holdsFile()) platform::syncFolder(folder_);
}

AtomicOutputFile::AtomicOutputFile(const fs::path& target, const WriterLock& lock)
    : file_(target), lock_(lock) {
    if (!lock_.holdsFile()) return;
    // A file that replaces another reaches the disk before the rename: a power cut then leaves the
    // old file or the new one, never neither. A new file is left to the system's own writing, as
    // cp and tar leave theirs: there is nothing older to lose, and waiting for the disk would make
    // every container cost a full disk write.
    file_.writeBehind();
    // Before a byte is written: a private container is never readable by others, not even while it is
    // being written.
    note_ = file_.takeModeAndOwner(lock_.identity());
}

void AtomicOutputFile::commit() {
    if (lock_.holdsFile()) file_.sync();
    file_.closeOver(lock_);
}

std::optional<UpdateFile> UpdateFile::over(const WriterLock& lock) {
    if (!lock.holdsFile() || !lock.writable()) return std::nullopt;
    return UpdateFile(lock.path(), lock.handle());
}

void UpdateFile::fail(FileAction action, int error) const {
    throw FileError(action, path_, platform::reason(error));
}

void UpdateFile::writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
    if (const int error = platform::seekTo(file_, offset); error != 0) fail(FileAction::Write, error);
    if (const int error = platform::writeAll(file_, bytes); error != 0) fail(FileAction::Write, error);
}

void UpdateFile::copyAt(std::uint64_t offset, const ByteSource& source, std::uint64_t from,
                        std::uint64_t count) {
    if (const int error = platform::seekTo(file_, offset); error != 0) fail(FileAction::Write, error);
    copyRange(
        source, from, count, file_, kKernelCopyChunk, [](std::uint64_t) {},
        [&](std::span<const std::uint8_t> bytes) {
            if (const int error = platform::writeAll(file_, bytes); error != 0)
                fail(FileAction::Write, error);
        });
}

void UpdateFile::reserve(std::uint64_t offset, std::uint64_t count) {
    if (const int error = platform::reserveSpace(file_, offset, count); error != 0)
        fail(FileAction::Write, error);
}

void UpdateFile::resize(std::uint64_t size) {
    if (const int error = platform::resizeFile(file_, size); error != 0) fail(FileAction::Write, error);
}

void UpdateFile::sync() {
    if (const int error = platform::syncFile(file_); error != 0) fail(FileAction::Write, error);
}

void copyRangeToFile(const ByteSource& archive, std::uint64_t offset, std::uint64_t count,
                     const OutputPath& outputPath) {
    if (!rangeFits(archive.size(), offset, count))
        throw FormatError(displayPath(archive.path()) + ": " + sizeText(count) + " bytes at offset " +
                          sizeText(offset) + " run past the end of the file (" + sizeText(archive.size()) +
                          " bytes)");
    OutputFile out(outputPath);
    out.copyFrom(archive, offset, count);
    out.close();
}

void writeWholeFile(const OutputPath& path, std::span<const std::uint8_t> bytes) {
    OutputFile out(path);
    out.write(bytes);
    out.close();
}

std::int64_t freeBytes(const fs::path& path) {
    return platform::freeBytes(path);
}

bool folderWritable(const fs::path& folder) {
    return platform::folderWritable(folder);
}

fs::path fileSystemRoot(const fs::path& path) {
    return platform::fileSystemRoot(path);
}

std::uint32_t creationTimeHigh32(const fs::path& path) {
    // Seconds between 1601-01-01 and 1970-01-01, the two epochs.
    constexpr std::uint64_t kEpochDifference = 11644473600ull;
    std::int64_t seconds = 0;
    std::uint32_t nanos = 0;
    platform::creationTime(path, seconds, nanos);
    const std::uint64_t ticks =
        (static_cast<std::uint64_t>(seconds) + kEpochDifference) * 10000000ull + nanos / 100;
    return static_cast<std::uint32_t>(ticks >> 32);
}

fs::path entryNameToPath(const std::string& name) {
    fs::path result;
    std::size_t start = 0;
    while (start <= name.size()) {
        const auto sep = name.find_first_of("\\/", start);
        const auto part = name.substr(start, sep == std::string::npos ? std::string::npos : sep - start);
        if (!part.empty()) result /= part;
        if (sep == std::string::npos) break;
        start = sep + 1;
    }
    return result;
}

std::string pathText(const fs::path& path) {
    return path.string();
}

} // namespace vexa
