#include "formats/writer.h"

#include "base/byte_reader.h"
#include "base/errors.h"
#include "base/text.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace vexa {

namespace {

// ProgressReset and ProgressStep of the writers. An empty list gets a range of 0, not -1.
class WriterProgress {
  public:
    WriterProgress(ProgressSink* sink, std::size_t count) : sink_(sink), count_(count) {}
    void reset() {
        position_ = 0;
        if (!sink_) return;
        sink_->setRange(count_ == 0 ? 0 : static_cast<int>(std::min<std::size_t>(count_ - 1, INT32_MAX)));
        sink_->setPosition(0);
    }
    void step() {
        if (sink_) sink_->setPosition(++position_);
    }

  private:
    ProgressSink* sink_;
    std::size_t count_;
    int position_ = 0;
};

// The container must not replace what it is built from: a new path inside the source folder would
// replace a source or be packed into the next container built there.
void requireOutsideSourceFolder(const fs::path& newPath, const fs::path& sourceFolder) {
    std::error_code ec;
    const auto folder = fs::weakly_canonical(sourceFolder, ec);
    if (ec) return; // the gathering has named the folder it could not read
    const auto output = fs::weakly_canonical(fs::absolute(newPath, ec), ec);
    if (ec) return;
    const auto relative = output.lexically_relative(folder);
    if (!relative.empty() && *relative.begin() != "..")
        throw FileError(FileAction::Create, newPath,
                        "it lies inside the source folder " + displayPath(sourceFolder) +
                            ", whose files it is built from");
}

void stopIfAsked(ProgressSink* progress, const fs::path& newPath) {
    if (progress && progress->cancelRequested())
        throw Cancelled("Cancelled: " + displayPath(newPath) + " was not written");
}

// A whole file the container is built from (reached through a link, perhaps) can still be the file
// being replaced. An entry of an open container is read through the handle opened before: it may.
void requireNotReplaced(const platform::NodeInfo& replaced, const ByteSource& source,
                        const fs::path& newPath) {
    const auto* file = source.file();
    if (!file || source.offsetIn(*file)) return;
    if (replaced.kind == platform::NodeKind::RegularFile && sameFile(file->identity(), replaced))
        throw FileError(FileAction::Create, newPath, "it is the source file " + displayPath(source.path()));
}

// Copies an entry's bytes, and lets go of the file they came from (one of a folder's 10,000).
template <class Copy> void copyEntry(const EntrySource& from, Copy copy) {
    copy(*from);
    from->letGo();
}

} // namespace

namespace {

// The lock the caller holds, or one taken here.
class LockOf {
  public:
    LockOf(const fs::path& path, ProgressSink* progress, const WriterLock* held) {
        if (!held) own_.emplace(path, patienceOf(progress));
        lock_ = held ? held : &*own_;
    }
    const WriterLock& operator*() const { return *lock_; }

  private:
    std::optional<WriterLock> own_;
    const WriterLock* lock_;
};

void commit(AtomicOutputFile& out, ProgressSink* progress) {
    out.commit();
    if (progress && !out.note().empty()) progress->note(out.note());
}

} // namespace

void writeContainerFile(const fs::path& newPath, const std::vector<EntrySource>& sources,
                        const ContainerLayout& layout, ProgressSink* progress, const WriterLock* held) {
    WriterProgress bar(progress, sources.size());
    const LockOf lock(newPath, progress, held);
    AtomicOutputFile out(newPath, *lock);
    out.file().write(layout.head);
    bar.reset();
    for (std::size_t i = 0; i < sources.size(); ++i) {
        stopIfAsked(progress, newPath);
        if (i < layout.before.size()) out.file().write(layout.before[i]);
        copyEntry(sources[i], [&](const ByteSource& from) {
            requireNotReplaced(out.file().replaced(), from, newPath);
            out.file().copyFrom(from, 0, from.size());
        });
        bar.step();
    }
    out.file().write(layout.tail);
    stopIfAsked(progress, newPath);
    commit(out, progress);
    bar.reset();
}

namespace {

// Headers up to one disk sector: each is written by one write that lands whole or not at all.
constexpr std::size_t kMaxUpdatedHeader = 512;
// The old directory is held in memory while the new one is written over it.
constexpr std::uint64_t kMaxParkedDirectory = 16u << 20;

const std::vector<std::uint8_t>& bytesBefore(const ContainerLayout& layout, std::size_t i) {
    static const std::vector<std::uint8_t> none;
    return i < layout.before.size() ? layout.before[i] : none;
}

// How an update in place goes: entries below firstNew are kept where they are, up to keptEnd; the
// new bytes run from there to newEnd; the old directory (oldDirectory to the old end) is parked at
// parkAt while they are written.
struct UpdatePlan {
    std::size_t firstNew = 0;
    std::uint64_t keptEnd = 0;
    std::uint64_t newEnd = 0;
    std::vector<std::uint8_t> oldHead;
    std::uint64_t oldDirectory = 0;
    std::vector<std::uint8_t> parked;
    std::uint64_t parkAt = 0;
};

std::optional<UpdatePlan> planUpdate(const ByteSource& archive, std::uint64_t oldEntriesEnd,
                                     std::size_t directoryField, const std::vector<EntrySource>& sources,
                                     const ContainerLayout& layout) {
    const auto& head = layout.head;
    if (head.size() < directoryField + 4 || head.size() > kMaxUpdatedHeader || archive.size() < head.size())
        return std::nullopt;
    UpdatePlan plan;
    plan.oldHead = archive.readBlock(0, head.size(), "the header");
    // The leading entries whose bytes (and the bytes laid out before them) are where they would go.
    std::uint64_t at = head.size();
    std::vector<std::uint8_t> old;
    for (; plan.firstNew < sources.size(); ++plan.firstNew) {
        const auto& before = bytesBefore(layout, plan.firstNew);
        if (!before.empty()) {
            old.resize(before.size());
            if (archive.readSome(at, old) != old.size() || old != before) break;
        }
        const auto& source = *sources[plan.firstNew];
        if (source.offsetIn(archive) != at + before.size()) break;
        at += before.size() + source.size();
    }
    plan.keptEnd = at;
    // What follows comes from files: an entry of the container there would be overwritten as it is read.
    for (auto i = plan.firstNew; i < sources.size(); ++i) {
        if (sources[i]->offsetIn(archive)) return std::nullopt;
        at += bytesBefore(layout, i).size() + sources[i]->size();
    }
    plan.newEnd = at + layout.tail.size();
    // The old entries must all lie before what is written; its directory after.
    plan.oldDirectory = ByteReader(plan.oldHead, displayPath(archive.path())).u32(directoryField);
    if (oldEntriesEnd > plan.keptEnd || plan.oldDirectory < plan.keptEnd ||
        plan.oldDirectory > archive.size() || archive.size() - plan.oldDirectory > kMaxParkedDirectory)
        return std::nullopt;
    plan.parkAt = std::max(archive.size(), plan.newEnd);
    const auto parkedSize = archive.size() - plan.oldDirectory;
    if (plan.parkAt + parkedSize > 0x7FFFFFFFull) return std::nullopt;
    plan.parked = archive.readBlock(plan.oldDirectory, parkedSize, "the directory");
    return plan;
}

// Puts the old container back as it was, as far as the file lets it. Until the header was pointed at
// the parked copy, the old directory is untouched: only what was written past the old end goes.
// After, the new bytes may have overwritten the old directory: the header is pointed at the parked
// copy first (it may already be), and only then is the old directory written back and the header
// pointed at it, so that a crash at any moment leaves the old entries, once each. False when it
// could not: the header then still finds the parked copy, so the old entries are all there.
bool putBack(UpdateFile& file, const WriterLock& lock, const UpdatePlan& plan,
             const std::vector<std::uint8_t>& parkedHead, bool parkedInUse, std::uint64_t oldSize) {
    try {
        if (parkedInUse) {
            {
                const WriterLock::HeaderSwitch switching(lock, false);
                file.writeAt(0, parkedHead);
                file.sync();
            }
            file.writeAt(plan.oldDirectory, plan.parked);
            file.sync();
            const WriterLock::HeaderSwitch switching(lock, false);
            file.writeAt(0, plan.oldHead);
            file.sync();
        }
        file.resize(oldSize);
        file.sync();
        return true;
    } catch (const Error&) {
        return false;
    }
}

// Points the header at another directory, once no reader of this program is between a header and its
// directory; none is let in until it is on disk.
void switchHeader(UpdateFile& file, const WriterLock& lock, const std::vector<std::uint8_t>& head) {
    const WriterLock::HeaderSwitch switching(lock, true);
    file.writeAt(0, head);
    file.sync();
}

} // namespace

bool updateContainerFile(const WriterLock& lock, const InputFile& archive, std::uint64_t oldEntriesEnd,
                         std::size_t directoryField, const std::vector<EntrySource>& sources,
                         const ContainerLayout& layout, ProgressSink* progress) {
    const auto& path = lock.path();
    const auto plan = planUpdate(archive, oldEntriesEnd, directoryField, sources, layout);
    if (!plan) return false;
    auto file = UpdateFile::over(lock);
    const auto& then = archive.identity();
    const auto& locked = lock.identity();
    // A link's file is left alone: a save writes a new file in place of the link, as before.
    platform::Handle folder;
    platform::NodeInfo named;
    if (platform::openFolder(path.parent_path().empty() ? fs::path(".") : path.parent_path(), folder) != 0 ||
        platform::lookAt(folder, path.filename().string(), named) != 0 ||
        named.kind != platform::NodeKind::RegularFile)
        return false;
    if (!file || !sameFile(locked, then) || locked.size != archive.size() ||
        locked.modified != then.modified || locked.links != 1)
        return false;
    const auto oldSize = archive.size();
    WriterProgress bar(progress, sources.size());
    bar.reset();
    stopIfAsked(progress, path);

    // 1. The old directory is parked past all that will be written, and the header points at it.
    auto parkedHead = plan->oldHead;
    putU32(&parkedHead[directoryField], static_cast<std::uint32_t>(plan->parkAt));
    bool parkedInUse = false;
    // After a failure the old bytes go back; when even that fails, the user hears that they did not.
    const auto undo = [&](const Error& failure) {
        if (!putBack(*file, lock, *plan, parkedHead, parkedInUse, oldSize))
            throw Error(std::string(failure.what()) + "; " + displayPath(path) +
                        " keeps its old entries, but its directory now lies at its end");
    };
    try {
        file->reserve(oldSize, plan->parkAt + plan->parked.size() - oldSize);
        file->writeAt(plan->parkAt, plan->parked);
        file->sync();
        parkedInUse = true;
        switchHeader(*file, lock, parkedHead);
    } catch (const Error& failure) {
        undo(failure);
        throw;
    } catch (...) {
        putBack(*file, lock, *plan, parkedHead, parkedInUse, oldSize);
        throw;
    }

    // 2. The new bytes and directory in their places; 3. the header points at them, while the path
    // still names this file: one another program moved onto it meanwhile is not reported as saved.
    try {
        for (std::size_t i = 0; i < plan->firstNew; ++i)
            bar.step();
        auto at = plan->keptEnd;
        for (auto i = plan->firstNew; i < sources.size(); ++i) {
            stopIfAsked(progress, path);
            const auto& before = bytesBefore(layout, i);
            file->writeAt(at, before);
            at += before.size();
            copyEntry(sources[i], [&](const ByteSource& from) {
                requireNotReplaced(then, from, path);
                file->copyAt(at, from, 0, from.size());
                at += from.size();
            });
            bar.step();
        }
        file->writeAt(at, layout.tail);
        file->sync();
        stopIfAsked(progress, path);
        if (!lock.stillAt()) throw replacedWhileWritten(path);
        switchHeader(*file, lock, layout.head);
    } catch (const Error& failure) {
        undo(failure);
        throw;
    } catch (...) {
        putBack(*file, lock, *plan, parkedHead, parkedInUse, oldSize);
        throw;
    }

    // The new container is whole; what lies past its end is the parked directory, no longer used.
    try {
        file->resize(plan->newEnd);
        file->sync();
    } catch (const Error&) {
        // Left in place, those bytes harm nothing: readers find the directory through the header.
    }
    bar.reset();
    return true;
}

void writeMadeFile(const fs::path& newPath, std::span<const std::uint8_t> head, std::size_t count,
                   const std::function<ByteParts(std::size_t)>& piece, std::span<const std::uint8_t> tail,
                   const std::vector<fs::path>& sources, ProgressSink* progress) {
    WriterProgress bar(progress, count);
    const WriterLock lock(newPath, patienceOf(progress));
    AtomicOutputFile out(newPath, lock);
    for (const auto& source : sources)
        requireNotReplaced(out.file().replaced(), InputFile(source), newPath);
    out.file().write(head);
    bar.reset();
    for (std::size_t i = 0; i < count; ++i) {
        stopIfAsked(progress, newPath);
        auto parts = piece(i);
        for (auto& part : parts) {
            out.file().write(part);
            std::vector<std::uint8_t>().swap(part);
        }
        bar.step();
    }
    out.file().write(tail);
    stopIfAsked(progress, newPath);
    commit(out, progress);
    bar.reset();
}

std::string EntryLayoutWriter::StoredName(const WriterEntry& entry, const fs::path& newPath) const {
    return latin1ToUtf8(StoredKey(entry, newPath));
}

std::optional<CutName> cutName(const EntryLayoutWriter& writer, const WriterEntry& entry,
                               const fs::path& newPath) {
    auto stored = writer.StoredName(entry, newPath);
    // Letter case alone is no cut: a kind whose type stands for the extension lists it in its own case.
    if (equalsNoCase(stored, entry.name)) return std::nullopt;
    return CutName{entry.name, std::move(stored)};
}

std::vector<CutName> cutNames(const EntryLayoutWriter& writer, const std::vector<WriterEntry>& entries,
                              const fs::path& newPath) {
    std::vector<CutName> cut;
    for (const auto& entry : entries)
        if (auto c = cutName(writer, entry, newPath)) cut.push_back(std::move(*c));
    return cut;
}

std::vector<CutName> EntryLayoutWriter::WriteContainer(const fs::path& newPath, const fs::path& sourceFolder,
                                                       const SourceFileList& files,
                                                       ProgressSink* progress) const {
    requireOutsideSourceFolder(newPath, sourceFolder);
    std::vector<WriterEntry> entries;
    std::vector<EntrySource> sources;
    entries.reserve(files.size());
    sources.reserve(files.size());
    for (const auto& file : files) {
        entries.push_back({file.name, file.size, {file.time, 0, std::nullopt}});
        sources.push_back(
            std::make_shared<const FileToCopy>(sourcePath(sourceFolder, file), file.size, newPath));
    }
    auto layout = Layout(entries, newPath);
    std::vector<std::string> keys;
    keys.reserve(entries.size());
    for (const auto& entry : entries)
        keys.push_back(StoredKey(entry, newPath));
    requireDistinctStoredNames(entries, keys, newPath);
    auto cut = cutNames(*this, entries, newPath);
    writeContainerFile(newPath, sources, layout, progress);
    return cut;
}

std::string storedName(const std::string& name, const fs::path& newPath) {
    auto stored = utf8ToLatin1(name);
    if (!stored)
        throw FileError(FileAction::Create, newPath,
                        "the name '" + name + "' has characters that cannot be stored");
    return *stored;
}

std::string storedNameCut(const std::string& name, std::size_t maxLength, const fs::path& newPath) {
    auto stored = storedName(name, newPath);
    if (stored.size() > maxLength) stored.resize(maxLength);
    return stored;
}

std::string storedNameWithin(const std::string& name, std::size_t maxLength, const fs::path& newPath) {
    auto stored = storedName(name, newPath);
    requireNameFits(stored, maxLength, newPath);
    return stored;
}

void requireNameFits(const std::string& stored, std::size_t maxLength, const fs::path& newPath) {
    if (stored.size() > maxLength)
        throw FileError(FileAction::Create, newPath,
                        "the name '" + latin1ToUtf8(stored) + "' is " + std::to_string(stored.size()) +
                            " characters long; this kind stores at most " + std::to_string(maxLength));
}

void requireDistinctStoredNames(const std::vector<WriterEntry>& entries, const std::vector<std::string>& keys,
                                const fs::path& newPath,
                                const std::function<bool(std::size_t, std::size_t)>& mayRepeat) {
    std::unordered_map<std::string_view, std::size_t> first;
    first.reserve(keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const auto [at, added] = first.emplace(keys[i], i);
        if (!added && !(mayRepeat && mayRepeat(at->second, i)))
            throw FileError(FileAction::Create, newPath,
                            "'" + entries[at->second].name + "' and '" + entries[i].name +
                                "' would both be stored as '" + latin1ToUtf8(keys[i]) + "'");
    }
}

void requireSizeFits32(const std::string& name, std::uint64_t size, const fs::path& newPath) {
    if (size > 0x7FFFFFFFull)
        throw FileError(FileAction::Create, newPath,
                        "'" + name + "' is " + std::to_string(size) +
                            " bytes; this kind stores files under 2 GiB");
}

void requireSizesFit32(const std::vector<WriterEntry>& entries, const fs::path& newPath) {
    for (const auto& e : entries)
        requireSizeFits32(e.name, e.size, newPath);
}

std::uint64_t totalSize(const std::vector<WriterEntry>& entries) {
    std::uint64_t total = 0;
    for (const auto& e : entries)
        total += e.size;
    return total;
}

void requireArchiveFits32(std::uint64_t end, const fs::path& newPath) {
    if (end > 0x7FFFFFFFull)
        throw FileError(FileAction::Create, newPath,
                        "the files add up to " + std::to_string(end) + " bytes; this kind holds under 2 GiB");
}

void putName(std::uint8_t* field, std::size_t width, const std::string& stored) {
    std::memset(field, 0, width);
    std::memcpy(field, stored.data(), std::min(width, stored.size()));
}

} // namespace vexa
