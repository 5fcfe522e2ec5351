#pragma once
// The one table of kinds: everything that depends on the kind of a file is a column here.
// Adding a kind is one format module plus one row.

#include "app/Global.h"
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
enum class Gathering { Flat, Tree, None };
struct CreatableKind {
    std::string_view caption;     // the item's caption on the page
    std::string_view defaultName; // proposed in the Temp folder
    std::string_view cliName;     // `vexa-cli create KIND`
    Gathering gathering;
    ContainerType code;
    std::unique_ptr<EntryLayoutWriter> (*createWriter)() = nullptr; // null: not built by a writer class
};

const std::vector<CreatableKind>& creatableKinds();
const CreatableKind* findCreatableKind(std::string_view cliName);

} // namespace vexa
