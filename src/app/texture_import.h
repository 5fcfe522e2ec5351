#pragma once
// Building game textures from pictures (PNG, BMP): the one entry the window and vexa-cli share.

#include "formats/container.h"
#include "formats/kind.h"
#include "formats/texture_wad.h"
#include "images/picture_import.h"
#include "images/water_fog.h"

#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace vexa {

// A single texture's header fields as given (a Quake 2 WAL's). Each one not given is kept from the
// file of the kind already where the texture goes, else takes its default: the name from the
// output's path below a folder named "textures" ("e1u1/brlava"), else its base name; the others
// empty or 0.
struct TextureFieldChoices {
    std::optional<std::string> name{}, next{}; // as typed (UTF-8)
    std::optional<std::uint32_t> flags{}, contents{}, value{};
};

class TextureWadImport;
// A texture WAD's textures, handed over in order (texture i for the i-th picture).
using TextureSource = std::function<MipTextureContents(std::size_t)>;

struct ImportOptions {
    GamePalettePaths palettes; // where a kind's game palette is loaded from
    bool dither = false;       // Floyd-Steinberg when mapping onto a palette
    bool fullbright = false;   // any picture may take Quake's fullbright colours, not only "..._fbr" ones
    TextureFieldChoices fields{};
    std::optional<WaterFog> fog{}; // for the water ("!") textures of a WAD3: their palette's entries 3 and 4
    // libimagequant's speed (1 to 10) when reducing to an own palette (WAD3)
    int speed = kDefaultReductionSpeed;
    // How a texture WAD's textures are made: on the thread that writes it where empty; else by threads
    // the caller starts, through the source this gives for the import (which outlives it).
    std::function<TextureSource(const TextureWadImport&)> making{};
};

// The name a texture of kind written to outPath takes where none is given and none is kept.
std::string defaultTextureName(const fs::path& outPath);

// Builds outPath of kind from pictures: one picture for the single kinds, one or more for WAD2 and
// WAD3 (each named after its file name without extension). Throws Error naming the file and the
// reason (a picture that cannot be read, a side not a multiple of 16, a name too long or given
// twice, a palette that does not load); then nothing is written and a previous outPath stays.
// Cancelled (through progress) the same way.
void importTextures(TextureKind kind, const fs::path& outPath, const std::vector<fs::path>& pictures,
                    const ImportOptions& options, ProgressSink* progress);

// A texture WAD (WAD2, WAD3) built from pictures in steps, so that a caller with threads of its own
// can make the textures on them. The constructor checks every picture's size and name and loads the
// palette, throwing as importTextures does. texture(i) makes picture i's texture: it may run on any
// thread, several at once. write stores the textures in order, taking texture i from textures(i),
// which may hand over what texture(i) made elsewhere; the bytes are the same however they were made.
class TextureWadImport {
  public:
    TextureWadImport(TextureKind kind, fs::path outPath, std::vector<fs::path> pictures,
                     ImportOptions options);
    std::size_t count() const { return pictures_.size(); }
    MipTextureContents texture(std::size_t i) const;
    void write(const TextureSource& textures, ProgressSink* progress) const;

  private:
    TextureKind kind_;
    fs::path outPath_;
    std::vector<fs::path> pictures_;
    ImportOptions options_;
    std::optional<Palette> palette_;
    std::vector<MipTextureLump> lumps_;
};

// One picture as a mip texture lump of a texture WAD (WAD2, WAD3), named name (its stored form,
// checked against the 15 bytes a lump name holds), for an edit that adds it to an open WAD.
std::vector<std::uint8_t> textureLumpFromPicture(TextureKind kind, const fs::path& picture,
                                                 const std::string& name, const ImportOptions& options);

// What picture would become as level 0 of a kind's texture, for a preview before writing: the
// indices and the palette they are painted with (the game palette, or the texture's own).
struct ImportPreview {
    IndexedImage image;
    PaletteTable palette{};
};
ImportPreview previewImport(TextureKind kind, const fs::path& picture, const ImportOptions& options);

// The New_C page's built-in WAD items: a ContainerWriter over importTextures for WAD2 or WAD3,
// taking the gathered files (PNG and BMP) of the source folder as the pictures.
std::unique_ptr<ContainerWriter> createTextureWadWriter(TextureKind kind, ImportOptions options);

// The files of a gathered list that import takes (".png", ".bmp", any letter case).
bool isImportablePicture(std::string_view name);

} // namespace vexa
