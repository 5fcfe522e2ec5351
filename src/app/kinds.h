#pragma once
// The one table of kinds: everything that depends on the kind of a file is a column here.
// Adding a kind is one format module plus one row.

#include "app/Global.h"
#include "app/texture_import.h"
#include "base/Files_global.h"
#include "formats/container.h"

#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace vexa {

struct KindInfo {
    ContainerType code;
    std::string_view name;      // "Dark Forces GOB", as `vexa-cli detect` prints it
    std::string_view signature; // the first bytes of the file, or ".EXT" where the extension decides
    std::unique_ptr<ContainerReader> (*createReader)() = nullptr; // container kinds; null until it lands
    std::unique_ptr<ImageDecoder> (*createDecoder)() = nullptr;   // image kinds
    std::string_view imageMask = {};                              // image kinds: the files listed beside it
    std::optional<Game> palette =
        {}; // the game palette that becomes the current one when a file of the kind opens
};

const std::vector<KindInfo>& kindTable();
const KindInfo* findKind(ContainerType code);
std::string_view kindName(ContainerType code);
bool isImageKind(ContainerType code);

// The live object for a kind: the container class, or for image kinds a listing of the image
// files beside the opened one over that kind's decoder. Returns null for the unknown kind and
// throws Error for a kind whose class this build does not have.
std::unique_ptr<ContainerReader> CreateContainerObject(ContainerType code);
// Opening a file of the kind makes its game's palette the current one, where it has one: current
// becomes that palette, or black (and this throws) when it cannot be loaded.
void loadKindPalette(ContainerType code, const GamePalettePaths& paths, Palette& current);

// The kinds a new container can be built as, in the order of the New_C page's items.
// Pictures: the PNG and BMP files directly in the folder, which the texture WADs are made of.
enum class Gathering { Flat, Tree, Pictures, None };
struct CreatableKind {
    std::string_view caption;     // the item's caption on the page
    std::string_view defaultName; // proposed in the Temp folder
    std::string_view cliName;     // `vexa-cli create KIND` (the texture WADs: `vexa-cli import KIND`)
    Gathering gathering;
    ContainerType code;
    std::unique_ptr<EntryLayoutWriter> (*createWriter)() = nullptr; // null: not built by a writer class
    std::optional<TextureKind> textures = {}; // built from pictures by the texture import
};

const std::vector<CreatableKind>& creatableKinds();
const CreatableKind* findCreatableKind(std::string_view cliName);

// The files "Begin" lists for kind from folder (nothing for a kind that gathers none).
SourceFileList gatherSources(const CreatableKind& kind, const fs::path& folder);
// The writer that builds kind, null for one that no writer builds. The texture WADs map their
// pictures onto the game palettes of palettes.
std::unique_ptr<ContainerWriter> createKindWriter(const CreatableKind& kind,
                                                  const GamePalettePaths& palettes);

} // namespace vexa
