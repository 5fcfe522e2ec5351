#pragma once
// Opening a file as the kind it is, and what the application adds to the kinds of the registry
// (formats/kind.h): the game palette a kind makes current, and how a new container is gathered and
// written.

#include "app/texture_import.h"
#include "base/Files_global.h"
#include "formats/kind.h"
#include "images/picture.h"

#include <memory>
#include <string_view>

namespace vexa {

// A container as opened: its kind and the reader over its directory.
struct OpenedContainer {
    const ContainerKind* kind;
    std::shared_ptr<const ContainerReader> reader;
};

// The kind the bytes claim (their first bytes, or the extension of name).
ContainerType detectKind(const ByteSource& bytes, std::string_view name);
// Reads the directory of source as a container of kind: the one way a file, an entry of another
// container or bytes in memory are opened. Throws "Sorry do not know that file type" for a kind
// that opens none, Error for a directory that cannot be read.
std::shared_ptr<const ContainerReader> readContainer(ContainerType kind,
                                                     std::shared_ptr<const ByteSource> source);
// The kind of the file at path (Error when it cannot be read).
ContainerType detectKind(const fs::path& path);
// Both: the kind source claims (named name), then its directory.
OpenedContainer openContainer(std::shared_ptr<const ByteSource> source, std::string_view name);
// The same for the file at path (a FIFO or device refused at once, naming it).
OpenedContainer openContainer(const fs::path& path);

// Opening a file of the kind makes its game's palette the current one, where it has one: current
// becomes that palette, or black (and this throws) when it cannot be loaded.
void loadKindPalette(ContainerType code, const GamePalettePaths& paths, Palette& current);

// The files "Begin" lists for kind from folder (nothing for a kind that gathers none).
SourceFileList gatherSources(const CreatableKind& kind, const fs::path& folder);
// The writer that builds kind, null for one that no writer builds. The texture WADs are imported
// with textures (the game palettes their pictures are mapped onto, and how they are made).
std::unique_ptr<ContainerWriter> createKindWriter(const CreatableKind& kind, ImportOptions textures);

} // namespace vexa
