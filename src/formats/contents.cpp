#include "formats/content.h"

#include "base/errors.h"
#include "base/text.h"
#include "formats/entry_checks.h"
#include "formats/entry_heads.h"
#include "images/DF_BM.h"
#include "images/JK_BM.h"
#include "images/JK_Mat.h"
#include "images/Q2_Wal.h"
#include "images/build_art.h"
#include "images/df_sprites.h"
#include "images/doom_graphics.h"
#include "images/pcx.h"
#include "images/quake_pictures.h"
#include "media/code_page.h"
#include "media/dmx.h"
#include "media/endoom.h"
#include "media/gmd.h"
#include "media/hmp.h"
#include "media/midi.h"
#include "media/mus.h"
#include "media/txb.h"
#include "media/voc.h"
#include "media/wav.h"

#include <algorithm>
#include <array>
#include <map>

namespace vexa {

namespace {

// ---- What the claims share -----------------------------------------------------------------------

// The name's last level, without its folders ("gfx\pause.lmp" -> "pause.lmp").
std::string_view leafOf(std::string_view name) {
    const auto sep = name.find_last_of("\\/");
    return sep == std::string_view::npos ? name : name.substr(sep + 1);
}

// A look at an entry, with what the claims take from its name and head worked out once.
EntryLook lookAt(ContainerType container, std::string_view name, char section, std::uint64_t size,
                 std::span<const std::uint8_t> head, std::function<std::span<const std::uint8_t>()> whole) {
    EntryLook look{container, name, section, size, head, std::move(whole)};
    look.leaf = leafOf(name);
    // A leaf that is all extension (".lmp") has none.
    if (const auto dot = look.leaf.find_last_of('.'); dot != std::string_view::npos && dot > 0)
        look.extension = look.leaf.substr(dot);
    look.detected = detectKind(head, look.leaf);
    return look;
}

bool nameIs(const EntryLook& look, std::string_view wanted) {
    return equalsNoCase(look.name, wanted);
}

bool extensionIs(const EntryLook& look, std::string_view extension) {
    return equalsNoCase(look.extension, extension);
}

// The whole entry, for a claim that checks more than the head: empty when it is too large or unreadable.
std::span<const std::uint8_t> wholeOf(const EntryLook& look) {
    return look.whole ? look.whole() : std::span<const std::uint8_t>();
}

bool headStartsWith(const EntryLook& look, std::string_view magic) {
    return look.head.size() >= magic.size() && std::equal(magic.begin(), magic.end(), look.head.begin());
}

// Claims that check every byte of the entry: they look at it whole, where its head starts with the
// kind's magic (read whole, every entry of a large container would be read to be listed).
template <bool (*Check)(std::span<const std::uint8_t>)>
bool wholeClaims(const EntryLook& look, std::string_view magic = {}) {
    if (look.size == 0 || look.size > kMaxContentBytes || !headStartsWith(look, magic)) return false;
    const auto bytes = wholeOf(look);
    return bytes.size() == look.size && Check(bytes);
}

template <bool (*Check)(std::span<const std::uint8_t>) noexcept>
bool wholeClaimsNoexcept(const EntryLook& look, std::string_view magic = {}) {
    if (look.size == 0 || look.size > kMaxContentBytes || !headStartsWith(look, magic)) return false;
    const auto bytes = wholeOf(look);
    return bytes.size() == look.size && Check(bytes);
}

// The pictures a decoder returns whole, passed on one at a time.
template <DecodedPictures (*Decode)(std::span<const std::uint8_t>, const std::string&)>
void allPictures(const ContentInput& input, PictureSink& sink) {
    auto decoded = Decode(input.bytes, input.what);
    for (const auto& note : decoded.notes)
        sink.note(note);
    for (auto& picture : decoded.pictures)
        sink.picture(std::move(picture), decoded.palette);
}

// ---- Doom ----------------------------------------------------------------------------------------

bool inDoomWad(const EntryLook& look) {
    return look.container == ContainerType::DoomWad;
}

bool claimsPlaypal(const EntryLook& look) {
    return inDoomWad(look) && nameIs(look, "PLAYPAL") && wholeClaimsNoexcept<isDoomPlaypal>(look);
}
bool claimsColormap(const EntryLook& look) {
    return inDoomWad(look) && nameIs(look, "COLORMAP") && wholeClaimsNoexcept<isDoomColormap>(look);
}
bool claimsTextureList(const EntryLook& look) {
    return inDoomWad(look) && (nameIs(look, "TEXTURE1") || nameIs(look, "TEXTURE2")) &&
           wholeClaimsNoexcept<isDoomTextureList>(look);
}
bool claimsEndoom(const EntryLook& look) {
    return inDoomWad(look) &&
           (nameIs(look, "ENDOOM") || nameIs(look, "ENDTEXT") || nameIs(look, "ENDBOOM")) &&
           wholeClaims<isEndoom>(look);
}
bool claimsFlat(const EntryLook& look) {
    if (!inDoomWad(look) || look.section != 'F') return false;
    return wholeClaimsNoexcept<isDoomFlat>(look);
}
bool claimsDoomPicture(const EntryLook& look) {
    // In a sprite or patch section, or anywhere a lump's header is a picture's.
    return inDoomWad(look) && look.section != 'F' && wholeClaimsNoexcept<isDoomPicture>(look);
}

// Composes a texture list's textures one at a time: its patches are the container's lumps named by
// its PNAMES.
void composeTextures(const ContentInput& input, PictureSink& sink) {
    const auto pnames = input.entryNamed ? input.entryNamed("PNAMES") : std::nullopt;
    if (!pnames)
        throw FormatError(input.what + ": the WAD holds no PNAMES, which names the textures' patches");
    const auto textures = parseDoomTextures(input.bytes, input.what);
    DoomTextureComposer composer(parseDoomPatchNames(*pnames, input.what + ": PNAMES"),
                                 [&](std::string_view name) { return input.entryNamed(name); });
    std::vector<std::string> notes;
    for (const auto& texture : textures) {
        auto picture = composer.compose(texture, notes);
        for (const auto& note : notes)
            sink.note(note);
        notes.clear();
        sink.picture(std::move(picture), std::nullopt);
    }
}

// ---- Quake ---------------------------------------------------------------------------------------

bool inPak(const EntryLook& look) {
    return look.container == ContainerType::Pak;
}

bool claimsQuakePalette(const EntryLook& look) {
    return inPak(look) && equalsNoCase(look.leaf, "palette.lmp") && wholeClaimsNoexcept<isQuakePalette>(look);
}
bool claimsQuakeColormap(const EntryLook& look) {
    return inPak(look) && equalsNoCase(look.leaf, "colormap.lmp") &&
           wholeClaimsNoexcept<isQuakeColormap>(look);
}
bool claimsQuakePicture(const EntryLook& look) {
    return extensionIs(look, ".lmp") && wholeClaimsNoexcept<isQuakePicture>(look);
}
// The engine draws index 255 of the pictures in gfx\ as see-through.
void quakePicture(const ContentInput& input, PictureSink& sink) {
    auto decoded = decodeQuakePicture(input.bytes, input.what, true);
    for (auto& picture : decoded.pictures)
        sink.picture(std::move(picture), decoded.palette);
}

// ---- Build, PCX, Dark Forces ---------------------------------------------------------------------

bool claimsPcx(const EntryLook& look) {
    return wholeClaimsNoexcept<isPcx>(look, kPcxMagic);
}
bool claimsBuildArt(const EntryLook& look) {
    return extensionIs(look, ".art") && wholeClaimsNoexcept<isBuildArt>(look);
}
bool claimsBuildPalette(const EntryLook& look) {
    return look.container == ContainerType::Grp && nameIs(look, "PALETTE.DAT") &&
           wholeClaimsNoexcept<isBuildPalette>(look);
}
bool claimsFme(const EntryLook& look) {
    return extensionIs(look, ".fme") && wholeClaimsNoexcept<isDfFme>(look);
}
bool claimsWax(const EntryLook& look) {
    return extensionIs(look, ".wax") && wholeClaimsNoexcept<isDfWax>(look);
}

// The image kinds of the program, as entries: their own decoder over the entry's bytes.
template <ContainerType Kind> bool claimsImage(const EntryLook& look) {
    return look.detected == Kind;
}
template <ContainerType Kind> void imagePictures(const ContentInput& input, PictureSink& sink) {
    const auto decoder = findKind(Kind)->createDecoder();
    const auto decoded = decoder->Decode(
        MemoryBytes(std::vector<std::uint8_t>(input.bytes.begin(), input.bytes.end()), input.what));
    std::optional<PaletteTable> own;
    if (decoded.palette.from == PaletteNeed::From::Own)
        own = paletteFromTriples(std::span<const std::uint8_t>(decoded.palette.colours)
                                     .first(std::min<std::size_t>(decoded.palette.colours.size(), 768)));
    for (const auto& picture : decoded.pictures) {
        DecodedPicture out;
        out.image = picture.image;
        // "_0.bmp" -> "_0": the ending the converted file takes after the entry's name.
        const auto dot = picture.suffix.rfind('.');
        out.name = picture.suffix.substr(0, dot);
        sink.picture(std::move(out), own);
    }
}

// ---- Sounds, music, text -------------------------------------------------------------------------

bool claimsDmx(const EntryLook& look) {
    // Not in the sections of pictures and flats, where a lump's bytes might pass for a sound's.
    return inDoomWad(look) && look.section == 0 && wholeClaims<isDmxSound>(look);
}
bool claimsVoc(const EntryLook& look) {
    return wholeClaims<isVoc>(look, kVocMagic);
}
bool claimsWav(const EntryLook& look) {
    return wholeClaims<isWav>(look, kWavMagic);
}
bool claimsMus(const EntryLook& look) {
    return wholeClaims<isMus>(look, kMusMagic);
}
bool claimsMidi(const EntryLook& look) {
    return wholeClaims<isMidi>(look, kMidiMagic);
}
bool claimsHmp(const EntryLook& look) {
    return wholeClaims<isHmp>(look, kHmpMagic);
}
bool claimsGmd(const EntryLook& look) {
    return wholeClaims<isGmd>(look, kGmdMagic);
}
bool claimsTxb(const EntryLook& look) {
    return extensionIs(look, ".txb") && wholeClaims<isTxb>(look);
}

// Text by its extension, or by its content: printable in code page 437 or Latin-1, no NUL.
bool claimsText(const EntryLook& look) {
    static constexpr std::array<std::string_view, 24> kTextExtensions = {
        ".TXT", ".CFG", ".INF", ".MSC", ".INI", ".LST", ".BAT", ".DEF", ".DOC",  ".NFO", ".LOG", ".ME",
        ".MSG", ".LEV", ".GOL", ".JKL", ".COG", ".SCR", ".RC",  ".HTM", ".HTML", ".XML", ".CSV", ".SH"};
    for (const auto extension : kTextExtensions)
        if (extensionIs(look, extension)) return true;
    return look.size > 0 && look.head.size() == std::min<std::uint64_t>(look.size, kContentHeadBytes) &&
           looksLikeText(look.head);
}

// Containers the program opens, inside another one.
bool claimsContainer(const EntryLook& look) {
    const auto kind = look.detected;
    return kind != ContainerType::Unknown && !isImageKind(kind);
}

// ---- The registry --------------------------------------------------------------------------------

const ContentKind kPlaypal{"Doom palettes", Content::Palette,
                           claimsPlaypal,   allPictures<decodeDoomPlaypal>,
                           nullptr,         nullptr,
                           nullptr,         ContentOutput::Folder,
                           Game::Doom,      true,
                           "PLAYPAL"};
const ContentKind kColormap{"Doom colour maps",
                            Content::Palette,
                            claimsColormap,
                            allPictures<decodeDoomColormap>,
                            nullptr,
                            nullptr,
                            nullptr,
                            ContentOutput::File,
                            Game::Doom};
const ContentKind kTextureList{
    "Doom texture list",   Content::Picture, claimsTextureList, composeTextures, nullptr, nullptr, nullptr,
    ContentOutput::Folder, Game::Doom};
const ContentKind kEndoom{"Doom end screen", Content::Text, claimsEndoom, nullptr,
                          nullptr,           nullptr,       endoomToText};
const ContentKind kFlat{"Doom flat", Content::Picture, claimsFlat, allPictures<decodeDoomFlat>,
                        nullptr,     nullptr,          nullptr,    ContentOutput::File,
                        Game::Doom};
const ContentKind kDmx{"Doom sound", Content::Sound, claimsDmx, nullptr, decodeDmxSound};
const ContentKind kMus{"Doom music", Content::Music, claimsMus, nullptr, nullptr, musToMidi};
const ContentKind kDoomPicture{
    "Doom picture", Content::Picture,    claimsDoomPicture, allPictures<decodeDoomPicture>, nullptr, nullptr,
    nullptr,        ContentOutput::File, Game::Doom};
const ContentKind kQuakePalette{"Quake palette",
                                Content::Palette,
                                claimsQuakePalette,
                                allPictures<decodeQuakePalette>,
                                nullptr,
                                nullptr,
                                nullptr,
                                ContentOutput::File,
                                Game::Quake1Bsp,
                                true,
                                "gfx\\palette.lmp"};
const ContentKind kQuakeColormap{"Quake colour map",
                                 Content::Palette,
                                 claimsQuakeColormap,
                                 allPictures<decodeQuakeColormap>,
                                 nullptr,
                                 nullptr,
                                 nullptr,
                                 ContentOutput::File,
                                 Game::Quake1Bsp};
const ContentKind kQuakePicture{
    "Quake picture", Content::Picture, claimsQuakePicture,  quakePicture,   nullptr,
    nullptr,         nullptr,          ContentOutput::File, Game::Quake1Bsp};
const ContentKind kPcx{
    "PCX picture",       Content::Picture, claimsPcx, allPictures<decodePcx>, nullptr, nullptr, nullptr,
    ContentOutput::File, Game::Quake2Wal,  false,     "pics\\colormap.pcx"};
const ContentKind kBuildArt{"Build tiles", Content::Picture, claimsBuildArt, allPictures<decodeBuildArt>,
                            nullptr,       nullptr,          nullptr,        ContentOutput::Folder,
                            Game::Duke3D};
const ContentKind kBuildPalette{"Build palette",
                                Content::Palette,
                                claimsBuildPalette,
                                allPictures<decodeBuildPalette>,
                                nullptr,
                                nullptr,
                                nullptr,
                                ContentOutput::File,
                                Game::Duke3D,
                                true,
                                "PALETTE.DAT"};
const ContentKind kFme{
    "Dark Forces frame", Content::Picture,  claimsFme, allPictures<decodeDfFme>, nullptr, nullptr, nullptr,
    ContentOutput::File, Game::DarkForcesBm};
const ContentKind kWax{
    "Dark Forces sprite",  Content::Picture,  claimsWax, allPictures<decodeDfWax>, nullptr, nullptr, nullptr,
    ContentOutput::Folder, Game::DarkForcesBm};
const ContentKind kDfBm{"Dark Forces BM",
                        Content::Picture,
                        claimsImage<ContainerType::DFBm>,
                        imagePictures<ContainerType::DFBm>,
                        nullptr,
                        nullptr,
                        nullptr,
                        ContentOutput::File,
                        Game::DarkForcesBm};
const ContentKind kJkBm{"Jedi Knight BM",
                        Content::Picture,
                        claimsImage<ContainerType::JKBm>,
                        imagePictures<ContainerType::JKBm>,
                        nullptr,
                        nullptr,
                        nullptr,
                        ContentOutput::File,
                        Game::JediKnightBm};
const ContentKind kJkMat{"Jedi Knight MAT",
                         Content::Picture,
                         claimsImage<ContainerType::JKMat>,
                         imagePictures<ContainerType::JKMat>,
                         nullptr,
                         nullptr,
                         nullptr,
                         ContentOutput::File,
                         Game::JediKnightMat};
const ContentKind kWal{"Quake 2 WAL",
                       Content::Picture,
                       claimsImage<ContainerType::Q2Wal>,
                       imagePictures<ContainerType::Q2Wal>,
                       nullptr,
                       nullptr,
                       nullptr,
                       ContentOutput::File,
                       Game::Quake2Wal};
const ContentKind kVoc{"Creative voice", Content::Sound, claimsVoc, nullptr, decodeVoc};
// WAV, MIDI and text are kept as they are: players and editors open them.
const ContentKind kWav{"WAV sound", Content::Sound, claimsWav};
const ContentKind kMidi{"MIDI music", Content::Music, claimsMidi};
const ContentKind kHmp{"HMP music", Content::Music, claimsHmp, nullptr, nullptr, hmpToMidi};
const ContentKind kGmd{"Dark Forces music", Content::Music, claimsGmd, nullptr, nullptr, gmdToMidi};
const ContentKind kTxb{"Descent briefing", Content::Text, claimsTxb, nullptr, nullptr, nullptr, txbToText};
const ContentKind kContainer{"container", Content::Container, claimsContainer};
// The entries of the texture containers (WAD2, WAD3, BSP), which their reader decodes itself.
bool claimsNothing(const EntryLook&) {
    return false;
}
const ContentKind kTexture{"texture", Content::Picture, claimsNothing};
const ContentKind kTexturePalette{"palette", Content::Palette, claimsNothing};
const ContentKind kText{"text", Content::Text, claimsText};

} // namespace

std::string_view contentWord(Content content) {
    switch (content) {
    case Content::Picture:
        return "picture";
    case Content::Palette:
        return "palette";
    case Content::Sound:
        return "sound";
    case Content::Music:
        return "music";
    case Content::Text:
        return "text";
    case Content::Container:
        return "container";
    case Content::Data:
        break;
    }
    return "data";
}

std::optional<Content> contentOfWord(std::string_view word) {
    for (const auto content : {Content::Data, Content::Picture, Content::Palette, Content::Sound,
                               Content::Music, Content::Text, Content::Container})
        if (equalsNoCase(contentWord(content), word)) return content;
    return std::nullopt;
}

// Names first (a lump called PLAYPAL), then the sections of a Doom WAD, then the first bytes; text by
// its bytes last, as so much looks like it.
const std::vector<const ContentKind*>& contentKinds() {
    static const std::vector<const ContentKind*> kinds = {
        &kPlaypal,       &kColormap,     &kTextureList, &kEndoom, &kFlat,        &kQuakePalette,
        &kQuakeColormap, &kBuildPalette, &kDmx,         &kMus,    &kDoomPicture, &kQuakePicture,
        &kBuildArt,      &kFme,          &kWax,         &kDfBm,   &kJkBm,        &kJkMat,
        &kWal,           &kPcx,          &kVoc,         &kWav,    &kMidi,        &kHmp,
        &kGmd,           &kTxb,          &kContainer,   &kText,
    };
    return kinds;
}

const ContentKind* claimContent(const EntryLook& look) {
    for (const auto* kind : contentKinds()) {
        try {
            if (kind->claims(look)) return kind;
        } catch (const Error&) {
            // An entry that cannot be read is data.
        }
    }
    return nullptr;
}

namespace {

// A Doom WAD's sections: between S_START and S_END (or SS_), P_ (PP_, P1_...) and F_ (FF_, F1_...).
char sectionMarker(std::string_view name, bool& start) {
    const auto underscore = name.find('_');
    if (underscore == std::string_view::npos) return 0;
    const auto tail = name.substr(underscore + 1);
    if (equalsNoCase(tail, "START"))
        start = true;
    else if (equalsNoCase(tail, "END"))
        start = false;
    else
        return 0;
    const auto head = toUpperAscii(name.substr(0, underscore));
    if (head == "S" || head == "SS") return 'S';
    if (head == "P" || head == "PP" || head == "P1" || head == "P2" || head == "P3") return 'P';
    if (head == "F" || head == "FF" || head == "F1" || head == "F2" || head == "F3") return 'F';
    return 0;
}

// Reads the first bytes of many entries of one container: where they are ranges of it, through
// windows of it in the order they lie, so 100,000 small entries cost a few reads, not 100,000.
std::vector<std::uint8_t> readWhole(const ContainerReader& reader, std::size_t index) {
    const auto bytes = reader.entrySource(index);
    if (bytes->size() > kMaxContentBytes)
        throw FormatError(entryWhat(reader, index) + " is " + std::to_string(bytes->size()) +
                          " bytes, more than a content decoder reads (" + std::to_string(kMaxContentBytes) +
                          ")");
    return bytes->readBlock(0, bytes->size(), "the entry");
}

} // namespace

std::vector<const ContentKind*> classifyEntries(const ContainerReader& reader, ContainerType container) {
    const auto& rows = reader.Rows();
    std::vector<const ContentKind*> kinds(rows.size(), nullptr);
    std::vector<char> sections(rows.size(), 0);
    if (container == ContainerType::DoomWad) {
        char section = 0;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            bool start = false;
            if (const char marker = sectionMarker(rows[i].name, start)) section = start ? marker : 0;
            sections[i] = section;
        }
    }
    if (reader.HasPictures()) {
        for (std::size_t i = 0; i < rows.size(); ++i)
            kinds[i] = rows[i].type == "palette" ? &kTexturePalette
                       : rows[i].type == "font"  ? nullptr
                                                 : &kTexture;
        return kinds;
    }
    // Entries in the order they lie, so that the windows of heads move forward through the file.
    EntryHeads heads(reader, kContentHeadBytes);
    const auto& order = heads.offsetOrder();
    std::vector<std::uint8_t> own, whole;
    for (const auto i : order) {
        if (rows[i].damaged) continue;
        std::optional<std::vector<std::uint8_t>> read;
        auto look =
            lookAt(container, rows[i].name, sections[i], rows[i].size.value_or(0), heads.head(i, own), {});
        look.whole = [&]() -> std::span<const std::uint8_t> {
            if (!read) {
                try {
                    read = look.size <= kMaxContentBytes ? readWhole(reader, i) : std::vector<std::uint8_t>();
                } catch (const Error&) {
                    read.emplace();
                }
            }
            return *read;
        };
        kinds[i] = claimContent(look);
    }
    return kinds;
}

std::string entryWhat(const ContainerReader& reader, std::size_t index) {
    return displayPath(reader.ArchivePath()) + ": " + entryLabel(index, reader.EntryName(index));
}

EntryInput readEntryInput(const ContainerReader& reader, std::size_t index) {
    EntryInput out;
    out.bytes = readWhole(reader, index);
    out.input.bytes = out.bytes;
    out.input.what = entryWhat(reader, index);
    out.input.entryNamed = [&reader](std::string_view name) -> std::optional<std::vector<std::uint8_t>> {
        // The last of a name, as Doom takes a lump a later one replaces.
        const auto& rows = reader.Rows();
        for (auto i = rows.size(); i-- > 0;)
            if (!rows[i].damaged && equalsNoCase(rows[i].name, name)) return readWhole(reader, i);
        return std::nullopt;
    };
    return out;
}

namespace {
// Keeps the colours of the first picture of a palette entry.
class FirstPalette : public PictureSink {
  public:
    void picture(DecodedPicture picture, const std::optional<PaletteTable>& own) override {
        if (found) return;
        if (picture.palette)
            found = picture.palette;
        else if (own)
            found = own;
    }
    void note(const std::string&) override {}
    std::optional<PaletteTable> found;
};
} // namespace

std::optional<OwnPalette> containerPalette(const ContainerReader& reader, ContainerType container) {
    for (const auto* kind : contentKinds()) {
        if (kind->paletteEntryName.empty() || !kind->pictures) continue;
        const auto& rows = reader.Rows();
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (rows[i].damaged || !equalsNoCase(rows[i].name, kind->paletteEntryName)) continue;
            try {
                auto entry = readEntryInput(reader, i);
                const auto look =
                    lookAt(container, rows[i].name, 0, entry.bytes.size(),
                           std::span<const std::uint8_t>(entry.bytes)
                               .first(std::min<std::size_t>(entry.bytes.size(), kContentHeadBytes)),
                           [&]() -> std::span<const std::uint8_t> { return entry.bytes; });
                if (!kind->claims(look)) continue;
                FirstPalette first;
                kind->pictures(entry.input, first);
                if (first.found) return OwnPalette{*first.found, rows[i].name};
            } catch (const Error&) {
                // A damaged palette entry: the game's palette paints the pictures instead.
            }
        }
    }
    return std::nullopt;
}

} // namespace vexa
