#pragma once
// The one writer skeleton: a format lays out its header, the bytes before each file and its
// trailer; this writes them and streams each source file between, through a temporary file that
// replaces the target only when everything was written.

#include "formats/container.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace vexa {

struct ContainerLayout {
    std::vector<std::uint8_t> head;                // before the first file's data
    std::vector<std::vector<std::uint8_t>> before; // per file, written just before its data (may be empty)
    std::vector<std::uint8_t> tail;                // after the last file's data
};

// Asks progress->cancelRequested() before each file and before the rename: when it says yes, the
// temporary file is removed and Cancelled is thrown; any previous file at newPath stays as it was.
void writeContainerFile(const fs::path& newPath, const fs::path& sourceFolder, const SourceFileList& files,
                        const ContainerLayout& layout, ProgressSink* progress);

// The same skeleton for a file whose pieces are made while it is written (textures built from
// pictures): head, then piece(i) for each i below count, then tail. sources are the files the
// pieces are made from: the new file must not replace one of them.
void writeMadeFile(const fs::path& newPath, std::span<const std::uint8_t> head, std::size_t count,
                   const std::function<std::vector<std::uint8_t>(std::size_t)>& piece,
                   std::span<const std::uint8_t> tail, const std::vector<fs::path>& sources,
                   ProgressSink* progress);

// The stored (8-bit) form of a gathered name with "\" between levels; throws naming newPath when a
// character has no single-byte form.
std::string storedName(const SourceFile& file, const fs::path& newPath);
// Refuses (naming the file) a name longer than maxLength bytes in its stored form.
void requireNameFits(const std::string& stored, std::size_t maxLength, const fs::path& newPath);
// Refuses (naming both source files) two files whose stored keys are equal: names the format's
// cutting made one. keys[i] is what files[i] is stored as (with its folder or type where those
// tell entries apart). Called before anything is written.
void requireDistinctStoredNames(const SourceFileList& files, const std::vector<std::string>& keys,
                                const fs::path& newPath);
// Refuses files that do not fit the format's 32-bit size fields (2 GiB and over).
void requireSizesFit32(const SourceFileList& files, const fs::path& newPath);

// Refuses a container whose offsets would not fit its signed 32-bit fields (end = its last byte + 1).
void requireArchiveFits32(std::uint64_t end, const fs::path& newPath);

// Writes a stored name into a fixed-width field, zero-filled; the caller has cut it to fit.
void putName(std::uint8_t* field, std::size_t width, const std::string& stored);

} // namespace vexa
