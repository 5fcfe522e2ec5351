// libFuzzer target for one kind (FUZZ_KIND): the input is written as a file of that kind, then goes
// through exactly what the window and vexa-cli do with it: the kind's object reads its directory,
// lists it, and every entry is extracted (or converted) into a fresh folder. After each run the
// target checks that nothing was created outside that folder.

#include "core/errors.h"
#include "core/extract.h"
#include "core/kinds.h"
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
    fs::path path, palette;
    WorkFolder() {
        const fs::path shm = "/dev/shm";
        const auto base = fs::is_directory(shm) ? shm : fs::temp_directory_path();
        path = base / ("vexa-fuzz-" + std::to_string(::getpid()));
        fs::create_directories(path);
        // The kinds that load a game palette when created need one; it stays outside the checked folder.
        palette = base / ("vexa-fuzz-" + std::to_string(::getpid()) + ".pal");
        std::ofstream(palette, std::ios::binary) << std::string(768, '\x40');
        for (const auto& game : vexa::gamePalettes()) vexa::SetGamePalettePath(game.game, palette);
    }
    ~WorkFolder() {
        std::error_code ec;
        fs::remove(palette, ec);
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
        if (p == input || p == out) continue;
        const auto rel = p.lexically_relative(out);
        if (rel.empty() || *rel.begin() == "..") {
            std::fprintf(stderr, "extraction created %s outside its folder\n", p.c_str());
            std::abort();
        }
    }
}

} // namespace

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
        auto object = vexa::CreateContainerObject(FUZZ_KIND);
        object->ReadDirectory(input);
        std::vector<std::size_t> rows(object->EntryCount());
        for (std::size_t i = 0; i < rows.size(); ++i) {
            rows[i] = i;
            (void)object->EntrySize(i);
        }
        (void)object->StatusLine();
        (void)vexa::CollectExtensions(object->EntryNames());
        vexa::extractRows(*object, out, rows);
    } catch (const vexa::Error&) {
        // a refused file: the message is the expected outcome
    }
    checkNothingEscaped(root, input, out);
    std::error_code ec;
    fs::remove_all(out, ec);
    return 0;
}
