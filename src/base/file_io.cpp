#include "base/file_io.h"

#include "base/errors.h"

#include <algorithm>
#include <array>
#include <exception>
#include <cerrno>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace vexa {

namespace {

// Bounded copies: no entry, however large, needs more than this much memory.
constexpr std::size_t kCopyChunk = 1 << 20;
// Kernel-side copies in one call, at most.
constexpr std::uint64_t kKernelCopyChunk = 1u << 30;
// With write-behind, the disk is asked to take each run of this many bytes once they are written.
constexpr std::uint64_t kWriteBehindStep = 8u << 20;
// Shifted ranges from this size on are copied in two halves at once, each through a buffer of
// kHalvesChunk bytes (buffers of 2 MiB and more made the same copy ten times slower here).
constexpr std::uint64_t kHalvesMinimum = 4u << 20;
constexpr std::size_t kHalvesChunk = 512u << 10;
constexpr std::uint64_t kPageSize = 4096;

std::string sizeText(std::uint64_t n) { return std::to_string(n); }

} // namespace

InputFile::InputFile(const fs::path& path) : path_(path) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) throw cannotOpen(path);
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        throw cannotOpen(path);
    }
    size_ = static_cast<std::uint64_t>(st.st_size);
}

InputFile::~InputFile() {
    if (fd_ >= 0) ::close(fd_);
}

std::size_t InputFile::readSome(std::uint64_t offset, std::span<std::uint8_t> buffer) const {
    std::size_t done = 0;
    while (done < buffer.size()) {
        const auto n = ::pread(fd_, buffer.data() + done, buffer.size() - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            throw Error("Cannot read file " + displayPath(path_));
        }
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

void InputFile::readExact(std::uint64_t offset, std::span<std::uint8_t> buffer, const std::string& what) const {
    if (offset > size_ || buffer.size() > size_ - offset || readSome(offset, buffer) != buffer.size())
        throw FormatError(displayPath(path_) + ": " + what + " at offset " + sizeText(offset) + " (" +
                          sizeText(buffer.size()) + " bytes) runs past the end of the file (" + sizeText(size_) +
                          " bytes)");
}

std::vector<std::uint8_t> InputFile::readBlock(std::uint64_t offset, std::uint64_t count,
                                               const std::string& what) const {
    if (offset > size_ || count > size_ - offset)
        throw FormatError(displayPath(path_) + ": " + what + " at offset " + sizeText(offset) + " (" +
                          sizeText(count) + " bytes) runs past the end of the file (" + sizeText(size_) +
                          " bytes)");
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(count));
    readExact(offset, bytes, what);
    return bytes;
}

OutputFile::OutputFile(const fs::path& path) : path_(path) {
    // O_NOFOLLOW: an output never writes through a symbolic link planted where the file should be.
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd_ < 0) throw cannotCreate(path);
}

OutputFile::~OutputFile() {
    if (fd_ >= 0) ::close(fd_);
}

void OutputFile::write(std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const auto n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw Error("Cannot write file " + displayPath(path_));
        }
        done += static_cast<std::size_t>(n);
    }
    written_ += bytes.size();
    if (writeBehind_) startWriteBack();
}

void OutputFile::startWriteBack() {
    if (written_ - writtenBack_ < kWriteBehindStep) return;
    // Only a hint: it starts the writing and returns; a failure is caught by the final sync.
    ::sync_file_range(fd_, static_cast<off_t>(writtenBack_), static_cast<off_t>(written_ - writtenBack_),
                      SYNC_FILE_RANGE_WRITE);
    writtenBack_ = written_;
}

void OutputFile::copyFrom(const InputFile& source, std::uint64_t offset, std::uint64_t count) {
    if (offset > source.size() || count > source.size() - offset)
        throw FormatError(displayPath(source.path()) + ": " + sizeText(count) + " bytes at offset " +
                          sizeText(offset) + " run past the end of the file (" + sizeText(source.size()) +
                          " bytes)");
    std::uint64_t remaining = count;
    // A large range that starts at another place in its page than where it lands (an entry at byte
    // 12 of an archive, written at byte 0) is copied in two halves at once, each through a buffer:
    // the kernel's direct copy then splits every page in two small steps and runs at two thirds of
    // the speed of an aligned one, where the halves together beat it.
    if ((offset % kPageSize) != (written_ % kPageSize) && count >= kHalvesMinimum &&
        copyInHalves(source, offset, count))
        return;
    // Otherwise kernel-side; that is refused on some file systems, then the bounded buffer does it.
    loff_t in = static_cast<loff_t>(offset);
    const auto step = writeBehind_ ? kWriteBehindStep : kKernelCopyChunk;
    while (remaining > 0) {
        const auto n = ::copy_file_range(source.descriptor(), &in, fd_, nullptr,
                                         static_cast<std::size_t>(std::min(remaining, step)), 0);
        if (n <= 0) break;
        remaining -= static_cast<std::uint64_t>(n);
        written_ += static_cast<std::uint64_t>(n);
        if (writeBehind_) startWriteBack();
    }
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(std::min<std::uint64_t>(remaining, kCopyChunk)));
    std::uint64_t at = offset + (count - remaining);
    while (remaining > 0) {
        const auto chunk = static_cast<std::size_t>(std::min<std::uint64_t>(remaining, buffer.size()));
        const auto got = source.readSome(at, std::span(buffer.data(), chunk));
        if (got != chunk)
            throw FormatError(displayPath(source.path()) + ": the file ended at offset " + sizeText(at + got) +
                              " while " + sizeText(count) + " bytes from offset " + sizeText(offset) +
                              " were being copied");
        write(std::span<const std::uint8_t>(buffer.data(), chunk));
        at += chunk;
        remaining -= chunk;
    }
}

bool OutputFile::copyInHalves(const InputFile& source, std::uint64_t offset, std::uint64_t count) {
    const std::uint64_t start = written_;
    if (::lseek(fd_, 0, SEEK_CUR) < 0) return false; // a pipe or a terminal takes its bytes in order
    const std::uint64_t half = count / 2 / kHalvesChunk * kHalvesChunk;
    std::exception_ptr secondFailed;
    std::thread second;
    try {
        second = std::thread([&] {
            try {
                copyPart(source, offset, count, start, half, count);
            } catch (...) {
                secondFailed = std::current_exception();
            }
        });
    } catch (const std::system_error&) {
        return false;
    }
    std::exception_ptr firstFailed;
    try {
        copyPart(source, offset, count, start, 0, half);
    } catch (...) {
        firstFailed = std::current_exception();
    }
    second.join();
    // The failure nearer the start is the one reported, as a single copy would have met it first.
    if (firstFailed) std::rethrow_exception(firstFailed);
    if (secondFailed) std::rethrow_exception(secondFailed);
    written_ = start + count;
    writtenBack_ = written_;
    if (::lseek(fd_, static_cast<off_t>(written_), SEEK_SET) < 0)
        throw Error("Cannot write file " + displayPath(path_));
    return true;
}

void OutputFile::copyPart(const InputFile& source, std::uint64_t offset, std::uint64_t count, std::uint64_t start,
                          std::uint64_t from, std::uint64_t to) {
    std::vector<std::uint8_t> buffer(kHalvesChunk);
    std::uint64_t writtenBack = from;
    for (std::uint64_t at = from; at < to;) {
        const auto chunk = static_cast<std::size_t>(std::min<std::uint64_t>(to - at, buffer.size()));
        const auto got = source.readSome(offset + at, std::span(buffer.data(), chunk));
        if (got != chunk)
            throw FormatError(displayPath(source.path()) + ": the file ended at offset " +
                              sizeText(offset + at + got) + " while " + sizeText(count) + " bytes from offset " +
                              sizeText(offset) + " were being copied");
        for (std::size_t done = 0; done < chunk;) {
            const auto n = ::pwrite(fd_, buffer.data() + done, chunk - done, static_cast<off_t>(start + at + done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) throw Error("Cannot write file " + displayPath(path_));
            done += static_cast<std::size_t>(n);
        }
        at += chunk;
        if (writeBehind_ && at - writtenBack >= kWriteBehindStep) {
            ::sync_file_range(fd_, static_cast<off_t>(start + writtenBack), static_cast<off_t>(at - writtenBack),
                              SYNC_FILE_RANGE_WRITE);
            writtenBack = at;
        }
    }
}

void OutputFile::close() {
    if (fd_ >= 0) {
        const int rc = ::close(fd_);
        fd_ = -1;
        if (rc != 0) throw Error("Cannot write file " + displayPath(path_));
    }
}

AtomicOutputFile::AtomicOutputFile(const fs::path& target) : target_(target) {
    std::random_device rd;
    const auto tag = std::to_string(::getpid()) + "-" + std::to_string(rd());
    temporary_ = target;
    temporary_ += ".vexa-" + tag + ".tmp";
    try {
        file_.emplace(temporary_);
    } catch (const Error&) {
        throw cannotCreate(target);
    }
    // A file that replaces another reaches the disk before the rename: a power cut then leaves the
    // old file or the new one, never neither. A new file is left to the system's own writing, as
    // cp and tar leave theirs: there is nothing older to lose, and waiting for the disk would make
    // every container cost a full disk write.
    struct stat st {};
    replacing_ = ::lstat(target.c_str(), &st) == 0;
    if (replacing_) file_->writeBehind();
}

AtomicOutputFile::~AtomicOutputFile() {
    if (!committed_) {
        file_.reset();
        std::error_code ec;
        fs::remove(temporary_, ec);
    }
}

void AtomicOutputFile::commit() {
    if (replacing_ && ::fsync(file_->descriptor()) != 0)
        throw Error("Cannot write file " + displayPath(target_));
    file_->close();
    std::error_code ec;
    fs::rename(temporary_, target_, ec);
    if (ec) throw cannotCreate(target_);
    committed_ = true;
}

void copyRangeToFile(const InputFile& archive, std::uint64_t offset, std::uint64_t count,
                     const fs::path& outputPath) {
    if (offset > archive.size() || count > archive.size() - offset)
        throw FormatError(displayPath(archive.path()) + ": " + sizeText(count) + " bytes at offset " +
                          sizeText(offset) + " run past the end of the file (" + sizeText(archive.size()) +
                          " bytes)");
    OutputFile out(outputPath);
    try {
        out.copyFrom(archive, offset, count);
        out.close();
    } catch (...) {
        // No partial entry is left behind for the user to mistake for the real one.
        out.close();
        std::error_code ec;
        fs::remove(outputPath, ec);
        throw;
    }
}

void writeWholeFile(const fs::path& path, std::span<const std::uint8_t> bytes) {
    OutputFile out(path);
    out.write(bytes);
    out.close();
}

std::int64_t freeBytes(const fs::path& path) {
    struct statvfs st {};
    if (::statvfs(path.c_str(), &st) != 0) return -1;
    return static_cast<std::int64_t>(st.f_bavail) * static_cast<std::int64_t>(st.f_frsize);
}

bool folderWritable(const fs::path& folder) {
    return ::access(folder.c_str(), W_OK | X_OK) == 0;
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

std::uint32_t creationTimeHigh32(const fs::path& path) {
    // Seconds between 1601-01-01 and 1970-01-01, the two epochs.
    constexpr std::uint64_t kEpochDifference = 11644473600ull;
    struct statx stx {};
    std::int64_t seconds = 0;
    std::uint32_t nanos = 0;
    if (::statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME | STATX_MTIME, &stx) == 0) {
        if (stx.stx_mask & STATX_BTIME) {
            seconds = stx.stx_btime.tv_sec;
            nanos = stx.stx_btime.tv_nsec;
        } else {
            seconds = stx.stx_mtime.tv_sec;
            nanos = stx.stx_mtime.tv_nsec;
        }
    }
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

std::string pathText(const fs::path& path) { return path.string(); }

} // namespace vexa
