// libFuzzer target for the writers: the input's first byte picks a writable kind, the rest describes
// the entries of a new container (names and contents, held in memory); the kind lays them out and the
// writer skeleton writes them, and what a writer accepts must read back through the program's own reader
// as the same entries, in the same order, byte for byte.

#include "app/extract.h"
#include "app/kinds.h"
#include "base/errors.h"
#include "base/file_io.h"
#include "base/text.h"
#include "formats/writer.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace vexa;

namespace {

struct Work {
    fs::path root = (fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path()) /
                    ("vexa-fuzz-writers-" + std::to_string(::getpid()));
    ~Work() {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const Work work;
    std::error_code ec;
    fs::remove_all(work.root, ec);
    fs::create_directories(work.root);

    std::vector<const CreatableKind*> writers;
    for (const auto& kind : creatableKinds())
        if (kind.createWriter) writers.push_back(&kind);
    if (size == 0 || writers.empty()) return 0;
    const auto& kind = *writers[data[0] % writers.size()];
    const bool folders = findKind(kind.code)->namesHoldFolders;

    // Up to 6 entries: a name length, the name (8-bit), a size, the bytes.
    std::vector<WriterEntry> entries;
    std::vector<EntrySource> sources;
    std::size_t at = 1;
    for (int n = 0; n < 6 && at + 2 <= size; ++n) {
        const std::size_t nameLength = 1 + data[at++] % 40;
        std::string name;
        for (std::size_t i = 0; i < nameLength && at < size; ++i, ++at) {
            const char c = static_cast<char>(data[at]);
            // As a folder gives them: no "/" or NUL, "\" only between folder levels of the kinds with them.
            name.push_back(c == '/' || c == '\0' || (c == '\\' && !folders) ? '_' : c);
        }
        const std::size_t length = at < size ? data[at++] : 0;
        const std::size_t take = std::min(length, size - at);
        auto bytes = std::make_shared<const MemoryBytes>(
            std::vector<std::uint8_t>(data + at, data + at + take), work.root / "entry");
        at += take;
        entries.push_back({latin1ToUtf8(name), take, {}});
        sources.push_back(std::move(bytes));
    }

    const auto container = work.root / ("new." + std::string(kind.cliName));
    const auto writer = kind.createWriter();
    try {
        std::vector<std::string> keys;
        for (const auto& entry : entries)
            keys.push_back(writer->StoredKey(entry, container));
        requireDistinctStoredNames(entries, keys, container);
        writeContainerFile(container, sources, writer->Layout(entries, container), nullptr);
    } catch (const Error&) {
        if (fs::exists(container)) {
            std::fprintf(stderr, "%s: a failed write left %s\n", std::string(kind.cliName).c_str(),
                         container.c_str());
            std::abort();
        }
        return 0;
    }
    const auto reader = readContainer(kind.code, openFileBytes(container)); // what was written must read back
    if (reader->EntryCount() != entries.size()) {
        std::fprintf(stderr, "%s: wrote %zu entries, reads back %zu\n", std::string(kind.cliName).c_str(),
                     entries.size(), reader->EntryCount());
        std::abort();
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const auto back = reader->entrySource(i);
        const auto bytes = back->readBlock(0, back->size(), "entry");
        const auto given = static_cast<const MemoryBytes&>(*sources[i]).bytes();
        if (!std::equal(bytes.begin(), bytes.end(), given.begin(), given.end())) {
            std::fprintf(stderr, "%s: entry %zu differs from '%s'\n", std::string(kind.cliName).c_str(), i,
                         entries[i].name.c_str());
            std::abort();
        }
    }
    return 0;
}
