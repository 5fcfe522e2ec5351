// Loaded into vexa-cli with LD_PRELOAD by the tests of edits that meet each other: it stops the
// process at chosen system calls, so that a race happens on every run, and injects the failures a
// disk can give. Everything is chosen through the environment:
//
//   VEXA_FAULT_DIR       a folder for the files through which the test and the process meet
//   VEXA_FAULT_BARRIER   N: at the first open for writing, wait until N processes have arrived there
//   VEXA_FAULT_PAUSE_SYNC  N: before the Nth fsync, create DIR/paused.<pid> and wait for DIR/go
//   VEXA_FAULT_PAUSE_HEADER  1: after reading a header (a pread at offset 0 of 8 bytes or more),
//                        create DIR/paused.<pid> and wait for DIR/go
//   VEXA_FAULT_FAIL_SYNC N: the Nth fsync fails with EIO
//   VEXA_FAULT_KILL_AFTER M: once a failure was injected, the Mth write, fsync, truncation or
//                        copy after it kills the process (SIGKILL) before it is made
//
// Waits end after ten seconds whatever happens, so that a test cannot hang on them.

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

namespace {

int number(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::atoi(value) : 0;
}

std::string folder() {
    const char* value = std::getenv("VEXA_FAULT_DIR");
    return value ? value : "";
}

void nap() {
    timespec wait{0, 10'000'000};
    ::nanosleep(&wait, nullptr);
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

void touch(const std::string& path) {
    const int fd = ::creat(path.c_str(), 0644);
    if (fd >= 0) ::close(fd);
}

// Tells the test the process has stopped here, and waits for its word.
void pauseHere() {
    const auto dir = folder();
    if (dir.empty()) return;
    touch(dir + "/paused." + std::to_string(::getpid()));
    for (int i = 0; i < 1000 && !exists(dir + "/go"); ++i)
        nap();
}

int arrivedCount(const std::string& dir) {
    int count = 0;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (const dirent* e = ::readdir(d))
            count += std::strncmp(e->d_name, "arrived.", 8) == 0;
        ::closedir(d);
    }
    return count;
}

std::atomic<bool> barrierPassed{false};

void barrier() {
    const int wanted = number("VEXA_FAULT_BARRIER");
    if (wanted <= 0 || barrierPassed.exchange(true)) return;
    const auto dir = folder();
    touch(dir + "/arrived." + std::to_string(::getpid()));
    for (int i = 0; i < 1000 && arrivedCount(dir) < wanted; ++i)
        nap();
}

std::atomic<int> syncs{0};
std::atomic<bool> failed{false};
std::atomic<int> callsAfterFailure{0};

// A call that changes a file: once a failure was injected, the chosen one kills the process first.
void changing() {
    if (!failed) return;
    const int killAt = number("VEXA_FAULT_KILL_AFTER");
    if (killAt > 0 && ++callsAfterFailure == killAt) ::kill(::getpid(), SIGKILL);
}

template <class F> F next(const char* name) {
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

bool opensForWriting(int flags) {
    return (flags & (O_WRONLY | O_RDWR | O_CREAT)) != 0 || (flags & O_TMPFILE) == O_TMPFILE;
}

} // namespace

extern "C" {

int open(const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const auto mode = static_cast<mode_t>(va_arg(args, int));
    va_end(args);
    if (opensForWriting(flags)) barrier();
    static const auto real = next<int (*)(const char*, int, ...)>("open");
    return real(path, flags, mode);
}

int open64(const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const auto mode = static_cast<mode_t>(va_arg(args, int));
    va_end(args);
    if (opensForWriting(flags)) barrier();
    static const auto real = next<int (*)(const char*, int, ...)>("open64");
    return real(path, flags, mode);
}

int openat(int dir, const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const auto mode = static_cast<mode_t>(va_arg(args, int));
    va_end(args);
    if (opensForWriting(flags)) barrier();
    static const auto real = next<int (*)(int, const char*, int, ...)>("openat");
    return real(dir, path, flags, mode);
}

ssize_t pread(int fd, void* buffer, size_t count, off_t offset) {
    static const auto real = next<ssize_t (*)(int, void*, size_t, off_t)>("pread");
    const auto n = real(fd, buffer, count, offset);
    if (offset == 0 && count >= 8 && number("VEXA_FAULT_PAUSE_HEADER") > 0) pauseHere();
    return n;
}

ssize_t pread64(int fd, void* buffer, size_t count, off_t offset) {
    static const auto real = next<ssize_t (*)(int, void*, size_t, off_t)>("pread64");
    const auto n = real(fd, buffer, count, offset);
    if (offset == 0 && count >= 8 && number("VEXA_FAULT_PAUSE_HEADER") > 0) pauseHere();
    return n;
}

int fsync(int fd) {
    const int n = ++syncs;
    if (n == number("VEXA_FAULT_PAUSE_SYNC")) pauseHere();
    changing();
    if (n == number("VEXA_FAULT_FAIL_SYNC")) {
        failed = true;
        errno = EIO;
        return -1;
    }
    static const auto real = next<int (*)(int)>("fsync");
    return real(fd);
}

ssize_t write(int fd, const void* buffer, size_t count) {
    changing();
    static const auto real = next<ssize_t (*)(int, const void*, size_t)>("write");
    return real(fd, buffer, count);
}

ssize_t pwrite(int fd, const void* buffer, size_t count, off_t offset) {
    changing();
    static const auto real = next<ssize_t (*)(int, const void*, size_t, off_t)>("pwrite");
    return real(fd, buffer, count, offset);
}

int ftruncate(int fd, off_t size) {
    changing();
    static const auto real = next<int (*)(int, off_t)>("ftruncate");
    return real(fd, size);
}

ssize_t copy_file_range(int in, loff_t* inAt, int out, loff_t* outAt, size_t count, unsigned flags) {
    changing();
    static const auto real =
        next<ssize_t (*)(int, loff_t*, int, loff_t*, size_t, unsigned)>("copy_file_range");
    return real(in, inAt, out, outAt, count, flags);
}

} // extern "C"
