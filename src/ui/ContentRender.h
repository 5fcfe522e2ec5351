#pragma once
// What the preview shows of an entry the program can decode (its content kind): its pictures
// painted in a palette the user may choose, its text in the right code page, an ENDOOM screen as
// its cells, a sound and a song (rendered by the synthesizer) ready to play. Made on a worker thread
// from a share of the reader; every value is copied out.

#include "formats/content.h"
#include "images/decoded_picture.h"
#include "images/palette_files.h"
#include "media/sound.h"

#include <QImage>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vexa::ui {

// Which colours pictures are painted with: as extraction paints them (their own, else the
// container's, else their game's), the container's own palette, or one game's.
struct PaletteChoice {
    enum class From { Extraction, Container, Game };
    From from = From::Extraction;
    Game game = Game::Doom;
    bool operator==(const PaletteChoice&) const = default;
};

struct RenderedPicture {
    QImage image; // ARGB32: see-through pixels have alpha 0
    std::optional<PictureOffset> offset;
    QString name;    // within the entry ("BIGDOOR1"), empty for an entry of one picture
    QString palette; // where its colours come from, in words
};

struct ContentRendering {
    enum class Kind { Picture, Text, Endoom, Sound, Music };
    Kind kind = Kind::Picture;
    // Picture: the one shown, the names of all the entry's pictures (for a list to choose from, in
    // their order), and what decoding left out.
    std::optional<RenderedPicture> picture;
    QStringList pictureNames;
    QStringList notes;
    bool hasContainerPalette = false;
    // Text: the text; the words naming its code page or decoding.
    QString text;
    QString textForm;
    // Endoom: its 4,000 bytes.
    std::vector<std::uint8_t> screen;
    // Sound: its samples, and in textForm its length, rate and form. Music: in text, its length,
    // tracks and instruments; in sound, the song rendered, or in unplayable why it was not. The
    // samples are shared: a song rendered is up to 100 MiB, and the rendering is copied on its way.
    std::shared_ptr<const Sound> sound;
    QString unplayable;
    double songSeconds = 0; // to its last event
};

// How a song is made heard: whether to render it (not where nothing could play it), with which
// General MIDI sound font, and a flag that stops a rendering no longer wanted.
struct SongSynthesis {
    bool wanted = false;
    std::optional<std::filesystem::path> soundFont;
    std::shared_ptr<const std::atomic<bool>> stop;
};

// The most pictures named in the list of one entry: an ART file has at most a few thousand tiles.
constexpr std::size_t kMaxListedPictures = 65536;

// Renders entry index of reader, whose content kind is kind (one with a picture or text decoder)
// in a container of kind container. wanted: the picture to show by name (the first when empty or
// not found). current: the window's palette, for pictures of no game. Throws Error (FormatError)
// for an entry that does not decode, Cancelled when songs.stop turns true while a song renders.
ContentRendering renderContent(const ContainerReader& reader, std::size_t index, const ContentKind& kind,
                               ContainerType container, const PaletteChoice& choice,
                               const std::string& wanted, const GamePalettePaths& games,
                               const Palette& current, const SongSynthesis& songs = {});

// Whether renderContent shows entries of kind.
bool rendersContent(const ContentKind& kind);

// A decoded picture in colours: indices through table (blue, green, red, 0 per entry), see-through
// pixels transparent.
QImage pictureImage(const DecodedPicture& picture, const PaletteTable& table);

} // namespace vexa::ui
