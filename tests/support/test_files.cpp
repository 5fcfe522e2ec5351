#include "support/test_files.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace vexa::test {

TempDir::TempDir() {
    std::random_device rd;
    path_ =
        fs::temp_directory_path() / ("vexa-test-" + std::to_string(::getpid()) + "-" + std::to_string(rd()));
    fs::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

void writeFile(const fs::path& path, const Bytes& bytes) {
    if (path.has_parent_path()) fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("test could not write " + path.string());
}

void writeFile(const fs::path& path, std::string_view text) {
    writeFile(path, bytesOf(text));
}

Bytes readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) throw std::runtime_error("test could not read " + path.string());
    Bytes bytes(static_cast<std::size_t>(in.tellg()));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!in) throw std::runtime_error("test could not read " + path.string());
    return bytes;
}

Bytes bytesOf(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    if (fs::exists(folder))
        for (const auto& e : fs::directory_iterator(folder))
            names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

Bytes patternBytes(std::size_t n, std::uint8_t seed) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i)
        b[i] = static_cast<std::uint8_t>(seed * 31 + i * 7 + (i >> 8));
    return b;
}

ByteBuilder& ByteBuilder::u8(std::uint8_t v) {
    bytes_.push_back(v);
    return *this;
}
ByteBuilder& ByteBuilder::u16(std::uint16_t v) {
    bytes_.push_back(static_cast<std::uint8_t>(v));
    bytes_.push_back(static_cast<std::uint8_t>(v >> 8));
    return *this;
}
ByteBuilder& ByteBuilder::u32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        bytes_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    return *this;
}
ByteBuilder& ByteBuilder::raw(std::string_view text) {
    bytes_.insert(bytes_.end(), text.begin(), text.end());
    return *this;
}
ByteBuilder& ByteBuilder::raw(const Bytes& bytes) {
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    return *this;
}
ByteBuilder& ByteBuilder::name(std::string_view text, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i)
        bytes_.push_back(i < text.size() ? static_cast<std::uint8_t>(text[i]) : 0);
    return *this;
}
ByteBuilder& ByteBuilder::zeros(std::size_t n) {
    bytes_.insert(bytes_.end(), n, 0);
    return *this;
}
ByteBuilder& ByteBuilder::patchU32(std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        bytes_.at(at + i) = static_cast<std::uint8_t>(v >> (8 * i));
    return *this;
}

RunResult runCommand(const std::vector<std::string>& argv) {
    TempDir capture;
    const auto outPath = capture / "out", errPath = capture / "err";
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::freopen(outPath.c_str(), "w", stdout);
        std::freopen(errPath.c_str(), "w", stderr);
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    RunResult r;
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    const auto out = readFile(outPath), err = readFile(errPath);
    r.out.assign(out.begin(), out.end());
    r.err.assign(err.begin(), err.end());
    return r;
}

} // namespace vexa::test
