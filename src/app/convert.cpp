#include "app/convert.h"

#include "base/errors.h"
#include "base/text.h"
#include "formats/output_names.h"
#include "images/picture_files.h"
#include "media/wav.h"

#include <algorithm>
#include <set>

namespace vexa {

ContentPalettes::ContentPalettes(const ContainerReader& reader, ContainerType container,
                                 GamePalettePaths games, Palette current)
    : reader_(reader), container_(container), games_(std::move(games)), current_(std::move(current)) {}

const Palette& ContentPalettes::forKind(const ContentKind& kind) {
    const auto& palette = chosenFor(kind);
    notePlaceholder(palette, placeholders_);
    return palette;
}

void notePlaceholder(const Palette& palette, std::vector<std::string>& notices) {
    if (!palette.placeholder) return;
    auto notice = placeholderNotice(palette);
    if (std::find(notices.begin(), notices.end(), notice) == notices.end())
        notices.push_back(std::move(notice));
}

const Palette& ContentPalettes::chosenFor(const ContentKind& kind) {
    if (!own_) {
        own_.emplace();
        if (const auto found = containerPalette(reader_, container_))
            own_->emplace(Palette{found->table, "the palette of " + found->entry + " in " +
                                                    displayPath(reader_.ArchivePath())});
    }
    if (*own_) return **own_;
    if (!kind.game) return current_;
    auto it = loaded_.find(*kind.game);
    if (it == loaded_.end()) it = loaded_.emplace(*kind.game, loadGamePalette(*kind.game, games_)).first;
    return it->second;
}

bool converts(const ContentKind& kind) {
    return kind.pictures || kind.sound || kind.music || kind.text;
}

namespace {

std::string_view pictureExtension(PictureFormat format) {
    return format == PictureFormat::Png ? ".png" : ".bmp";
}

std::string_view extensionOf(const ContentKind& kind, PictureFormat format) {
    if (kind.pictures) return pictureExtension(format);
    if (kind.sound) return ".wav";
    if (kind.music) return ".mid";
    return ".txt";
}

// The name without the extension of its last level.
std::string stemOf(const std::string& name) {
    const auto sep = name.find_last_of("\\/");
    const auto dot = name.rfind('.');
    if (dot == std::string::npos || (sep != std::string::npos && dot < sep) ||
        dot == (sep == std::string::npos ? 0 : sep + 1))
        return name;
    return name.substr(0, dot);
}

std::vector<std::uint8_t> bytesOf(const std::string& text) {
    return {text.begin(), text.end()};
}

// Writes each picture as it is decoded: one file, files with an ending after the entry's name (the
// pictures of a multiple BM), or the files of a folder named after the entry.
class PictureFiles : public PictureSink {
  public:
    PictureFiles(const ContentKind& kind, std::string name, PictureFormat format, ContentPalettes& palettes,
                 const std::function<void(ConvertedFile)>& write,
                 const std::function<void(std::string)>& note)
        : kind_(kind), name_(std::move(name)), format_(format), palettes_(palettes), write_(write),
          note_(note) {}

    void picture(DecodedPicture picture, const std::optional<PaletteTable>& own) override {
        const auto& colours = picture.palette ? *picture.palette
                              : own           ? *own
                                              : palettes_.forKind(kind_).table;
        if (!firstPalette_) firstPalette_ = colours;
        auto bytes = format_ == PictureFormat::Png ? encodePicturePng(picture, colours)
                                                   : encodePictureBmp(picture, colours);
        write_({nameOf(picture), std::move(bytes)});
    }
    void note(const std::string& text) override { note_(text); }

    const std::optional<PaletteTable>& firstPalette() const { return firstPalette_; }

  private:
    std::string nameOf(const DecodedPicture& picture) {
        const auto extension = std::string(pictureExtension(format_));
        if (kind_.output == ContentOutput::Folder) {
            // Names repeat in a texture list now and then: each file is written once.
            auto leaf = replaceUnsafeCharacters(picture.name.empty() ? "picture" : picture.name) + extension;
            auto upper = toUpperAscii(leaf);
            for (int n = 1; !taken_.insert(upper).second; ++n) {
                leaf = replaceUnsafeCharacters(picture.name) + "_" + std::to_string(n) + extension;
                upper = toUpperAscii(leaf);
            }
            return name_ + "\\" + leaf;
        }
        if (picture.name.empty()) return name_;
        return stemOf(name_) + replaceUnsafeCharacters(picture.name) + extension;
    }

    const ContentKind& kind_;
    std::string name_;
    PictureFormat format_;
    ContentPalettes& palettes_;
    const std::function<void(ConvertedFile)>& write_;
    const std::function<void(std::string)>& note_;
    std::set<std::string> taken_;
    std::optional<PaletteTable> firstPalette_;
};

} // namespace

std::string convertedName(const std::string& output, const ContentKind& kind, PictureFormat format) {
    const auto stem = stemOf(output);
    if (kind.output == ContentOutput::Folder) return stem;
    return stem + std::string(extensionOf(kind, format));
}

void convertEntry(const ContainerReader& reader, std::size_t index, const ContentKind& kind,
                  const std::string& name, PictureFormat format, ContentPalettes& palettes,
                  const std::function<void(ConvertedFile)>& write,
                  const std::function<void(std::string)>& note) {
    const auto entry = readEntryInput(reader, index);
    const auto& input = entry.input;
    if (kind.pictures) {
        // Decoded whole before anything is written, so an entry that does not decode writes nothing;
        // each picture is held only as its file's bytes (a texture list's 900 textures, a few MiB).
        std::vector<ConvertedFile> files;
        std::vector<std::string> notes;
        const std::function<void(ConvertedFile)> keep = [&](ConvertedFile file) {
            files.push_back(std::move(file));
        };
        const std::function<void(std::string)> keepNote = [&](std::string text) {
            notes.push_back(std::move(text));
        };
        PictureFiles sink(kind, name, format, palettes, keep, keepNote);
        kind.pictures(input, sink);
        for (auto& file : files)
            write(std::move(file));
        for (auto& text : notes)
            note(std::move(text));
        if (kind.palFile && sink.firstPalette())
            write({name + ".pal", encodePaletteFile(*sink.firstPalette())});
        return;
    }
    if (kind.sound) return write({name, encodeWav(kind.sound(input.bytes, input.what))});
    if (kind.music) return write({name, kind.music(input.bytes, input.what)});
    if (kind.text) return write({name, bytesOf(kind.text(input.bytes, input.what))});
    throw FormatError(input.what + ": " + std::string(kind.name) + " entries are written as they are");
}

} // namespace vexa
