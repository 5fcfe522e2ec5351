#pragma once
// The one writer skeleton: a format lays out its header, the bytes before each entry and its
// trailer; this writes them and streams each entry's bytes between (from a file, or from a range of
// an open container), through a temporary file that replaces the target only when everything was
// written.

#include "formats/container.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vexa {

// Writes layout with sources[i]'s bytes as entry i's data. Asks progress->cancelRequested() before
// each entry and before the rename: when it says yes, the temporary file is removed and Cancelled is
// thrown. On any failure any previous file at newPath stays as it was. A source file that is the
// file being replaced, or whose size is no longer the one given, is refused naming it. lock: the
// caller's lock on newPath; without one, it is taken here (waiting as progress says).
void writeContainerFile(const fs::path& newPath, const std::vector<EntrySource>& sources,
                        const ContainerLayout& layout, ProgressSink* progress,
                        const WriterLock* lock = nullptr);

// Saves an edited container at lock's path, open as archive, by changing only its end, where the new
// container keeps the old one's leading entries where they are: the new bytes after them come from
// files, and the header finds the directory after them through directoryField (a 32-bit offset). That
// is an entry added at the end, a rename, a change of the directory only. oldEntriesEnd is where the
// old container's entries' bytes end.
//
// At every moment the file on disk is a whole container, the old or the new one: the old directory
// is first copied past everything to be written and the header pointed at that copy; the new bytes
// and directory then go in place; the header is pointed at them; the file is cut to its new end. Each
// step is on disk before the next, and the header is pointed elsewhere only while no reader of this
// program is between a header and its directory. On failure or Cancel the old bytes are put back; a
// path that no longer names the locked file when the header would point at the new directory is
// ContainerChangedOnDisk.
//
// Returns false, having changed nothing, when the container cannot be saved so (the caller writes it
// anew): another layout, kept bytes that would move, a file that has other names (hard links), is
// reached through a symbolic link or could not be opened for writing, or one that is not the file
// archive read.
bool updateContainerFile(const WriterLock& lock, const InputFile& archive, std::uint64_t oldEntriesEnd,
                         std::size_t directoryField, const std::vector<EntrySource>& sources,
                         const ContainerLayout& layout, ProgressSink* progress);

// A piece of a made file in parts written in order, each let go once written: a texture's levels are
// passed as they are made, not copied into one buffer first.
using ByteParts = std::vector<std::vector<std::uint8_t>>;

// The same skeleton for a file whose pieces are made while it is written (textures built from
// pictures): head, then piece(i) for each i below count, then tail. sources are the files the
// pieces are made from: the new file must not replace one of them.
void writeMadeFile(const fs::path& newPath, std::span<const std::uint8_t> head, std::size_t count,
                   const std::function<ByteParts(std::size_t)>& piece, std::span<const std::uint8_t> tail,
                   const std::vector<fs::path>& sources, ProgressSink* progress);

// What entry's name is cut to by writer's fields; none when it is stored as given (letter case aside).
std::optional<CutName> cutName(const EntryLayoutWriter& writer, const WriterEntry& entry,
                               const fs::path& newPath);
// The entries whose names writer cuts, in their order.
std::vector<CutName> cutNames(const EntryLayoutWriter& writer, const std::vector<WriterEntry>& entries,
                              const fs::path& newPath);

// The stored (8-bit) form of a name with "\" between levels; throws naming newPath when a character
// has no single-byte form.
std::string storedName(const std::string& name, const fs::path& newPath);
// The stored form cut to its first maxLength bytes, for kinds that cut a longer name to their field.
std::string storedNameCut(const std::string& name, std::size_t maxLength, const fs::path& newPath);
// The stored form of a name for kinds that refuse a longer one than maxLength bytes (naming the file).
std::string storedNameWithin(const std::string& name, std::size_t maxLength, const fs::path& newPath);
// Refuses (naming the file) a name longer than maxLength bytes in its stored form.
void requireNameFits(const std::string& stored, std::size_t maxLength, const fs::path& newPath);
// Refuses (naming both entries) two entries whose stored keys are equal: names the format's cutting
// made one. keys[i] is what entries[i] is stored as; a pair (earlier, later) for which mayRepeat says
// yes is let through. Called before anything is written.
void requireDistinctStoredNames(const std::vector<WriterEntry>& entries, const std::vector<std::string>& keys,
                                const fs::path& newPath,
                                const std::function<bool(std::size_t, std::size_t)>& mayRepeat = {});
// Refuses entries that do not fit the format's 32-bit size fields (2 GiB and over).
void requireSizesFit32(const std::vector<WriterEntry>& entries, const fs::path& newPath);
// The same for one entry of name and size.
void requireSizeFits32(const std::string& name, std::uint64_t size, const fs::path& newPath);

// Refuses a container whose offsets would not fit its signed 32-bit fields (end = its last byte + 1).
void requireArchiveFits32(std::uint64_t end, const fs::path& newPath);

// The sum of the entries' sizes.
std::uint64_t totalSize(const std::vector<WriterEntry>& entries);

// Writes a stored name into a fixed-width field, zero-filled; the caller has cut it to fit.
void putName(std::uint8_t* field, std::size_t width, const std::string& stored);

} // namespace vexa
