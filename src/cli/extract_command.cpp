// vexa-cli extract: entries of a container written into a folder, pictures converted.

#include "app/extract.h"
#include "base/errors.h"
#include "base/text.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/opening.h"
#include "cli/stop_signals.h"
#include "cli/terminal_progress.h"
#include "formats/content.h"
#include "images/Png_writer.h"

#include <cerrno>
#include <cstdlib>
#include <iostream>

namespace vexa::cli {

namespace {

struct ExtractArguments {
    std::string file, target;
    ExtractionSelection selection;
    std::vector<std::pair<Game, std::string>> palettes;
    std::optional<PictureFormat> format; // as given; else BMP, or PNG for what --convert converts
    bool yes = false, raw = false, convert = false;
};

int runExtract(const ExtractArguments& a, const ProgramFolders& folders) {
    if (a.format == PictureFormat::Png && !pngOutputBuilt())
        throw Error(std::string("--format png: ") + kNoPngOutput);
    auto games = defaultPalettes(folders);
    Palette current;
    for (const auto& [game, file] : a.palettes)
        usePaletteFile(game, file, games, current);

    auto opened = openFile(a.file, &games, &current);
    if (a.raw && !opened.object->HasStoredBytes())
        throw Error("--raw: the entries of " + a.file + " have no stored form of their own to write");
    for (const auto& note : opened.object->ListingNotes())
        std::cerr << printableText(note) << '\n';
    const auto& names = opened.object->Rows();
    const auto contents = a.selection.filter && parseRowPattern(*a.selection.filter).content
                              ? classifyEntries(*opened.object, opened.code)
                              : std::vector<const ContentKind*>();
    const auto rows = selectRows(names, a.selection, a.file, contents);
    // Converting writes PNG unless told otherwise; a texture container opened for itself keeps its BMP.
    auto format = a.format.value_or(a.convert && !opened.object->HasPictures() && pngOutputBuilt()
                                        ? PictureFormat::Png
                                        : PictureFormat::Bmp);

    const fs::path target = a.target;
    // Asked before the target is made: a refusal leaves nothing behind.
    if (!rows.empty() && !a.yes) {
        if (const auto question = lowSpaceQuestion(target)) {
            std::cerr << *question << "\n(refused: add --yes to extract anyway)\n";
            return 1;
        }
    }
    std::error_code ec;
    fs::create_directories(target, ec);
    if (!fs::is_directory(target))
        throw FileError(FileAction::Create, target, ec ? ec.message() : std::string());

    stopOnSignals();
    TerminalProgress progress;
    progress.setRange(names.empty() ? 0 : static_cast<int>(names.size() - 1));
    ExtractionOptions options;
    options.afterRow = [&](std::size_t row) { progress.setPosition(static_cast<int>(row)); };
    options.cancelled = stopRequested;
    options.pictures = format;
    options.raw = a.raw;
    options.games = games;
    options.convert = a.convert;
    options.container = opened.code;
    const auto result = extractRows(*opened.object, target, rows, options, current);
    progress.setPosition(0);
    for (const auto& note : result.notes)
        std::cerr << printableText(note) << '\n';
    for (const auto& notice : result.placeholders)
        std::cerr << printableText(notice) << '\n';
    if (result.cancelled) {
        if (const auto refusals = result.refusalText(); !refusals.empty()) std::cerr << refusals << '\n';
        std::cerr << result.statusText() << '\n';
        return kInterruptedExit;
    }
    if (!result.complete()) {
        std::cerr << result.refusalText() << '\n' << result.statusText() << '\n';
        return 1;
    }
    std::cout << result.statusText() << '\n';
    return 0;
}

std::size_t wholeNumber(const std::string& text) {
    char* end = nullptr;
    errno = 0;
    const auto n = std::strtoull(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || text.front() == '-')
        throw UsageError{"--index takes a whole number, not " + text};
    return static_cast<std::size_t>(n);
}

} // namespace

void addExtract(CLI::App& parser, Job& job) {
    struct Values {
        std::vector<std::string> args, exts, entries, indices, palettes;
        std::string filter, format = "bmp";
        bool raw = false, yes = false, convert = false;
    };
    auto v = valuesFor<Values>();
    auto& command = addCommand(
        parser, "extract", "FILE TARGET_DIR", "extract entries (all of them by default)",
        "With no selection every entry is extracted. --ext selects entries by extension (any letter case),\n"
        "--entry by name and --index by position (0-based, as in 'list --json'). --filter keeps, of those\n"
        "(or of all entries), the ones 'list --filter PATTERN' shows. Image files and textures are\n"
        "converted to BMP as the window does; with --format png to 8-bit paletted PNG instead (the same\n"
        "pixels and palette); other entries are copied byte for byte either way. Below 200,000,000 free\n"
        "bytes on the target's file system the command refuses unless --yes is given. --raw writes each\n"
        "lump of a WAD2 or WAD3 byte for byte as stored, named as its row, instead of a picture.\n"
        "Entries of one name go to NAME, NAME_1, NAME_2, ... (letter case does not make names differ).\n"
        "A damaged entry is named and left out; the others are extracted and the exit status is 1.\n"
        "Ctrl-C stops\n"
        "between two entries: what was written is whole, and nothing half-written is left.\n"
        "Images without a palette of their own are coloured with their game's palette: by default the\n"
        "default_*.pal files of the Data folder beside vexa-cli (share/vexa/Data for an installed\n"
        "copy). --palette GAME=FILE uses the 768-byte palette file FILE (8-bit or 6-bit components)\n"
        "for GAME during this run; GAME is one of " +
            gameNames() +
            ".\n"
            "--convert writes every entry of a kind VEXA decodes as what it holds: pictures (Doom graphics,\n"
            "flats and textures, Quake pictures, PCX, Build tiles, Dark Forces sprites, BM, MAT and WAL\n"
            "inside containers) as PNG (or BMP with --format bmp), sounds as WAV, music as MIDI, end "
            "screens\n"
            "and briefings as text, named as the entry with the output's extension ('TROOA1.png'); a\n"
            "texture list, a sheet of tiles or a sprite with many cells becomes a folder of pictures. Each\n"
            "picture is painted with the container's own palette (PLAYPAL, gfx/palette.lmp, PALETTE.DAT),\n"
            "else its game's. An entry that does not decode is written as stored and named, and the exit\n"
            "status is 1. FILE may name a container inside a container: 'id1/pak0.pak/maps/e1m1.bsp'.\n",
        v->args);
    addRepeatable(command, "--ext", v->exts, ".EXT", "select the entries of this extension");
    addRepeatable(command, "--entry", v->entries, "NAME", "select the entry of this name");
    addRepeatable(command, "--index", v->indices, "N", "select the entry at this position (0-based)");
    auto* filter = addSingle(command, "--filter", v->filter, "PATTERN", kFilterSummary);
    auto* format = addSingle(command, "--format", v->format, "bmp|png", "the form of converted pictures");
    command.add_flag("--convert", v->convert, "write sounds, music, pictures and text as what they hold");
    command.add_flag("--raw", v->raw, "write WAD2 and WAD3 lumps as stored");
    addRepeatable(command, "--palette", v->palettes, "GAME=FILE",
                  "colour GAME's images with this palette file");
    command.add_flag("--yes", v->yes, "extract even when the target's file system is short of space");
    command.callback([&command, v, filter, format, &job] {
        rejectUnknownOptions(command);
        ExtractArguments a;
        for (auto ext : v->exts) {
            ext = toUpperAscii(ext);
            if (ext.empty() || ext.front() != '.') ext = "." + ext;
            a.selection.extensions.push_back(ext);
        }
        a.selection.names = v->entries;
        for (const auto& index : v->indices)
            a.selection.indices.push_back(wholeNumber(index));
        for (const auto& palette : v->palettes)
            a.palettes.push_back(gamePalette(palette));
        a.selection.filter = filterGiven(*filter, v->filter);
        const auto formatWord = toLowerAscii(v->format);
        if (formatWord != "bmp" && formatWord != "png")
            throw UsageError{"--format takes bmp or png, not " + formatWord};
        if (format->count()) a.format = formatWord == "png" ? PictureFormat::Png : PictureFormat::Bmp;
        a.raw = v->raw;
        a.convert = v->convert;
        if (a.raw && a.convert) throw UsageError{"--raw and --convert go separately"};
        a.yes = v->yes;
        if (v->args.size() != 2) throw UsageError{"extract takes FILE and TARGET_DIR"};
        a.file = v->args[0];
        a.target = v->args[1];
        job = [a = std::move(a)](const ProgramFolders& folders) { return runExtract(a, folders); };
    });
}

} // namespace vexa::cli
