#pragma once
// The kinds of file the program opens and writes. Each kind is described once, by one record in its
// own format module (kPakKind in HL_Pak.cpp, ...); the registry (kinds.cpp) lists those records,
// and everything that depends on the kind reads them: detection, the window, vexa-cli, the New_C
// page, completion and the manual's list of kinds. A new kind is one module and one line there.

#include "formats/container.h"
#include "images/texture_kind.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace vexa {

// The kind of a file, by the numbers users see in `vexa-cli detect`.
enum class ContainerType : int {
    HLWad3 = 0,
    DFGob = 1,
    JKGob = 2,
    OLLab = 3,
    Pak = 4,
    DoomWad = 5,
    Q1Wad2 = 6,
    Q1Bsp = 7,
    DescentHog = 8,
    DescentHog2 = 9,
    FreeSpaceVP = 10,
    DFLfd = 11,
    Grp = 12,
    I82Zfs = 13,
    DaikatanaPak = 14,
    HLBsp = 15,
    Rpk = 30,
    DFBm = 50,
    Q2Wal = 51,
    JKMat = 52,
    JKBm = 53,
    Unknown = 100,
};

constexpr int codeOf(ContainerType type) {
    return static_cast<int>(type);
}

// What a new container is built from: the files of a folder, of its tree, its PNG and BMP pictures
// (the texture WADs), or nothing here (the Half-Life WAD batch).
enum class Gathering { Flat, Tree, Pictures, None };

// One item of the New_C page (and a KIND of `vexa-cli create`).
struct NewContainerItem {
    int position;                 // among the page's items, from 0
    std::string_view caption;     // the item's caption on the page
    std::string_view defaultName; // proposed in the Temp folder
    std::string_view cliName;     // `vexa-cli create KIND` (the texture WADs: `vexa-cli import KIND`)
    Gathering gathering;
    std::optional<TextureKind> textures = {}; // built from pictures by the texture import
};

struct ContainerKind {
    ContainerType code;
    std::string_view name; // "Dark Forces GOB", as `vexa-cli detect` prints it
    // How it claims a file: its first bytes begin with one of signatures; or its name ends in
    // extension (".GRP"), which decides over any content.
    std::array<std::string_view, 2> signatures = {};
    std::string_view extension = {};
    std::unique_ptr<ContainerReader> (*createReader)() = nullptr;   // container kinds
    std::unique_ptr<EntryLayoutWriter> (*createWriter)() = nullptr; // kinds an edit can be saved as
    std::unique_ptr<ImageDecoder> (*createDecoder)() = nullptr;     // image kinds
    std::string_view imageMask = {};                                // image kinds: the files listed with it
    std::optional<Game> palette = {}; // made the current one when a file of the kind opens
    std::vector<NewContainerItem> newItems = {};
    // A kind whose signature an earlier kind shares: whether the whole file is one of its own
    // (detection over a file asks it before giving the file to the earlier kind).
    bool (*claims)(const ByteSource& file) = nullptr;
    bool namesHoldFolders = false; // "maps\e1m1.bsp": a folder's tree is added under a name
    // The game finds entries by name whatever the letter case (DOS and Windows games): names that
    // differ only in case are one name to it, and so to an edit.
    bool namesIgnoreCase = false;
};

template <class T> std::unique_ptr<ContainerReader> readerOf() {
    return std::make_unique<T>();
}
template <class T> std::unique_ptr<EntryLayoutWriter> writerOf() {
    return std::make_unique<T>();
}
template <class T> std::unique_ptr<ImageDecoder> decoderOf() {
    return std::make_unique<T>();
}

// ---- The registry -------------------------------------------------------------------------------

const std::vector<const ContainerKind*>& containerKinds();
const ContainerKind* findKind(ContainerType code);
std::string_view kindName(ContainerType code);
bool isImageKind(ContainerType code);

// The kind the first bytes of a file named name claim (Unknown for none).
ContainerType detectKind(std::span<const std::uint8_t> head, std::string_view name);
// The bytes detection looks at.
constexpr std::size_t kDetectionBytes = 4;

// The live object for a kind: the container class, or for image kinds a listing of the image
// files beside the opened one over that kind's decoder. Returns null for the unknown kind and throws
// Error for a kind whose class this build does not have.
std::unique_ptr<ContainerReader> CreateContainerObject(ContainerType code);

// A New_C item with its kind, in the page's order.
struct CreatableKind {
    std::string_view caption, defaultName, cliName;
    Gathering gathering;
    ContainerType code;
    std::unique_ptr<EntryLayoutWriter> (*createWriter)() = nullptr; // null: not built by a writer class
    std::optional<TextureKind> textures = {};
};
const std::vector<CreatableKind>& creatableKinds();
const CreatableKind* findCreatableKind(std::string_view cliName);

// The texture kinds a picture is imported as, in the order `vexa-cli import` lists them.
const std::vector<const TextureKindInfo*>& textureKinds();
const TextureKindInfo& textureKindInfo(TextureKind kind);
const TextureKindInfo* findTextureKind(std::string_view cliName);

} // namespace vexa
