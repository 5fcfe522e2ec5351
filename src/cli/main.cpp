// vexa-cli: the command-line face of VEXA, over the same core as the window.

#include "app/extract.h"
#include "app/kinds.h"
#include "app/texture_import.h"
#include "app/wad_batch.h"
#include "base/errors.h"
#include "base/file_io.h"
#include "base/filter.h"
#include "base/platform.h"
#include "base/text.h"
#include "cli/cli_support.h"
#include "cli/edit_commands.h"
#include "images/Png_writer.h"
#include "images/palette_files.h"
#include "images/picture.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

using namespace vexa;

namespace {

using cli::UsageError;

// During extract and create, Ctrl-C, TERM, HUP and QUIT all ask the job to stop between two entries;
// a second one asks again rather than ending the program in the middle of its clean-up, so no
// half-written file and no temporary file is left.
volatile std::sig_atomic_t interrupted = 0;

extern "C" void onInterrupt(int) {
    interrupted = 1;
}

void stopOnInterrupt() {
    platform::onStopSignals(onInterrupt);
}

constexpr int kInterruptedExit = 130;

class TerminalProgress : public ProgressSink {
  public:
    explicit TerminalProgress(bool waitForOthers = false)
        : enabled_(platform::isTerminal(2)), waitForOthers_(waitForOthers) {}
    ~TerminalProgress() override { clear(); }
    void setRange(int maximum) override { maximum_ = maximum; }
    bool cancelRequested() override { return interrupted != 0; }
    bool waitForOtherWriters() override { return waitForOthers_; }
    void note(const std::string& text) override {
        clear();
        std::cerr << printableText(text) << '\n';
    }
    void setPosition(int position) override {
        if (!enabled_) return;
        const int width = 40;
        const int filled =
            maximum_ > 0 ? static_cast<int>(static_cast<long long>(position) * width / maximum_) : width;
        if (filled == lastFilled_) return;
        lastFilled_ = filled;
        drawn_ = true;
        std::fprintf(stderr, "\r[%-*s] %d/%d", width,
                     std::string(static_cast<std::size_t>(filled), '#').c_str(), position, maximum_);
    }

  private:
    void clear() {
        if (enabled_ && drawn_) std::fputs("\r\033[K", stderr);
        drawn_ = false;
        lastFilled_ = -1;
    }

    bool enabled_;
    bool waitForOthers_;
    bool drawn_ = false;
    int maximum_ = 0;
    int lastFilled_ = -1;
};

void appendNumber(std::string& out, std::uint64_t number) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
    out.append(digits, static_cast<std::size_t>(end - digits));
}

class StdoutWriter {
  public:
    ~StdoutWriter() { flush(); }
    StdoutWriter& operator<<(std::string_view text) {
        buffer_.append(text);
        if (buffer_.size() >= kFlushAt) flush();
        return *this;
    }
    StdoutWriter& operator<<(std::uint64_t number) {
        appendNumber(buffer_, number);
        if (buffer_.size() >= kFlushAt) flush();
        return *this;
    }
    // For a caller that builds a long run of small pieces in place: append to text(), then call
    // flushIfFull() now and then.
    std::string& text() { return buffer_; }
    void flushIfFull() {
        if (buffer_.size() >= kFlushAt) flush();
    }
    void flush() {
        if (!buffer_.empty()) std::fwrite(buffer_.data(), 1, buffer_.size(), stdout);
        buffer_.clear();
    }

  private:
    static constexpr std::size_t kFlushAt = 1 << 16;
    std::string buffer_;
};

// Appends text as a JSON string (quotes included).
void appendJsonString(std::string& out, std::string_view text) {
    static constexpr auto kPlain = [] {
        std::array<bool, 256> plain{};
        for (int c = 0x20; c < 256; ++c)
            plain[static_cast<std::size_t>(c)] = c != '"' && c != '\\';
        return plain;
    }();
    auto plain = [](unsigned char c) { return kPlain[c]; };
    // Nearly every stored name needs no escape: it goes out in one piece.
    if (std::all_of(text.begin(), text.end(), [&](char c) { return plain(static_cast<unsigned char>(c)); })) {
        out.append(1, '"').append(text).append(1, '"');
        return;
    }
    out += '"';
    for (std::size_t i = 0; i < text.size();) {
        // Runs of characters that need no escape are copied whole.
        std::size_t end = i;
        while (end < text.size() && plain(static_cast<unsigned char>(text[end])))
            ++end;
        out.append(text, i, end - i);
        if (end == text.size()) break;
        i = end + 1;
        const auto c = static_cast<unsigned char>(text[end]);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default: { // the other control characters
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        }
        }
    }
    out += '"';
}

std::string jsonString(const std::string& text) {
    std::string out;
    appendJsonString(out, text);
    return out;
}

struct Opened {
    ContainerType code;
    std::shared_ptr<const ContainerReader> object;
};

// Opens path as the window does: a kind with a game palette makes it the current one.
Opened openFile(const std::string& path, const GamePalettePaths& games, Palette& current) {
    const auto bytes = openFileBytes(path);
    const auto code = detectKind(*bytes, pathText(fs::path(path).filename()));
    loadKindPalette(code, games, current);
    return {code, readContainer(code, bytes)};
}

// argv[0], set once by main: where the Data folder is found.
const char* programPath = "";

fs::path programFolder(const char* argv0);

// The game palette files of this run: the Data folder's beside vexa-cli.
GamePalettePaths defaultPalettes() {
    return GamePalettePaths::defaults(
        ProgramFolders::locate(programFolder(programPath), userFoldersFromEnvironment()).defaults);
}

// As a load of a 768-byte palette file on the Palettes page, minus the copy in the Data folder:
// a command-line run leaves the installation as it found it.
void usePaletteFile(Game game, const std::string& file, GamePalettePaths& games, Palette& current) {
    auto loaded = LoadPalFile(file, 255);
    if (!loaded) throw Error(std::string(kWrongPaletteFile) + ": " + file);
    current = std::move(*loaded);
    games.set(game, file);
}

// The folder of the running executable, where Data is kept.
fs::path programFolder(const char* argv0) {
    if (const auto exe = platform::executablePath(); !exe.empty()) return fs::path(exe).parent_path();
    std::error_code ec;
    return fs::absolute(argv0, ec).parent_path();
}

// ---- The commands, each run with what its command line gave --------------------------------

int runDetect(const std::string& file) {
    const auto code = detectKind(*openFileBytes(file), pathText(fs::path(file).filename()));
    std::cout << codeOf(code) << '\t' << kindName(code) << '\n';
    return 0;
}

struct ListArguments {
    std::string file;
    bool json = false;
    std::optional<std::string> filter;
};

int runList(const ListArguments& a) {
    Palette current;
    const auto opened = openFile(a.file, defaultPalettes(), current);
    const auto& entries = opened.object->Rows();
    // Without a filter every entry is shown: no list of 100,000 indices is made for that.
    const auto kept = a.filter ? filterRows(entries, *a.filter) : std::vector<std::size_t>{};
    const std::size_t shown = a.filter ? kept.size() : entries.size();
    const auto entryAt = [&](std::size_t k) { return a.filter ? kept[k] : k; };
    // What is damaged is said on stderr; the listing itself is whole and the exit status 0.
    for (const auto& note : opened.object->ListingNotes())
        std::cerr << printableText(note) << '\n';
    for (std::size_t k = 0; k < shown; ++k) {
        const auto i = entryAt(k);
        if (!entries[i].damaged) continue;
        std::cerr << printableText(a.file + ": entry " + std::to_string(i) + " '" + entries[i].name +
                                   "' is damaged: " + opened.object->EntryDamage(i))
                  << '\n';
    }
    StdoutWriter out;
    if (!a.json) {
        // One entry, one line: a stored name cannot move the cursor or colour the terminal.
        for (std::size_t k = 0; k < shown; ++k)
            out << printableText(entries[entryAt(k)].name) << "\n";
    } else {
        const bool image = isImageKind(opened.code);
        out << "{\"path\": " << jsonString(a.file) << ", \"type\": " << std::to_string(codeOf(opened.code))
            << ", \"kind\": " << jsonString(std::string(kindName(opened.code)))
            << ", \"count\": " << (image ? std::string("null") : std::to_string(entries.size()))
            << ", \"entries\": [";
        // 100,000 entries are 100,000 lines: each is made in the output buffer itself.
        auto& text = out.text();
        for (std::size_t k = 0; k < shown; ++k) {
            const auto i = entryAt(k);
            const auto& entry = entries[i];
            text += k ? ",\n  {\"index\": " : "\n  {\"index\": ";
            appendNumber(text, i);
            text += ", \"name\": ";
            appendJsonString(text, entry.name);
            text += ", \"size\": ";
            if (entry.size)
                appendNumber(text, *entry.size);
            else
                text += "null";
            text += entry.damaged ? ", \"damaged\": true}" : "}";
            out.flushIfFull();
        }
        out << (shown == 0 ? "]}\n" : "\n]}\n");
    }
    return 0;
}

struct ExtractArguments {
    std::string file, target;
    std::vector<std::string> exts, entries;
    std::vector<std::size_t> indices;
    std::vector<std::pair<Game, std::string>> palettes;
    std::optional<std::string> filter;
    PictureFormat format = PictureFormat::Bmp;
    bool yes = false, raw = false;
};

int runExtract(const ExtractArguments& a) {
    if (a.format == PictureFormat::Png && !pngOutputBuilt())
        throw Error(std::string("--format png: ") + kNoPngOutput);
    auto games = defaultPalettes();
    Palette current;
    for (const auto& [game, file] : a.palettes)
        usePaletteFile(game, file, games, current);

    auto opened = openFile(a.file, games, current);
    if (a.raw && !opened.object->HasStoredBytes())
        throw Error("--raw: the entries of " + a.file + " have no stored form of their own to write");
    for (const auto& note : opened.object->ListingNotes())
        std::cerr << printableText(note) << '\n';
    const auto& names = opened.object->Rows();
    std::vector<std::size_t> rows;
    if (a.exts.empty() && a.entries.empty() && a.indices.empty()) {
        for (std::size_t i = 0; i < names.size(); ++i)
            rows.push_back(i);
    } else {
        std::vector<bool> chosen(names.size(), false);
        for (const auto i : rowsWithExtensions(names, a.exts))
            chosen[i] = true;
        for (const auto& e : a.entries) {
            bool found = false;
            for (std::size_t i = 0; i < names.size(); ++i)
                if (names[i].name == e) chosen[i] = found = true;
            if (!found) throw Error("No entry named " + e + " in " + a.file);
        }
        for (const auto i : a.indices) {
            if (i >= names.size())
                throw Error("No entry " + std::to_string(i) + " in " + a.file + " (it has " +
                            std::to_string(names.size()) + ")");
            chosen[i] = true;
        }
        for (std::size_t i = 0; i < names.size(); ++i)
            if (chosen[i]) rows.push_back(i);
    }
    if (a.filter) {
        // The filter narrows the selection; the rows stay entry indices.
        const NameFilter keep(*a.filter);
        std::erase_if(rows, [&](std::size_t i) { return !keep.matches(names[i].name); });
        if (rows.empty()) throw Error("No entry of " + a.file + " matches --filter " + *a.filter);
    }

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
        throw Error("Cannot create file " + a.target + (ec ? ": " + ec.message() : std::string()));

    stopOnInterrupt();
    TerminalProgress progress;
    progress.setRange(names.empty() ? 0 : static_cast<int>(names.size() - 1));
    ExtractionOptions options;
    options.afterRow = [&](std::size_t row) { progress.setPosition(static_cast<int>(row)); };
    options.cancelled = [] { return interrupted != 0; };
    options.pictures = a.format;
    options.raw = a.raw;
    options.games = games;
    const auto result = extractRows(*opened.object, target, rows, options, current);
    progress.setPosition(0);
    if (result.cancelled) {
        if (!result.refused.empty()) std::cerr << result.refusalText() << '\n';
        std::cerr << result.statusText() << '\n';
        return kInterruptedExit;
    }
    if (!result.refused.empty()) {
        std::cerr << result.refusalText() << '\n' << result.statusText() << '\n';
        return 1;
    }
    std::cout << result.statusText() << '\n';
    return 0;
}

struct CreateArguments {
    const CreatableKind* kind = nullptr;
    std::string source, newPath;
    bool wait = false;
};

int runCreate(const CreateArguments& a, const ProgramFolders& folders) {
    const fs::path source = a.source;
    if (!fs::is_directory(source)) throw Error("Cannot open file " + a.source);
    if (a.kind->gathering == Gathering::None) {
        std::cout << pathText(writeHalfLifeWadBatch(folders, source, a.newPath)) << '\n';
        return 0;
    }
    const auto files =
        a.kind->gathering == Gathering::Tree ? GatherFolderTree(source) : GatherFolderFiles(source);
    stopOnInterrupt();
    TerminalProgress progress(a.wait);
    a.kind->createWriter()->WriteContainer(a.newPath, source, files, &progress);
    std::cout << "Created File " << a.newPath << '\n';
    return 0;
}

struct ImportArguments {
    const TextureKindInfo* kind = nullptr;
    std::string out;
    std::vector<fs::path> pictures;
    std::vector<std::pair<Game, std::string>> palettes;
    bool dither = false, wait = false;
};

int runImport(const ImportArguments& a) {
    ImportOptions options{defaultPalettes(), a.dither};
    Palette unused;
    for (const auto& [game, file] : a.palettes)
        usePaletteFile(game, file, options.palettes, unused);
    stopOnInterrupt();
    TerminalProgress progress(a.wait);
    importTextures(a.kind->kind, a.out, a.pictures, options, &progress);
    std::cout << "Created File " << a.out << '\n';
    return 0;
}

// The edit commands save through the terminal's progress bar; Ctrl-C leaves the container as it was.
// wait: another save of the same container is waited for as long as it takes.
int runEdit(bool wait, const std::function<int(ProgressSink&)>& edit) {
    stopOnInterrupt();
    TerminalProgress progress(wait);
    return edit(progress);
}

constexpr const char* kWaitSummary =
    "wait as long as another save of the file takes (else 5 seconds at most)";

// --wait and, for the edits of a container, --no-in-place.
struct SaveFlags {
    bool wait = false, wholeFile = false;
    cli::Writing writing() const {
        return wholeFile ? cli::Writing::WholeFile : cli::Writing::InPlaceWherePossible;
    }
};

void addSaveFlags(CLI::App& command, SaveFlags& flags, bool inPlace) {
    command.add_flag("--wait", flags.wait, kWaitSummary);
    if (inPlace)
        command.add_flag("--no-in-place", flags.wholeFile,
                         "write the container anew even where only its end would change (for a program "
                         "that reads it meanwhile)");
}

// ---- The command line -----------------------------------------------------------------------
//
// One add function per command: it adds the sub-command with its options to the parser, and a
// callback that checks what was given, in this program's words, and sets the job to run. A new
// command is one more add function and one more row of kCommands.

using Job = std::function<int(const ProgramFolders&)>;

// The values of a command's options live as long as the parser, which keeps its callback.
template <typename Values> std::shared_ptr<Values> valuesFor() {
    return std::make_shared<Values>();
}

// A sub-command whose arguments (FILE, TARGET_DIR, ...) it counts itself: arguments names them in
// the usage line. Unknown options are left for rejectUnknownOptions.
CLI::App& addCommand(CLI::App& parser, const char* name, const char* arguments, const char* summary,
                     std::string details, std::vector<std::string>& positionals) {
    auto& command = *parser.add_subcommand(name, summary);
    command.footer(std::move(details));
    command.allow_extras();
    command.add_option("arguments", positionals)->type_name(arguments);
    return command;
}

// An option that may be given again, each time with one value.
CLI::Option* addRepeatable(CLI::App& command, const char* name, std::vector<std::string>& values,
                           const char* valueName, const char* summary) {
    return command.add_option(name, values, summary)
        ->type_name(valueName)
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
}

// An option with one value; given twice, the last one counts unless the command checks count().
CLI::Option* addSingle(CLI::App& command, const char* name, std::string& value, const char* valueName,
                       const char* summary) {
    return command.add_option(name, value, summary)
        ->type_name(valueName)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

void rejectUnknownOptions(const CLI::App& command) {
    for (const auto& extra : command.remaining())
        throw UsageError{"unknown option " + extra};
}

std::optional<std::string> filterGiven(const CLI::Option& option, const std::string& value) {
    if (option.count() > 1) throw UsageError{"--filter is given once"};
    return option.count() ? std::optional<std::string>(value) : std::nullopt;
}

constexpr const char* kFilterSummary = "keep the entries whose name holds PATTERN ('*', '?' wildcards)";

void addDetect(CLI::App& parser, Job& job) {
    auto args = valuesFor<std::vector<std::string>>();
    auto& command = addCommand(parser, "detect", "FILE", "print the kind code and name of FILE",
                               "Prints the kind code and the kind name, separated by a tab.\n", *args);
    command.callback([&command, args, &job] {
        rejectUnknownOptions(command);
        if (args->size() != 1) throw UsageError{"detect takes one FILE"};
        job = [file = args->front()](const ProgramFolders&) { return runDetect(file); };
    });
}

void addList(CLI::App& parser, Job& job) {
    struct Values {
        std::vector<std::string> args;
        bool json = false;
        std::string filter;
    };
    auto v = valuesFor<Values>();
    auto& command = addCommand(
        parser, "list", "FILE", "list the entries of FILE as the window shows them",
        "Prints one row per entry, as the window lists them. With --json, one object:\n"
        "{\"path\", \"type\", \"kind\", \"count\", \"entries\": [{\"index\", \"name\", \"size\"}]}; a "
        "damaged\n"
        "entry (its bytes run past the end of the file) also has \"damaged\": true and is named on stderr.\n"
        "--filter keeps the entries whose name holds PATTERN, without regard to letter case; in PATTERN\n"
        "'*' stands for any run of characters and '?' for one. \"index\" stays the entry's index in the\n"
        "file and \"count\" the number of entries the file holds.\n",
        v->args);
    command.add_flag("--json", v->json, "print one JSON object instead of one row per entry");
    auto* filter = addSingle(command, "--filter", v->filter, "PATTERN", kFilterSummary);
    command.callback([&command, v, filter, &job] {
        rejectUnknownOptions(command);
        if (v->args.size() != 1) throw UsageError{"list takes one FILE"};
        job = [a = ListArguments{v->args[0], v->json, filterGiven(*filter, v->filter)}](
                  const ProgramFolders&) { return runList(a); };
    });
}

std::size_t wholeNumber(const std::string& text) {
    char* end = nullptr;
    errno = 0;
    const auto n = std::strtoull(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || text.front() == '-')
        throw UsageError{"--index takes a whole number, not " + text};
    return static_cast<std::size_t>(n);
}

std::pair<Game, std::string> gamePalette(const std::string& text) {
    const auto eq = text.find('=');
    const auto* game = eq == std::string::npos ? nullptr : findGamePalette(text.substr(0, eq));
    if (!game || eq + 1 == text.size())
        throw UsageError{"--palette takes GAME=FILE, GAME one of df-bm, jk-bm, jk-mat, quake1, quake2; not " +
                         text};
    return {game->game, text.substr(eq + 1)};
}

void addExtract(CLI::App& parser, Job& job) {
    struct Values {
        std::vector<std::string> args, exts, entries, indices, palettes;
        std::string filter, format = "bmp";
        bool raw = false, yes = false;
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
        "for GAME during this run; GAME is one of df-bm, jk-bm, jk-mat, quake1, quake2.\n",
        v->args);
    addRepeatable(command, "--ext", v->exts, ".EXT", "select the entries of this extension");
    addRepeatable(command, "--entry", v->entries, "NAME", "select the entry of this name");
    addRepeatable(command, "--index", v->indices, "N", "select the entry at this position (0-based)");
    auto* filter = addSingle(command, "--filter", v->filter, "PATTERN", kFilterSummary);
    addSingle(command, "--format", v->format, "bmp|png", "the form of converted pictures");
    command.add_flag("--raw", v->raw, "write WAD2 and WAD3 lumps as stored");
    addRepeatable(command, "--palette", v->palettes, "GAME=FILE",
                  "colour GAME's images with this palette file");
    command.add_flag("--yes", v->yes, "extract even when the target's file system is short of space");
    command.callback([&command, v, filter, &job] {
        rejectUnknownOptions(command);
        ExtractArguments a;
        for (auto ext : v->exts) {
            ext = toUpperAscii(ext);
            if (ext.empty() || ext.front() != '.') ext = "." + ext;
            a.exts.push_back(ext);
        }
        a.entries = v->entries;
        for (const auto& index : v->indices)
            a.indices.push_back(wholeNumber(index));
        for (const auto& palette : v->palettes)
            a.palettes.push_back(gamePalette(palette));
        a.filter = filterGiven(*filter, v->filter);
        const auto format = toLowerAscii(v->format);
        if (format != "bmp" && format != "png") throw UsageError{"--format takes bmp or png, not " + format};
        a.format = format == "png" ? PictureFormat::Png : PictureFormat::Bmp;
        a.raw = v->raw;
        a.yes = v->yes;
        if (v->args.size() != 2) throw UsageError{"extract takes FILE and TARGET_DIR"};
        a.file = v->args[0];
        a.target = v->args[1];
        job = [a = std::move(a)](const ProgramFolders&) { return runExtract(a); };
    });
}

std::string createDetails() {
    std::string text = "Builds a new container from the files of SOURCE_DIR (and, for the kinds marked\n"
                       "(subdirs), of its sub-folders), sorted by name. KIND is one of:\n";
    for (const auto& k : creatableKinds())
        if (k.createWriter || k.gathering == Gathering::None)
            text += "  " + std::string(k.cliName) + "\t" + std::string(k.caption) + "\n";
    text += "For hl-wad nothing is built here: go.bat, which runs makels.exe and qlumpy.exe from the\n"
            "HalfLife folder, is written into the Temp folder beside vexa-cli (for an installed copy,\n"
            "$XDG_CACHE_HOME/vexa/Temp) and its path printed.\n";
    return text;
}

void addCreate(CLI::App& parser, Job& job) {
    auto args = valuesFor<std::vector<std::string>>();
    auto wait = valuesFor<bool>();
    auto& command = addCommand(parser, "create", "KIND SOURCE_DIR NEW_PATH",
                               "build a new container from a folder", createDetails(), *args);
    command.add_flag("--wait", *wait, kWaitSummary);
    command.callback([&command, args, wait, &job] {
        rejectUnknownOptions(command);
        if (args->size() != 3) throw UsageError{"create takes KIND, SOURCE_DIR and NEW_PATH"};
        const auto* kind = findCreatableKind((*args)[0]);
        if (!kind || (!kind->createWriter && kind->gathering != Gathering::None))
            throw UsageError{"unknown container kind " + (*args)[0]};
        job = [a = CreateArguments{kind, (*args)[1], (*args)[2], *wait}](const ProgramFolders& folders) {
            return runCreate(a, folders);
        };
    });
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
            "reduces more. --dither spreads the error of each pixel (Floyd-Steinberg). wal, wad2, wad3 and\n"
            "jk-mat get three smaller mip levels and need sides that are multiples of 16. Names in a WAD\n"
            "are at most 15 bytes, each once. On any error nothing is written and an older OUT stays.\n";
    return text;
}

void addImport(CLI::App& parser, Job& job) {
    struct Values {
        std::vector<std::string> args, palettes;
        bool dither = false, wait = false;
    };
    auto v = valuesFor<Values>();
    auto& command = addCommand(parser, "import", "KIND OUT PICTURE...",
                               "build a game texture from PNG or BMP pictures", importDetails(), v->args);
    addRepeatable(command, "--palette", v->palettes, "GAME=FILE", "map onto this palette file for GAME");
    command.add_flag("--dither", v->dither, "spread the error of each pixel (Floyd-Steinberg)");
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
        a.wait = v->wait;
        job = [a = std::move(a)](const ProgramFolders&) { return runImport(a); };
    });
}

void addAdd(CLI::App& parser, Job& job) {
    struct Values {
        std::vector<std::string> args;
        std::string as;
        SaveFlags save;
    };
    auto v = valuesFor<Values>();
    auto& command = addCommand(parser, "add", "CONTAINER PATH...", "add or replace entries of a container",
                               cli::editDetails("add"), v->args);
    auto* as = addSingle(command, "--as", v->as, "NAME", "the name of the entry (one PATH only)");
    addSaveFlags(command, v->save, true);
    command.callback([&command, v, as, &job] {
        rejectUnknownOptions(command);
        if (as->count() > 1) throw UsageError{"--as is given once"};
        if (v->args.size() < 2) throw UsageError{"add takes CONTAINER and at least one PATH"};
        if (as->count() && v->args.size() != 2) throw UsageError{"--as goes with one PATH only"};
        job = [args = v->args, name = as->count() ? std::optional<std::string>(v->as) : std::nullopt,
               save = v->save](const ProgramFolders&) {
            return runEdit(save.wait, [&](ProgressSink& progress) {
                return cli::runAdd(args[0], {args.begin() + 1, args.end()}, name, save.writing(), progress);
            });
        };
    });
}

void addRemove(CLI::App& parser, Job& job) {
    auto args = valuesFor<std::vector<std::string>>();
    auto save = valuesFor<SaveFlags>();
    auto& command = addCommand(parser, "remove", "CONTAINER NAME...", "remove entries of a container",
                               cli::editDetails("remove"), *args);
    addSaveFlags(command, *save, true);
    command.callback([&command, args, save, &job] {
        rejectUnknownOptions(command);
        if (args->size() < 2) throw UsageError{"remove takes CONTAINER and at least one NAME"};
        job = [a = *args, flags = *save](const ProgramFolders&) {
            return runEdit(flags.wait, [&](ProgressSink& progress) {
                return cli::runRemove(a[0], {a.begin() + 1, a.end()}, flags.writing(), progress);
            });
        };
    });
}

void addRename(CLI::App& parser, Job& job) {
    auto args = valuesFor<std::vector<std::string>>();
    auto save = valuesFor<SaveFlags>();
    auto& command = addCommand(parser, "rename", "CONTAINER OLD NEW", "rename an entry of a container",
                               cli::editDetails("rename"), *args);
    addSaveFlags(command, *save, true);
    command.callback([&command, args, save, &job] {
        rejectUnknownOptions(command);
        if (args->size() != 3) throw UsageError{"rename takes CONTAINER, OLD and NEW"};
        job = [a = *args, flags = *save](const ProgramFolders&) {
            return runEdit(flags.wait, [&](ProgressSink& progress) {
                return cli::runRename(a[0], a[1], a[2], flags.writing(), progress);
            });
        };
    });
}

void addConvert(CLI::App& parser, Job& job) {
    auto args = valuesFor<std::vector<std::string>>();
    auto save = valuesFor<SaveFlags>();
    auto& command =
        addCommand(parser, "convert", "CONTAINER KIND NEW_PATH",
                   "write a container's entries as another kind", cli::editDetails("convert"), *args);
    addSaveFlags(command, *save, false);
    command.callback([&command, args, save, &job] {
        rejectUnknownOptions(command);
        if (args->size() != 3) throw UsageError{"convert takes CONTAINER, KIND and NEW_PATH"};
        job = [a = *args, flags = *save](const ProgramFolders&) {
            return runEdit(flags.wait, [&](ProgressSink& progress) {
                return cli::runConvert(a[0], a[1], a[2], progress);
            });
        };
    });
}

constexpr void (*kCommands[])(CLI::App&, Job&) = {addDetect, addList,   addExtract, addCreate, addImport,
                                                  addAdd,    addRemove, addRename,  addConvert};

// ---- Help ---------------------------------------------------------------------------------------

// The help pages: the usage line first (made from the command's options), then what the command
// does, its options as CLI11 lists them, and its details. The top page lists the commands.
class HelpPages : public CLI::Formatter {
  public:
    std::string make_help(const CLI::App* app, std::string, CLI::AppFormatMode mode) const override {
        if (!app->get_parent()) return topPage(*app, mode);
        return usageLine(*app) + app->get_description() + ".\n" + make_groups(app, mode) + "\n" +
               app->get_footer();
    }

  private:
    static constexpr std::size_t kWidth = 100;

    static const CLI::Option* arguments(const CLI::App& command) {
        for (const auto* option : command.get_options())
            if (option->get_positional()) return option;
        return nullptr;
    }

    // "Usage: vexa-cli list FILE [--json] [--filter PATTERN]", wrapped under the command's name.
    static std::string usageLine(const CLI::App& command) {
        const std::string start = "Usage: vexa-cli " + command.get_name();
        std::string out = start, line = start;
        auto add = [&](const std::string& word) {
            if (line.size() + 1 + word.size() > kWidth) {
                out += "\n" + std::string(start.size(), ' ');
                line = std::string(start.size(), ' ');
            }
            out += " " + word;
            line += " " + word;
        };
        if (const auto* args = arguments(command)) add(args->get_type_name());
        for (const auto* option : command.get_options()) {
            if (option->get_positional() || option == command.get_help_ptr()) continue;
            std::string word = "[" + option->get_name();
            if (!option->get_type_name().empty()) word += " " + option->get_type_name(); // none for a flag
            word += "]";
            if (option->get_multi_option_policy() == CLI::MultiOptionPolicy::TakeAll) word += "...";
            add(word);
        }
        return out + "\n";
    }

    std::string topPage(const CLI::App& parser, CLI::AppFormatMode mode) const {
        std::vector<std::pair<std::string, std::string>> rows;
        std::size_t width = 0;
        for (const auto* command : parser.get_subcommands({})) {
            const auto* args = arguments(*command);
            rows.emplace_back(command->get_name() + (args ? " " + args->get_type_name() : ""),
                              command->get_description());
            width = std::max(width, rows.back().first.size());
        }
        std::string out = "Usage: vexa-cli COMMAND [ARGS]\n\nCommands:\n";
        for (const auto& [synopsis, summary] : rows)
            out += "  " + synopsis + std::string(width + 2 - synopsis.size(), ' ') + summary + "\n";
        return out + make_groups(&parser, mode) + "\n" + parser.get_footer();
    }
};

// A usage error of CLI11's own, in this program's words where they existed before it.
UsageError usageErrorOf(const CLI::ParseError& error) {
    const std::string text = error.what();
    // "--filter: 1 required PATTERN missing"
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) && text.find(" required ") != std::string::npos &&
        text.find(':') != std::string::npos)
        return {text.substr(0, text.find(':')) + " needs a value"};
    return {text};
}

// The first help page, whatever command was chosen: the commands and the program's options.
std::string topHelp(const CLI::App& parser) {
    return parser.get_formatter()->make_help(&parser, "", CLI::AppFormatMode::Normal);
}

} // namespace

int main(int argc, char** argv) {
    programPath = argv[0];
    platform::setUpConsole();
    auto args = platform::commandLine(argc, argv);
    if (!args.empty()) args.erase(args.begin());

    CLI::App parser("", "vexa-cli");
    parser.formatter(std::make_shared<HelpPages>());
    parser.footer(
        "Run 'vexa-cli COMMAND --help' for the options of one command, 'vexa-cli --version' for the\n"
        "version.\n");
    parser.allow_extras();
    // CLI11 on Windows takes "/x" for an option: a path such as /tmp/a.gob is an argument here.
    parser.allow_windows_style_options(false);
    bool version = false;
    parser.add_flag("--version", version, "print vexa-cli and its version");
    Job job;
    for (const auto add : kCommands)
        add(parser, job);

    if (args.empty()) {
        std::cerr << topHelp(parser);
        return 2;
    }
    try {
        try {
            std::reverse(args.begin(), args.end()); // CLI11 takes them last first
            parser.parse(args);
        } catch (const CLI::CallForHelp&) {
            std::cout << parser.help();
            return 0;
        } catch (const CLI::ParseError& e) {
            throw usageErrorOf(e);
        }
        if (const auto& extra = parser.remaining(); !extra.empty())
            throw UsageError{"unknown command " + extra[0]};
        if (version) return std::fputs("vexa-cli " VEXA_VERSION "\n", stdout), 0;
        if (!job) {
            std::cerr << topHelp(parser);
            return 2;
        }
        // Read only: a command-line run leaves the folders as it found them.
        const auto folders = ProgramFolders::locate(programFolder(argv[0]), userFoldersFromEnvironment());
        return job(folders);
    } catch (const Cancelled& e) {
        std::cerr << printableText(e.what()) << '\n';
        return kInterruptedExit;
    } catch (const UsageError& e) {
        std::cerr << "vexa-cli: " << printableText(e.message) << "\n\n" << topHelp(parser);
        return 2;
    } catch (const std::exception& e) {
        std::cerr << printableText(e.what()) << '\n';
        return 1;
    }
}
