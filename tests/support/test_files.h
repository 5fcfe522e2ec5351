#pragma once
// Small builders for tests: a temporary folder, files of given bytes, little-endian layouts.

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace vexa::test {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& path() const { return path_; }
    fs::path operator/(const std::string& name) const { return path_ / name; }

  private:
    fs::path path_;
};

void writeFile(const fs::path& path, const Bytes& bytes);
void writeFile(const fs::path& path, std::string_view text);
Bytes readFile(const fs::path& path);
Bytes bytesOf(std::string_view text);
// n bytes of a pattern that differs from file to file (seed).
Bytes patternBytes(std::size_t n, std::uint8_t seed);
// The names in a folder, sorted; none when the folder does not exist.
std::vector<std::string> namesIn(const fs::path& folder);

// Appends little-endian fields and raw bytes, for laying out test containers.
class ByteBuilder {
  public:
    ByteBuilder& u8(std::uint8_t v);
    ByteBuilder& u16(std::uint16_t v);
    ByteBuilder& u32(std::uint32_t v);
    ByteBuilder& i32(std::int32_t v) { return u32(static_cast<std::uint32_t>(v)); }
    ByteBuilder& raw(std::string_view text);
    ByteBuilder& raw(const Bytes& bytes);
    // text then zero bytes up to width (text is cut to width)
    ByteBuilder& name(std::string_view text, std::size_t width);
    ByteBuilder& zeros(std::size_t n);
    std::size_t size() const { return bytes_.size(); }
    // overwrite a 32-bit field already written
    ByteBuilder& patchU32(std::size_t at, std::uint32_t v);
    const Bytes& bytes() const { return bytes_; }

  private:
    Bytes bytes_;
};

// Runs a command line and captures its standard output and standard error.
struct RunResult {
    int exitCode = -1;
    std::string out, err;
};
RunResult runCommand(const std::vector<std::string>& argv);

} // namespace vexa::test
