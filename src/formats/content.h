#pragma once
// What an entry holds: its content kind. Each kind is a record (ContentKind) in the registry of
// contents.cpp: how it claims an entry (its name, the marker section it lies in, its first bytes, its
// size, the kind of container it sits in; a claim checks the whole header against the entry's size,
// so a wrong guess is refused, never decoded into garbage), and its decoder into pictures, a sound,
// music or text. An entry no kind claims is data.

#include "formats/kind.h"
#include "images/decoded_picture.h"
#include "media/sound.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vexa {

// The word a row's content is shown by (`list --json` "content", the window's Content column).
enum class Content : std::uint8_t { Data, Picture, Palette, Sound, Music, Text, Container };
std::string_view contentWord(Content content);
// The content of a word ("picture"), nullopt for none.
std::optional<Content> contentOfWord(std::string_view word);

// What a claim looks at.
struct EntryLook {
    ContainerType container; // the kind of container the entry sits in
    std::string_view name;   // as the rows show it ("gfx\pause.lmp")
    // A Doom WAD's marker section the lump lies in: 'S' sprites, 'P' patches, 'F' flats, 0 none.
    char section = 0;
    std::uint64_t size = 0;
    std::span<const std::uint8_t> head; // its first bytes, up to kContentHeadBytes
    // The whole entry, read when a claim needs more than its head; empty for one larger than
    // kMaxContentBytes or that cannot be read.
    std::function<std::span<const std::uint8_t>()> whole;
    // Taken once from the name and the head, for the many claims that look at them (see lookAt).
    std::string_view leaf{};      // the name's last level ("pause.lmp")
    std::string_view extension{}; // the leaf's from its last dot (".lmp"); empty where it has none
    ContainerType detected = ContainerType::Unknown; // the kind detectKind finds in the head and leaf
};

constexpr std::size_t kContentHeadBytes = 512;
// The largest entry whose content is decoded: pictures, sounds and songs are far smaller.
constexpr std::uint64_t kMaxContentBytes = 64u << 20;

// What a decoder reads: the entry's bytes, the words naming it in messages, and the other entries
// of its container (a texture list's patches), read whole by name without regard to letter case.
struct ContentInput {
    std::span<const std::uint8_t> bytes;
    std::string what;
    std::function<std::optional<std::vector<std::uint8_t>>(std::string_view name)> entryNamed;
};

// Receives an entry's pictures one at a time, as they are decoded (a texture list of 900 textures is
// never held whole).
class PictureSink {
  public:
    virtual ~PictureSink() = default;
    // own: the colours the entry carries for all its pictures (a PCX's), if any.
    virtual void picture(DecodedPicture picture, const std::optional<PaletteTable>& own) = 0;
    // What was left out ("texture BIGDOOR1: patch W13_1 is missing").
    virtual void note(const std::string& text) = 0;
};

// Where a converted entry goes: one file named after it with its extension replaced, or a folder named
// after it holding one file per picture (named as the picture).
enum class ContentOutput { File, Folder };

struct ContentKind {
    std::string_view name; // "Doom picture"
    Content content;
    bool (*claims)(const EntryLook& look);
    // Pictures and palettes: decodes the entry into sink; throws FormatError for a damaged one.
    void (*pictures)(const ContentInput& input, PictureSink& sink) = nullptr;
    // Sounds, music, text: the decoded value.
    Sound (*sound)(std::span<const std::uint8_t> bytes, const std::string& what) = nullptr;
    std::vector<std::uint8_t> (*music)(std::span<const std::uint8_t> bytes,
                                       const std::string& what) = nullptr;
    std::string (*text)(std::span<const std::uint8_t> bytes, const std::string& what) = nullptr;
    ContentOutput output = ContentOutput::File;
    // The game whose palette paints its pictures where the container holds none of its own.
    std::optional<Game> game = {};
    // A palette entry: its first palette is also written as 768 bytes ("PLAYPAL.pal").
    bool palFile = false;
    // Where this kind is the container's own palette (PLAYPAL in a WAD), the name it has there.
    std::string_view paletteEntryName = {};
};

// Every content kind, in the order their claims are tried.
const std::vector<const ContentKind*>& contentKinds();
// The kind that claims look, or null (data).
const ContentKind* claimContent(const EntryLook& look);

// The content kind of every entry of a container of kind container, in row order (null: data). The
// entries of a container whose reader decodes its pictures itself (HasPictures) are its textures.
// Reads each entry's head (in windows of the container where its entries are ranges of it) and,
// where a claim needs it, the whole entry.
std::vector<const ContentKind*> classifyEntries(const ContainerReader& reader, ContainerType container);

// The words that name an entry in messages: "<container>: entry N 'name'".
std::string entryWhat(const ContainerReader& reader, std::size_t index);

// The input of entry index for a decoder: its bytes (read whole) and its container's other entries.
struct EntryInput {
    std::vector<std::uint8_t> bytes;
    ContentInput input;
};
EntryInput readEntryInput(const ContainerReader& reader, std::size_t index);

// The container's own palette, where it holds one (PLAYPAL in a WAD, gfx\palette.lmp or
// pics\colormap.pcx in a PAK, PALETTE.DAT in a GRP): its colours and the entry's name.
struct OwnPalette {
    PaletteTable table;
    std::string entry;
};
std::optional<OwnPalette> containerPalette(const ContainerReader& reader, ContainerType container);

} // namespace vexa
