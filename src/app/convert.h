#pragma once
// Entries written as what they hold: pictures as PNG or BMP, sounds as WAV, music as MIDI, the text
// kinds as UTF-8 text, each in the colours and form its game gives it.

#include "formats/content.h"
#include "images/palette_files.h"
#include "images/picture.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vexa {

// The palette a picture of a container is painted with, and the words saying which it is: the
// picture's own, else the container's (PLAYPAL, gfx\palette.lmp ...), else its game's, else the
// current one. Looked up once per container and game.
class ContentPalettes {
  public:
    ContentPalettes(const ContainerReader& reader, ContainerType container, GamePalettePaths games,
                    Palette current);

    // The palette for pictures of kind that carry no colours of their own.
    const Palette& forKind(const ContentKind& kind);
    // What to tell of the placeholder palettes forKind gave, each once.
    const std::vector<std::string>& placeholderNotices() const { return placeholders_; }

  private:
    const Palette& chosenFor(const ContentKind& kind);

    const ContainerReader& reader_;
    ContainerType container_;
    GamePalettePaths games_;
    Palette current_;
    std::optional<std::optional<Palette>> own_; // looked for once
    std::map<Game, Palette> loaded_;
    std::vector<std::string> placeholders_;
};

// Adds placeholderNotice(palette) to notices when palette is a placeholder and it is not there yet.
void notePlaceholder(const Palette& palette, std::vector<std::string>& notices);

// What converting an entry writes: the names below the target (a file, or the files of a folder named
// after the entry), each with its bytes, made one at a time.
struct ConvertedFile {
    std::string name; // "\" between levels, below the target
    std::vector<std::uint8_t> bytes;
};

// Whether kind's entries are written converted (WAV, MIDI and plain text are written as they are).
bool converts(const ContentKind& kind);

// The name entry output (the name it is extracted under) takes converted: its extension replaced by
// the output's (".png", ".wav", ".mid", ".txt"), or added where it has none; for a kind that writes a
// folder, the name without its extension.
std::string convertedName(const std::string& output, const ContentKind& kind, PictureFormat format);

// Converts entry index of kind, whose converted name is name, giving each file to write (and, where
// a picture of the entry was left out, a note). Throws FormatError when the entry does not decode:
// nothing is given then.
void convertEntry(const ContainerReader& reader, std::size_t index, const ContentKind& kind,
                  const std::string& name, PictureFormat format, ContentPalettes& palettes,
                  const std::function<void(ConvertedFile)>& write,
                  const std::function<void(std::string)>& note);

} // namespace vexa
