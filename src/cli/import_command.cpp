// vexa-cli import: a game texture built from PNG or BMP pictures.

#include "app/kinds.h"
#include "app/texture_import.h"
#include "base/ordered_work.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/opening.h"
#include "cli/picture_options.h"
#include "cli/stop_signals.h"
#include "cli/terminal_progress.h"

#include <charconv>
#include <iostream>

namespace vexa::cli {

namespace {

struct ImportArguments {
    const TextureKindInfo* kind = nullptr;
    std::string out;
    std::vector<fs::path> files;
    PictureChoices pictures;
    TextureFieldChoices fields;
    bool wait = false;
    std::size_t jobs = 1;
};

int runImport(const ImportArguments& a, const ProgramFolders& folders) {
    auto options = importOptions(a.pictures, folders);
    options.fields = a.fields;
    stopOnSignals();
    TerminalProgress progress(a.wait);
    if (a.jobs > 1)
        // The textures made by threads of ours, at most jobs ahead of the one written: the bytes are
        // those of one thread.
        options.making = [jobs = a.jobs](const TextureWadImport& wad) {
            return orderedOnThreads<MipTextureContents>(wad.count(), jobs,
                                                        [&wad](std::size_t i) { return wad.texture(i); });
        };
    importTextures(a.kind->kind, a.out, a.files, options, &progress);
    if (a.kind->game && usesPlaceholder(*a.kind->game, options.palettes))
        std::cerr << placeholderNotice(loadGamePalette(*a.kind->game, options.palettes)) << '\n';
    std::cout << "Created File " << a.out << '\n';
    return 0;
}

std::string importDetails() {
    std::string text =
        "Builds the game texture OUT from PNG or BMP pictures (8, 24 or 32 bits). KIND is one of:\n";
    for (const auto& k : textureKinds())
        text += "  " + std::string(k->cliName) + "\t" + std::string(k->caption) +
                (k->manyPictures ? " (one texture per picture, named after its file)" : " (one picture)") +
                "\n";
    text +=
        "Colours are mapped to the nearest of the game's palette (the default_*.pal files of the Data\n"
        "folder, or --palette GAME=FILE as for extract); a picture with a colour table equal to the\n"
        "palette keeps its indices. A WAD3 texture keeps up to 256 colours of its own exactly and\n"
        "reduces more (--speed 1 to 10: libimagequant's, 1 slowest and best, 4 by default as for\n"
        "pngquant), --jobs N textures at a time (the number of processors by default; the file is the\n"
        "same). --dither spreads the error of each pixel (Floyd-Steinberg). wal, wad2, wad3 and\n"
        "jk-mat get three smaller mip levels and need sides that are multiples of 16. Names in a WAD\n"
        "are at most 15 bytes, each once. On any error nothing is written and an older OUT stays.\n"
        "wad2: only textures named ..._fbr take Quake's fullbright colours (224-254), or every one\n"
        "with --fullbright.\n"
        "wal: --name (default: OUT's path below a folder named textures, as e1u1/brlava, else OUT's\n"
        "base name), --next (the next frame of an animation), --flags, --contents and --value set the\n"
        "header's fields (names at most 31 bytes; numbers decimal or 0x hexadecimal); over an existing\n"
        "WAL, the fields not given are kept from it (one that does not read as a WAL is refused unless\n"
        "every field is given).\n"
        "wad3: --fog R,G,B,DENSITY (each 0-255) gives the water textures (named !...) their fog:\n"
        "entries 3 and 4 of their palette, which no pixel then uses; without it they keep their colours.\n";
    return text;
}

// A header field: decimal or 0x hexadecimal, from least to most (a negative value is stored as the
// game reads its signed fields).
std::uint32_t fieldOption(const std::string& name, const std::string& text, std::int64_t least,
                          std::int64_t most) {
    std::int64_t value = 0;
    const bool hex = text.starts_with("0x") || text.starts_with("0X");
    const auto* begin = text.data() + (hex ? 2 : 0);
    const auto* end = text.data() + text.size();
    const auto [at, error] = std::from_chars(begin, end, value, hex ? 16 : 10);
    if (begin == end || error != std::errc() || at != end || value < least || value > most)
        throw UsageError{name + " takes a number from " + std::to_string(least) + " to " +
                         std::to_string(most) + " (or 0x hexadecimal), not " + text};
    return static_cast<std::uint32_t>(value);
}

} // namespace

void addImport(CLI::App& parser, Job& job) {
    struct Values {
        std::vector<std::string> args;
        PictureOptionValues pictures;
        bool wait = false;
        std::string name, next, flags, contents, value, jobs;
    };
    auto v = valuesFor<Values>();
    auto& command = addCommand(parser, "import", "KIND OUT PICTURE...",
                               "build a game texture from PNG or BMP pictures", importDetails(), v->args);
    addPictureOptions(command, v->pictures);
    auto* name = addSingle(command, "--name", v->name, "NAME", "wal: the texture's name (e1u1/brlava)");
    auto* next = addSingle(command, "--next", v->next, "NAME", "wal: the next frame of its animation");
    auto* flags = addSingle(command, "--flags", v->flags, "N", "wal: the surface flags");
    auto* contents = addSingle(command, "--contents", v->contents, "N", "wal: the contents");
    auto* value = addSingle(command, "--value", v->value, "N", "wal: the value (a light's brightness)");
    auto* jobs = addSingle(command, "--jobs", v->jobs, "N", "wad2, wad3: make N textures at a time");
    command.add_flag("--wait", v->wait, kWaitSummary);
    command.callback([&command, v, name, next, flags, contents, value, jobs, &job] {
        rejectUnknownOptions(command);
        if (v->args.size() < 3) throw UsageError{"import takes KIND, OUT and at least one PICTURE"};
        ImportArguments a;
        a.kind = findTextureKind(v->args[0]);
        if (!a.kind) throw UsageError{"unknown texture kind " + v->args[0]};
        a.out = v->args[1];
        a.files.assign(v->args.begin() + 2, v->args.end());
        a.pictures = pictureChoices(v->pictures);
        a.wait = v->wait;
        a.jobs = jobsGiven(*jobs, v->jobs);
        if (a.pictures.fullbright) requireKindTakes(a.kind->kind, "--fullbright", TextureKind::Wad2);
        for (const auto* option : {name, next, flags, contents, value})
            if (option->count()) requireKindTakes(a.kind->kind, option->get_name(), TextureKind::Wal);
        if (name->count()) a.fields.name = v->name;
        if (next->count()) a.fields.next = v->next;
        constexpr std::int64_t kU32Max = 0xFFFFFFFF, kI32Min = -0x80000000LL, kI32Max = 0x7FFFFFFF;
        if (flags->count()) a.fields.flags = fieldOption("--flags", v->flags, 0, kU32Max);
        if (contents->count()) a.fields.contents = fieldOption("--contents", v->contents, 0, kU32Max);
        if (value->count()) a.fields.value = fieldOption("--value", v->value, kI32Min, kI32Max);
        if (a.pictures.fog) {
            requireKindTakes(a.kind->kind, "--fog", TextureKind::Wad3);
            if (std::none_of(a.files.begin(), a.files.end(),
                             [](const fs::path& p) { return isWaterTexture(pathText(p.stem())); }))
                throw UsageError{"--fog is for water textures (a picture named !...); none is given"};
        }
        job = [a = std::move(a)](const ProgramFolders& folders) { return runImport(a, folders); };
    });
}

} // namespace vexa::cli
