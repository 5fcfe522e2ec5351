// vexa-cli: the command-line face of VEXA, over the same core as the window.

#include "app/extract.h"
#include "app/kinds.h"
#include "app/wad_batch.h"
#include "base/errors.h"
#include "base/file_io.h"
#include "base/filter.h"
#include "base/platform.h"
#include "base/text.h"
#include "images/Image_util.h"
#include "images/Png_writer.h"

#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

using namespace vexa;

namespace {

constexpr const char* kUsage =
    "Usage: vexa-cli COMMAND [ARGS]\n"
    "\n"
    "Commands:\n"
    "  detect FILE                      print the kind code and name of FILE\n"
    "  list FILE [--json] [--filter P]  list the entries of FILE as the window shows them\n"
    "  extract FILE TARGET_DIR [...]    extract entries (all of them by default)\n"
    "  create KIND SOURCE_DIR NEW_PATH  build a new container from a folder\n"
    "\n"
    "Run 'vexa-cli COMMAND --help' for the options of one command, 'vexa-cli --version' for the\n"
    "version.\n";

constexpr const char* kDetectHelp = "Usage: vexa-cli detect FILE\n"
                                    "Prints the kind code and the kind name, separated by a tab.\n";
constexpr const char* kListHelp =
    "Usage: vexa-cli list FILE [--json] [--filter PATTERN]\n"
    "Prints one row per entry, as the window lists them. With --json, one object:\n"
    "{\"path\", \"type\", \"kind\", \"count\", \"entries\": [{\"index\", \"name\", \"size\"}]}; a damaged\n"
    "entry (its bytes run past the end of the file) also has \"damaged\": true and is named on stderr.\n"
    "--filter keeps the entries whose name holds PATTERN, without regard to letter case; in PATTERN\n"
    "'*' stands for any run of characters and '?' for one. \"index\" stays the entry's index in the\n"
    "file and \"count\" the number of entries the file holds.\n";
constexpr const char* kExtractHelp =
    "Usage: vexa-cli extract FILE TARGET_DIR [--ext .EXT]... [--entry NAME]... [--index N]...\n"
    "                        [--filter PATTERN] [--format bmp|png] [--raw] [--palette GAME=FILE]... [--yes]\n"
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
    "for GAME during this run; GAME is one of df-bm, jk-bm, jk-mat, quake1, quake2.\n";

struct UsageError {
    std::string message;
};

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
    TerminalProgress() : enabled_(platform::isTerminal(2)) {}
    ~TerminalProgress() override {
        if (enabled_ && drawn_) std::fputs("\r\033[K", stderr);
    }
    void setRange(int maximum) override { maximum_ = maximum; }
    bool cancelRequested() override { return interrupted != 0; }
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
    bool enabled_;
    bool drawn_ = false;
    int maximum_ = 0;
    int lastFilled_ = -1;
};

// stdout through a bounded buffer: a listing of 100,000 rows is never held whole in memory.
class StdoutWriter {
  public:
    ~StdoutWriter() { flush(); }
    StdoutWriter& operator<<(std::string_view text) {
        buffer_.append(text);
        if (buffer_.size() >= kFlushAt) flush();
        return *this;
    }
    StdoutWriter& operator<<(std::uint64_t number) {
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
        return *this << std::string_view(digits, static_cast<std::size_t>(end - digits));
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
    out += '"';
    auto plain = [](unsigned char c) { return c >= 0x20 && c != '"' && c != '\\'; };
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

bool wantsHelp(const std::vector<std::string>& args) {
    for (const auto& a : args)
        if (a == "--help" || a == "-h") return true;
    return false;
}

struct Opened {
    ContainerType code;
    std::unique_ptr<ContainerReader> object;
};

// Opens path as the window does: a kind with a game palette makes it the current one.
Opened openFile(const std::string& path, const GamePalettePaths& games, Palette& current) {
    const auto code = DetectContainerType(path);
    loadKindPalette(code, games, current);
    auto object = CreateContainerObject(code);
    if (!object) throw Error("Sorry do not know that file type");
    object->ReadDirectory(path);
    return {code, std::move(object)};
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

// The value of --filter at args[i]; given once at most.
std::string filterValue(const std::vector<std::string>& args, std::size_t& i,
                        const std::optional<std::string>& earlier) {
    if (i + 1 >= args.size()) throw UsageError{"--filter needs a value"};
    if (earlier) throw UsageError{"--filter is given once"};
    return args[++i];
}

int cmdDetect(const std::vector<std::string>& args) {
    if (wantsHelp(args)) return std::fputs(kDetectHelp, stdout), 0;
    if (args.size() != 1) throw UsageError{"detect takes one FILE"};
    const auto code = DetectContainerType(args[0]);
    std::cout << code << '\t' << kindName(code) << '\n';
    return 0;
}

int cmdList(const std::vector<std::string>& args) {
    if (wantsHelp(args)) return std::fputs(kListHelp, stdout), 0;
    bool json = false;
    std::optional<std::string> filter;
    std::vector<std::string> files;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const auto& a = args[i];
        if (a == "--json")
            json = true;
        else if (a == "--filter")
            filter = filterValue(args, i, filter);
        else if (a.rfind("--", 0) == 0)
            throw UsageError{"unknown option " + a};
        else
            files.push_back(a);
    }
    if (files.size() != 1) throw UsageError{"list takes one FILE"};
    Palette current;
    const auto opened = openFile(files[0], defaultPalettes(), current);
    const auto& entries = opened.object->Rows();
    const auto rows = filterRows(entries, filter.value_or(""));
    // What is damaged is said on stderr; the listing itself is whole and the exit status 0.
    for (const auto& note : opened.object->ListingNotes())
        std::cerr << printableText(note) << '\n';
    for (const auto i : rows)
        if (const auto damage = opened.object->EntryDamage(i); !damage.empty())
            std::cerr << printableText(files[0] + ": entry " + std::to_string(i) + " '" + entries[i].name +
                                       "' is damaged: " + damage)
                      << '\n';
    StdoutWriter out;
    if (!json) {
        // One entry, one line: a stored name cannot move the cursor or colour the terminal.
        for (const auto i : rows)
            out << printableText(entries[i].name) << "\n";
    } else {
        const bool image = isImageKind(opened.code);
        out << "{\"path\": " << jsonString(files[0]) << ", \"type\": " << std::to_string(opened.code)
            << ", \"kind\": " << jsonString(std::string(kindName(opened.code)))
            << ", \"count\": " << (image ? std::string("null") : std::to_string(entries.size()))
            << ", \"entries\": [";
        std::string name;
        for (std::size_t k = 0; k < rows.size(); ++k) {
            const auto i = rows[k];
            const auto size = entries[i].size;
            out << (k ? ",\n  " : "\n  ") << "{\"index\": " << std::uint64_t{i} << ", \"name\": ";
            name.clear();
            appendJsonString(name, entries[i].name);
            out << name << ", \"size\": ";
            if (size)
                out << *size;
            else
                out << "null";
            if (!opened.object->EntryDamage(i).empty()) out << ", \"damaged\": true";
            out << "}";
        }
        out << (rows.empty() ? "]}\n" : "\n]}\n");
    }
    return 0;
}

int cmdExtract(const std::vector<std::string>& args) {
    if (wantsHelp(args)) return std::fputs(kExtractHelp, stdout), 0;
    std::vector<std::string> positional, exts, entries;
    std::vector<std::size_t> indices;
    std::vector<std::pair<Game, std::string>> palettes;
    std::optional<std::string> filter;
    PictureFormat format = PictureFormat::Bmp;
    bool yes = false, raw = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const auto& a = args[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= args.size()) throw UsageError{a + " needs a value"};
            return args[++i];
        };
        if (a == "--yes") {
            yes = true;
        } else if (a == "--raw") {
            raw = true;
        } else if (a == "--ext") {
            auto ext = toUpperAscii(value());
            if (ext.empty() || ext.front() != '.') ext = "." + ext;
            exts.push_back(ext);
        } else if (a == "--palette") {
            const auto text = value();
            const auto eq = text.find('=');
            const auto* game = eq == std::string::npos ? nullptr : findGamePalette(text.substr(0, eq));
            if (!game || eq + 1 == text.size())
                throw UsageError{
                    "--palette takes GAME=FILE, GAME one of df-bm, jk-bm, jk-mat, quake1, quake2; not " +
                    text};
            palettes.emplace_back(game->game, text.substr(eq + 1));
        } else if (a == "--filter") {
            filter = filterValue(args, i, filter);
        } else if (a == "--format") {
            const auto name = toLowerAscii(value());
            if (name != "bmp" && name != "png") throw UsageError{"--format takes bmp or png, not " + name};
            if (name == "png" && !pngOutputBuilt()) throw Error(std::string("--format png: ") + kNoPngOutput);
            format = name == "png" ? PictureFormat::Png : PictureFormat::Bmp;
        } else if (a == "--entry") {
            entries.push_back(value());
        } else if (a == "--index") {
            const auto text = value();
            char* end = nullptr;
            errno = 0;
            const auto n = std::strtoull(text.c_str(), &end, 10);
            if (text.empty() || *end != '\0' || errno != 0 || text.front() == '-')
                throw UsageError{"--index takes a whole number, not " + text};
            indices.push_back(static_cast<std::size_t>(n));
        } else if (a.rfind("--", 0) == 0) {
            throw UsageError{"unknown option " + a};
        } else {
            positional.push_back(a);
        }
    }
    if (positional.size() != 2) throw UsageError{"extract takes FILE and TARGET_DIR"};
    auto games = defaultPalettes();
    Palette current;
    for (const auto& [game, file] : palettes)
        usePaletteFile(game, file, games, current);

    auto opened = openFile(positional[0], games, current);
    if (raw && !opened.object->HasStoredBytes())
        throw Error("--raw: the entries of " + positional[0] + " have no stored form of their own to write");
    for (const auto& note : opened.object->ListingNotes())
        std::cerr << printableText(note) << '\n';
    const auto& names = opened.object->Rows();
    std::vector<std::size_t> rows;
    if (exts.empty() && entries.empty() && indices.empty()) {
        for (std::size_t i = 0; i < names.size(); ++i)
            rows.push_back(i);
    } else {
        std::vector<bool> chosen(names.size(), false);
        for (const auto i : rowsWithExtensions(names, exts))
            chosen[i] = true;
        for (const auto& e : entries) {
            bool found = false;
            for (std::size_t i = 0; i < names.size(); ++i)
                if (names[i].name == e) chosen[i] = found = true;
            if (!found) throw Error("No entry named " + e + " in " + positional[0]);
        }
        for (const auto i : indices) {
            if (i >= names.size())
                throw Error("No entry " + std::to_string(i) + " in " + positional[0] + " (it has " +
                            std::to_string(names.size()) + ")");
            chosen[i] = true;
        }
        for (std::size_t i = 0; i < names.size(); ++i)
            if (chosen[i]) rows.push_back(i);
    }
    if (filter) {
        // The filter narrows the selection; the rows stay entry indices.
        const NameFilter keep(*filter);
        std::erase_if(rows, [&](std::size_t i) { return !keep.matches(names[i].name); });
        if (rows.empty()) throw Error("No entry of " + positional[0] + " matches --filter " + *filter);
    }

    const fs::path target = positional[1];
    // Asked before the target is made: a refusal leaves nothing behind.
    if (!rows.empty() && !yes) {
        if (const auto question = lowSpaceQuestion(target)) {
            std::cerr << *question << "\n(refused: add --yes to extract anyway)\n";
            return 1;
        }
    }
    std::error_code ec;
    fs::create_directories(target, ec);
    if (!fs::is_directory(target))
        throw Error("Cannot create file " + positional[1] + (ec ? ": " + ec.message() : std::string()));

    stopOnInterrupt();
    TerminalProgress progress;
    progress.setRange(names.empty() ? 0 : static_cast<int>(names.size() - 1));
    ExtractionOptions options;
    options.afterRow = [&](std::size_t row) { progress.setPosition(static_cast<int>(row)); };
    options.cancelled = [] { return interrupted != 0; };
    options.pictures = format;
    options.raw = raw;
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

std::string createHelp() {
    std::string text = "Usage: vexa-cli create KIND SOURCE_DIR NEW_PATH\n"
                       "Builds a new container from the files of SOURCE_DIR (and, for the kinds marked\n"
                       "(subdirs), of its sub-folders), sorted by name. KIND is one of:\n";
    for (const auto& k : creatableKinds())
        if (k.createWriter || k.gathering == Gathering::None)
            text += "  " + std::string(k.cliName) + "\t" + std::string(k.caption) + "\n";
    text += "For hl-wad nothing is built here: go.bat, which runs makels.exe and qlumpy.exe from the\n"
            "HalfLife folder, is written into the Temp folder beside vexa-cli (for an installed copy,\n"
            "$XDG_CACHE_HOME/vexa/Temp) and its path printed.\n";
    return text;
}

int cmdCreate(const std::vector<std::string>& args, const ProgramFolders& folders) {
    if (wantsHelp(args)) return std::fputs(createHelp().c_str(), stdout), 0;
    if (args.size() != 3) throw UsageError{"create takes KIND, SOURCE_DIR and NEW_PATH"};
    const auto* kind = findCreatableKind(args[0]);
    if (!kind || (!kind->createWriter && kind->gathering != Gathering::None))
        throw UsageError{"unknown container kind " + args[0]};
    const fs::path source = args[1];
    if (!fs::is_directory(source)) throw Error("Cannot open file " + args[1]);
    if (kind->gathering == Gathering::None) {
        std::cout << pathText(writeHalfLifeWadBatch(folders, source, args[2])) << '\n';
        return 0;
    }
    const auto files =
        kind->gathering == Gathering::Tree ? GatherFolderTree(source) : GatherFolderFiles(source);
    stopOnInterrupt();
    TerminalProgress progress;
    kind->createWriter()->WriteContainer(args[2], source, files, &progress);
    std::cout << "Created File " << args[2] << '\n';
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    programPath = argv[0];
    platform::setUpConsole();
    auto args = platform::commandLine(argc, argv);
    if (!args.empty()) args.erase(args.begin());
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        std::fputs(kUsage, args.empty() ? stderr : stdout);
        return args.empty() ? 2 : 0;
    }
    if (args[0] == "--version") return std::fputs("vexa-cli " VEXA_VERSION "\n", stdout), 0;
    const auto command = args[0];
    args.erase(args.begin());
    try {
        // Read only: a command-line run leaves the folders as it found them.
        const auto folders = ProgramFolders::locate(programFolder(argv[0]), userFoldersFromEnvironment());
        if (command == "detect") return cmdDetect(args);
        if (command == "list") return cmdList(args);
        if (command == "extract") return cmdExtract(args);
        if (command == "create") return cmdCreate(args, folders);
        throw UsageError{"unknown command " + command};
    } catch (const Cancelled& e) {
        std::cerr << printableText(e.what()) << '\n';
        return kInterruptedExit;
    } catch (const UsageError& e) {
        std::cerr << "vexa-cli: " << printableText(e.message) << "\n\n" << kUsage;
        return 2;
    } catch (const std::exception& e) {
        std::cerr << printableText(e.what()) << '\n';
        return 1;
    }
}
