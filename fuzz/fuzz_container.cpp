// libFuzzer target for one kind (FUZZ_KIND): the input is written as a file of that kind, then goes
// through exactly what the window and vexa-cli do with it: detection, then the kind's object reads
// its directory, lists it, previews every row, and every entry is extracted (or converted) into a
// fresh folder. After each run the target checks that nothing was created outside that folder.

#include "app/Global.h"
#include "app/extract.h"
#include "app/kinds.h"
#include "app/listing.h"
#include "app/preview.h"
#include "base/errors.h"
#include "images/Image_util.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#ifndef FUZZ_KIND
#error "FUZZ_KIND names the kind code this target fuzzes"
#endif
#ifndef FUZZ_INPUT_NAME
#define FUZZ_INPUT_NAME "input.bin"
#endif

namespace fs = std::filesystem;

namespace {

// A folder of this process's own, removed when the process ends.
struct WorkFolder {
    fs::path path;
    WorkFolder() {
        const fs::path shm = "/dev/shm";
        const auto base = fs::is_directory(shm) ? shm : fs::temp_directory_path();
        path = base / ("vexa-fuzz-" + std::to_string(::getpid()));
        fs::create_directories(path);
    }
    ~WorkFolder() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
};

const fs::path& workFolder() {
    static const WorkFolder folder;
    return folder.path;
}

// Everything below root must be the input file, the output folder or inside it.
void checkNothingEscaped(const fs::path& root, const fs::path& input, const fs::path& out) {
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        const auto& p = it->path();
        if (p == input || p == out || p.parent_path() == root / "Data" || p == root / "Data") continue;
        const auto rel = p.lexically_relative(out);
        if (rel.empty() || *rel.begin() == "..") {
            std::fprintf(stderr, "extraction created %s outside its folder\n", p.c_str());
            std::abort();
        }
    }
}

} // namespace

// Image kinds colour their pictures with a game palette: give every game one, as the window does
// from its Data folder at start.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const auto data = workFolder() / "Data";
    fs::create_directories(data);
    std::string palette(768, '\0');
    for (std::size_t i = 0; i < palette.size(); ++i)
        palette[i] = static_cast<char>(i * 37);
    for (const auto& game : vexa::gamePalettes()) {
        std::ofstream f(data / std::string(game.defaultFile), std::ios::binary);
        f << palette;
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto root = workFolder();
    const auto input = root / FUZZ_INPUT_NAME;
    const auto out = root / "out";
    {
        std::ofstream f(input, std::ios::binary | std::ios::trunc);
        f.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    fs::create_directories(out);
    try {
        // Detection first, as the window and vexa-cli do; the object is then this target's kind
        // whatever detection says, so every input reaches the reader being fuzzed.
        (void)vexa::DetectContainerType(input);
        const auto games = vexa::GamePalettePaths::defaults(workFolder() / "Data");
        vexa::Palette current;
        vexa::loadKindPalette(FUZZ_KIND, games, current);
        auto object = vexa::CreateContainerObject(FUZZ_KIND);
        object->ReadDirectory(input);
        std::vector<std::size_t> rows(object->EntryCount());
        for (std::size_t i = 0; i < rows.size(); ++i) {
            rows[i] = i;
            (void)object->EntrySize(i);
        }
        (void)vexa::statusLine(*object);
        (void)vexa::CollectExtensions(object->EntryNames());
        // A click on each row, as the window's preview does it; a damaged entry is refused alone.
        for (const auto i : rows) {
            try {
                (void)vexa::previewEntry(*object, i, current, games);
            } catch (const vexa::Error&) {
            }
        }
        vexa::ExtractionOptions options;
        options.games = games;
        vexa::extractRows(*object, out, rows, options, current);
    } catch (const vexa::Error&) {
        // a refused file: the message is the expected outcome
    }
    checkNothingEscaped(root, input, out);
    std::error_code ec;
    fs::remove_all(out, ec);
    return 0;
}
