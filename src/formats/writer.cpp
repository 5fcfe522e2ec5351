#include "formats/writer.h"

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
        throw Error("Cannot create file " + displayPath(newPath) + ": it lies inside the source folder " +
                    displayPath(sourceFolder) + ", whose files it is built from");
}

void stopIfAsked(ProgressSink* progress, const fs::path& newPath) {
    if (progress && progress->cancelRequested())
        throw Cancelled("Cancelled: " + displayPath(newPath) + " was not written");
}

// A source reached through a link can still be the file being replaced.
void requireNotReplaced(const OutputFile& out, const InputFile& source, const fs::path& newPath) {
    const auto& replaced = out.replaced();
    if (replaced.kind == platform::NodeKind::RegularFile && source.identity().device == replaced.device &&
        source.identity().inode == replaced.inode)
        throw Error("Cannot create file " + displayPath(newPath) + ": it is the source file " +
                    displayPath(source.path()));
}

} // namespace

void writeContainerFile(const fs::path& newPath, const std::vector<EntrySource>& sources,
                        const ContainerLayout& layout, ProgressSink* progress) {
    WriterProgress bar(progress, sources.size());
    AtomicOutputFile out(newPath);
    out.file().write(layout.head);
    bar.reset();
    for (std::size_t i = 0; i < sources.size(); ++i) {
        stopIfAsked(progress, newPath);
        if (i < layout.before.size()) out.file().write(layout.before[i]);
        const auto& from = sources[i];
        if (from.archive) {
            // Read through the handle opened before the rename: the old container may be the target.
            out.file().copyFrom(*from.archive, from.offset, from.size);
        } else {
            InputFile source(from.file);
            requireNotReplaced(out.file(), source, newPath);
            if (source.size() != from.size)
                throw Error("Cannot create file " + displayPath(newPath) + ": " + displayPath(from.file) +
                            " changed size (" + std::to_string(from.size) + " bytes when gathered, " +
                            std::to_string(source.size()) + " now)");
            out.file().copyFrom(source, 0, from.size);
        }
        bar.step();
    }
    out.file().write(layout.tail);
    stopIfAsked(progress, newPath);
    out.commit();
    bar.reset();
}

void writeMadeFile(const fs::path& newPath, std::span<const std::uint8_t> head, std::size_t count,
                   const std::function<std::vector<std::uint8_t>(std::size_t)>& piece,
                   std::span<const std::uint8_t> tail, const std::vector<fs::path>& sources,
                   ProgressSink* progress) {
    WriterProgress bar(progress, count);
    AtomicOutputFile out(newPath);
    for (const auto& source : sources)
        requireNotReplaced(out.file(), InputFile(source), newPath);
    out.file().write(head);
    bar.reset();
    for (std::size_t i = 0; i < count; ++i) {
        stopIfAsked(progress, newPath);
        out.file().write(piece(i));
        bar.step();
    }
    out.file().write(tail);
    stopIfAsked(progress, newPath);
    out.commit();
    bar.reset();
}

void EntryLayoutWriter::WriteContainer(const fs::path& newPath, const fs::path& sourceFolder,
                                       const SourceFileList& files, ProgressSink* progress) const {
    requireOutsideSourceFolder(newPath, sourceFolder);
    std::vector<WriterEntry> entries;
    std::vector<EntrySource> sources;
    entries.reserve(files.size());
    sources.reserve(files.size());
    for (const auto& file : files) {
        entries.push_back({file.name, file.size, {file.time, 0, std::nullopt}});
        sources.push_back({sourcePath(sourceFolder, file), nullptr, 0, file.size});
    }
    auto layout = Layout(entries, newPath);
    std::vector<std::string> keys;
    keys.reserve(entries.size());
    for (const auto& entry : entries)
        keys.push_back(StoredKey(entry, newPath));
    requireDistinctStoredNames(entries, keys, newPath);
    writeContainerFile(newPath, sources, layout, progress);
}

std::string storedName(const std::string& name, const fs::path& newPath) {
    auto stored = utf8ToLatin1(name);
    if (!stored)
        throw Error("Cannot create file " + displayPath(newPath) + ": the name '" + name +
                    "' has characters that cannot be stored");
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
        throw Error("Cannot create file " + displayPath(newPath) + ": the name '" + latin1ToUtf8(stored) +
                    "' is " + std::to_string(stored.size()) + " characters long; this kind stores at most " +
                    std::to_string(maxLength));
}

void requireDistinctStoredNames(const std::vector<WriterEntry>& entries, const std::vector<std::string>& keys,
                                const fs::path& newPath,
                                const std::function<bool(std::size_t, std::size_t)>& mayRepeat) {
    std::unordered_map<std::string_view, std::size_t> first;
    first.reserve(keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const auto [at, added] = first.emplace(keys[i], i);
        if (!added && !(mayRepeat && mayRepeat(at->second, i)))
            throw Error("Cannot create file " + displayPath(newPath) + ": '" + entries[at->second].name +
                        "' and '" + entries[i].name + "' would both be stored as '" + latin1ToUtf8(keys[i]) +
                        "'");
    }
}

void requireSizeFits32(const std::string& name, std::uint64_t size, const fs::path& newPath) {
    if (size > 0x7FFFFFFFull)
        throw Error("Cannot create file " + displayPath(newPath) + ": '" + name + "' is " +
                    std::to_string(size) + " bytes; this kind stores files under 2 GiB");
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
        throw Error("Cannot create file " + displayPath(newPath) + ": the files add up to " +
                    std::to_string(end) + " bytes; this kind holds under 2 GiB");
}

void putName(std::uint8_t* field, std::size_t width, const std::string& stored) {
    std::memset(field, 0, width);
    std::memcpy(field, stored.data(), std::min(width, stored.size()));
}

} // namespace vexa
