// libFuzzer target for the writers: the input's first byte picks a writable kind, the rest describes
// a folder (names and contents); the kind builds a container from it, and what a writer accepts must read
// back through the program's own reader as the same files, in the same order, byte for byte.

#include "app/extract.h"
#include "app/kinds.h"
#include "base/errors.h"
#include "base/file_io.h"
#include "base/text.h"

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

std::string readAll(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const Work work;
    std::error_code ec;
    fs::remove_all(work.root, ec);
    const auto source = work.root / "source";
    fs::create_directories(source);

    std::vector<const CreatableKind*> writers;
    for (const auto& kind : creatableKinds())
        if (kind.createWriter) writers.push_back(&kind);
    if (size == 0 || writers.empty()) return 0;
    const auto& kind = *writers[data[0] % writers.size()];

    // Up to 6 files: a name length, the name (8-bit, made a valid file name), a size, the bytes.
    std::size_t at = 1;
    for (int n = 0; n < 6 && at + 2 <= size; ++n) {
        const std::size_t nameLength = 1 + data[at++] % 40;
        std::string name;
        for (std::size_t i = 0; i < nameLength && at < size; ++i, ++at) {
            const char c = static_cast<char>(data[at]);
            name.push_back(c == '/' || c == '\0' ? '_' : c);
        }
        if (name == "." || name == "..") name = "_" + name;
        const std::size_t length = at < size ? data[at++] : 0;
        std::ofstream f(source / latin1ToUtf8(name), std::ios::binary | std::ios::trunc);
        const std::size_t take = std::min(length, size - at);
        f.write(reinterpret_cast<const char*>(data + at), static_cast<std::streamsize>(take));
        at += take;
    }

    {
        const auto container = work.root / ("new." + std::string(kind.cliName));
        SourceFileList files;
        try {
            // Gathering refuses what no container can hold (a name with "\"), as the writer may.
            files = kind.gathering == Gathering::Tree ? GatherFolderTree(source) : GatherFolderFiles(source);
            kind.createWriter()->WriteContainer(container, source, files, nullptr);
        } catch (const Error&) {
            if (fs::exists(container)) {
                std::fprintf(stderr, "%s: a failed write left %s\n", std::string(kind.cliName).c_str(),
                             container.c_str());
                std::abort();
            }
            return 0;
        }
        auto reader = CreateContainerObject(kind.code);
        reader->ReadDirectory(container); // what was written must read back
        if (reader->EntryCount() != files.size()) {
            std::fprintf(stderr, "%s: wrote %zu files, reads back %zu\n", std::string(kind.cliName).c_str(),
                         files.size(), reader->EntryCount());
            std::abort();
        }
        for (std::size_t i = 0; i < files.size(); ++i) {
            const auto out = work.root / "entry";
            reader->ExtractEntry(out, i);
            if (readAll(out) != readAll(sourcePath(source, files[i]))) {
                std::fprintf(stderr, "%s: entry %zu differs from %s\n", std::string(kind.cliName).c_str(), i,
                             files[i].name.c_str());
                std::abort();
            }
        }
    }
    return 0;
}
