// libFuzzer target for one kind (FUZZ_KIND): the input, held in memory as a file of that kind, goes
// through exactly what the window and vexa-cli do with it: detection, then the kind's object reads
// its directory, lists it, previews every row, and every entry is extracted (or converted) into a
// fresh folder; an image kind's decoder paints its pictures. After each run the target checks that
// nothing was created outside that folder.

#include "app/extract.h"
#include "app/kinds.h"
#include "app/listing.h"
#include "app/preview.h"
#include "base/errors.h"
#include "images/picture_output.h"

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

// Everything below root must be the output folder or inside it (or the palettes).
void checkNothingEscaped(const fs::path& root, const fs::path& out) {
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        const auto& p = it->path();
        if (p == out || p.parent_path() == root / "Data" || p == root / "Data") continue;
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

namespace {

// An image kind is opened as a listing of its folder: here its one file's pictures are painted.
void paintPictures(const vexa::ContainerKind& kind, const vexa::ByteSource& bytes, const fs::path& out,
                   const vexa::GamePalettePaths& games, vexa::Palette& current) {
    const auto pictures = kind.createDecoder()->Decode(bytes);
    const auto& palette = vexa::applyPaletteNeed(pictures.palette, games, current);
    for (const auto& picture : pictures.pictures)
        vexa::writePicture(out / ("picture" + picture.suffix), picture.image, palette.table,
                           vexa::PictureFormat::Bmp);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto root = workFolder();
    const auto input = root / FUZZ_INPUT_NAME;
    const auto out = root / "out";
    fs::create_directories(out);
    constexpr auto kKind = static_cast<vexa::ContainerType>(FUZZ_KIND);
    try {
        const auto bytes =
            std::make_shared<const vexa::MemoryBytes>(std::vector<std::uint8_t>(data, data + size), input);
        // Detection first, as the window and vexa-cli do; the object is then this target's kind
        // whatever detection says, so every input reaches the reader being fuzzed.
        (void)vexa::detectKind(*bytes, FUZZ_INPUT_NAME);
        const auto games = vexa::GamePalettePaths::defaults(workFolder() / "Data");
        vexa::Palette current;
        vexa::loadKindPalette(kKind, games, current);
        const auto& kind = *vexa::findKind(kKind);
        if (kind.createDecoder) {
            paintPictures(kind, *bytes, out, games, current);
            throw vexa::Error("painted");
        }
        auto object = vexa::CreateContainerObject(kKind);
        object->ReadDirectory(bytes);
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
    checkNothingEscaped(root, out);
    std::error_code ec;
    fs::remove_all(out, ec);
    return 0;
}
