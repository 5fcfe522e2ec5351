#pragma once
// Bytes that are read at an offset: a file (InputFile, file_io.h), a range of other bytes (an entry of
// a container, itself a container perhaps), or bytes held in memory. Readers of containers and
// pictures read through this alone, so a container inside a container opens without a copy and
// damaged bytes in memory are read as a file would be.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vexa {

namespace fs = std::filesystem;

class InputFile;

// True when size bytes at offset lie inside a file of fileSize bytes.
inline bool rangeFits(std::uint64_t fileSize, std::uint64_t offset, std::uint64_t size) {
    return offset <= fileSize && size <= fileSize - offset;
}

// Why an entry's bytes cannot all be read from a file of fileSize bytes, or empty when they lie
// inside it.
std::string rangeProblem(std::uint64_t fileSize, std::uint64_t offset, std::uint64_t size);

class ByteSource {
  public:
    virtual ~ByteSource() = default;
    ByteSource(const ByteSource&) = delete;
    ByteSource& operator=(const ByteSource&) = delete;

    // What the bytes are, for messages: a file's path; for an entry, the container's path and the
    // entry's name below it ("pak0.pak/gfx.wad").
    const fs::path& path() const { return path_; }
    std::uint64_t size() const { return size_; }

    // Reads up to buffer.size() bytes at offset; returns how many were read (fewer only at the end).
    // Throws Error when the bytes underneath cannot be read.
    virtual std::size_t readSome(std::uint64_t offset, std::span<std::uint8_t> buffer) const = 0;
    // Reads exactly buffer.size() bytes at offset; throws a FormatError naming what when there are fewer.
    void readExact(std::uint64_t offset, std::span<std::uint8_t> buffer, const std::string& what) const;
    // Reads count bytes at offset into a new buffer, after checking they lie inside.
    std::vector<std::uint8_t> readBlock(std::uint64_t offset, std::uint64_t count,
                                        const std::string& what) const;

    // The file these bytes lie in, and where they start in it, for copies the system makes without
    // passing them through memory; null for bytes held in memory.
    virtual const InputFile* file() const { return nullptr; }
    virtual std::uint64_t fileOffset() const { return 0; }
    // Where these bytes start in outer, when they are a range of it.
    virtual std::optional<std::uint64_t> offsetIn(const ByteSource&) const { return std::nullopt; }
    // Lets go of what was opened to read them, once they are copied (a file of a folder of 10,000 a
    // container is built from); it is opened again when read again.
    virtual void letGo() const {}

  protected:
    ByteSource(fs::path path, std::uint64_t size) : path_(std::move(path)), size_(size) {}
    void setSize(std::uint64_t size) { size_ = size; }

  private:
    fs::path path_;
    std::uint64_t size_;
};

// count bytes of outer from offset, named name below it. Throws a FormatError when they do not lie
// inside outer.
class ByteRange final : public ByteSource {
  public:
    ByteRange(std::shared_ptr<const ByteSource> outer, std::uint64_t offset, std::uint64_t count,
              const std::string& name);

    std::size_t readSome(std::uint64_t offset, std::span<std::uint8_t> buffer) const override;
    const InputFile* file() const override { return outer_->file(); }
    std::uint64_t fileOffset() const override { return outer_->fileOffset() + offset_; }
    std::optional<std::uint64_t> offsetIn(const ByteSource& outer) const override;

  private:
    std::shared_ptr<const ByteSource> outer_;
    std::uint64_t offset_;
};

// Bytes held in memory, read as a file named path would be.
class MemoryBytes final : public ByteSource {
  public:
    MemoryBytes(std::vector<std::uint8_t> bytes, fs::path path);

    std::size_t readSome(std::uint64_t offset, std::span<std::uint8_t> buffer) const override;
    std::span<const std::uint8_t> bytes() const { return bytes_; }

  private:
    std::vector<std::uint8_t> bytes_;
};

} // namespace vexa
