// vexa-cli import: a game texture built from PNG or BMP pictures.

#include "app/kinds.h"
#include "app/texture_import.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/opening.h"
#include "cli/stop_signals.h"
#include "cli/terminal_progress.h"

#include <iostream>

namespace vexa::cli {

namespace {

struct ImportArguments {
    const TextureKindInfo* kind = nullptr;
    std::string out;
    std::vector<fs::path> pictures;
    std::vector<std::pair<Game, std::string>> palettes;
    bool dither = false, wait = false;
    int speed = kDefaultReductionSpeed;
};

int runImport(const ImportArguments& a, const ProgramFolders& folders) {
    ImportOptions options{defaultPalettes(folders), a.dither};
    options.speed = a.speed;
    Palette unused;
    for (const auto& [game, file] : a.palettes)
        usePaletteFile(game, file, options.palettes, unused);
    stopOnSignals();
    TerminalProgress progress(a.wait);
    importTextures(a.kind->kind, a.out, a.pictures, options, &progress);
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
    text += "Colours are mapped to the nearest of the game's palette (the default_*.pal files of the Data\n"
            "folder, or --palette GAME=FILE as for extract); a picture with a colour table equal to the\n"
            "palette keeps its indices. A WAD3 texture keeps up to 256 colours of its own exactly and\n"
            "reduces more (--speed 1 to 10: libimagequant's, 1 slowest and best, 4 by default as for\n"
            "pngquant). --dither spreads the error of each pixel (Floyd-Steinberg). wal, wad2, wad3 and\n"
            "jk-mat get three smaller mip levels and need sides that are multiples of 16. Names in a WAD\n"
            "are at most 15 bytes, each once. On any error nothing is written and an older OUT stays.\n";
    return text;
}

} // namespace

void addImport(CLI::App& parser, Job& job) {
    struct Values {
        std::vector<std::string> args, palettes;
        bool dither = false, wait = false;
        int speed = kDefaultReductionSpeed;
    };
    auto v = valuesFor<Values>();
    auto& command = addCommand(parser, "import", "KIND OUT PICTURE...",
                               "build a game texture from PNG or BMP pictures", importDetails(), v->args);
    addRepeatable(command, "--palette", v->palettes, "GAME=FILE", "map onto this palette file for GAME");
    command.add_flag("--dither", v->dither, "spread the error of each pixel (Floyd-Steinberg)");
    command.add_option("--speed", v->speed, "how hard to work at an own palette: 1 (best) to 10 (fastest)")
        ->type_name("1..10");
    command.add_flag("--wait", v->wait, kWaitSummary);
    command.callback([&command, v, &job] {
        rejectUnknownOptions(command);
        if (v->args.size() < 3) throw UsageError{"import takes KIND, OUT and at least one PICTURE"};
        ImportArguments a;
        a.kind = findTextureKind(v->args[0]);
        if (!a.kind) throw UsageError{"unknown texture kind " + v->args[0]};
        a.out = v->args[1];
        a.pictures.assign(v->args.begin() + 2, v->args.end());
        for (const auto& palette : v->palettes)
            a.palettes.push_back(gamePalette(palette));
        a.dither = v->dither;
        if (v->speed < 1 || v->speed > 10) throw UsageError{"--speed takes 1 to 10"};
        a.speed = v->speed;
        a.wait = v->wait;
        job = [a = std::move(a)](const ProgramFolders& folders) { return runImport(a, folders); };
    });
}

} // namespace vexa::cli
