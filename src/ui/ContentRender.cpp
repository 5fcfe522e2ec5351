#include "ui/ContentRender.h"

#include "app/convert.h"
#include "app/listing.h"
#include "base/errors.h"
#include "media/code_page.h"
#include "media/endoom.h"
#include "media/midi.h"
#include "media/wav.h"
#include "ui/MusicSynth.h"

#include <algorithm>
#include <functional>

namespace vexa::ui {

namespace {

// Thrown by the sink once the wanted picture is in hand: a texture list need not compose the rest.
struct EnoughPictures {};

// Keeps the names of an entry's pictures and the one wanted, painted as it comes.
class PreviewSink : public PictureSink {
  public:
    PreviewSink(std::string wanted, bool listNames,
                std::function<Palette(const DecodedPicture&, const std::optional<PaletteTable>&)> paint)
        : wanted_(std::move(wanted)), listNames_(listNames), paint_(std::move(paint)) {}

    void picture(DecodedPicture picture, const std::optional<PaletteTable>& own) override {
        const auto name = QString::fromStdString(picture.name);
        if (listNames_ && names.size() < static_cast<qsizetype>(kMaxListedPictures)) names << name;
        const bool isWanted = !wanted_.empty() && picture.name == wanted_;
        if (!shown || isWanted) {
            const auto palette = paint_(picture, own);
            shown = RenderedPicture{pictureImage(picture, palette.table), picture.offset, name,
                                    QString::fromStdString(palette.source)};
        }
        if (isWanted && !listNames_) throw EnoughPictures{};
    }
    void note(const std::string& text) override { notes << QString::fromStdString(text); }

    std::optional<RenderedPicture> shown;
    QStringList names, notes;

  private:
    std::string wanted_;
    bool listNames_;
    std::function<Palette(const DecodedPicture&, const std::optional<PaletteTable>&)> paint_;
};

} // namespace

bool rendersContent(const ContentKind& kind) {
    return kind.pictures || kind.content == Content::Text || kind.content == Content::Sound ||
           kind.content == Content::Music;
}

namespace {

QString lengthText(double seconds) {
    if (seconds < 60) return QStringLiteral("%1 s").arg(seconds, 0, 'f', 2);
    const auto whole = static_cast<long long>(seconds + 0.5);
    return QStringLiteral("%1:%2").arg(whole / 60).arg(whole % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

QImage pictureImage(const DecodedPicture& picture, const PaletteTable& table) {
    const auto width = static_cast<int>(picture.image.width), height = static_cast<int>(picture.image.height);
    QImage image(width, height, QImage::Format_ARGB32);
    if (image.isNull()) return image;
    const std::size_t pixels = std::size_t{picture.image.width} * picture.image.height;
    if (picture.trueColour()) {
        if (picture.rgba.size() < 4 * pixels) return {};
        for (int y = 0; y < height; ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            const auto* rgba =
                picture.rgba.data() + std::size_t{4} * static_cast<std::size_t>(y) * picture.image.width;
            for (int x = 0; x < width; ++x, rgba += 4)
                line[x] = qRgba(rgba[0], rgba[1], rgba[2], rgba[3]);
        }
        return image;
    }
    if (picture.image.indices.size() < pixels) return {};
    const bool seeThrough = picture.alpha.size() >= pixels;
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        const std::size_t row = static_cast<std::size_t>(y) * picture.image.width;
        for (int x = 0; x < width; ++x) {
            const auto at = row + static_cast<std::size_t>(x);
            const std::size_t entry = 4u * picture.image.indices[at];
            const int alpha = seeThrough && picture.alpha[at] == kSeeThrough ? 0 : 255;
            line[x] = qRgba(table[entry + 2], table[entry + 1], table[entry], alpha);
        }
    }
    return image;
}

ContentRendering renderContent(const ContainerReader& reader, std::size_t index, const ContentKind& kind,
                               ContainerType container, const PaletteChoice& choice,
                               const std::string& wanted, const GamePalettePaths& games,
                               const Palette& current, const SongSynthesis& songs) {
    if (const auto size = storedSize(reader, index); size && *size > kMaxContentBytes)
        throw Error(entryWhat(reader, index) + " is " + std::to_string(*size) +
                    " bytes, more than a preview decodes (" + std::to_string(kMaxContentBytes) + ")");
    auto entry = readEntryInput(reader, index);
    // The decoder's other entries are read through this reader, which outlives the call.
    ContentRendering out;

    if (!kind.pictures) {
        const auto bytes = std::span<const std::uint8_t>(entry.bytes);
        if (kind.content == Content::Sound) {
            out.kind = ContentRendering::Kind::Sound;
            out.sound = std::make_shared<const Sound>(kind.sound ? kind.sound(bytes, entry.input.what)
                                                                 : decodeWav(bytes, entry.input.what));
            const auto& sound = *out.sound;
            out.textForm =
                QStringLiteral("sound, %1, %2 Hz, %3-bit %4")
                    .arg(lengthText(durationSeconds(sound)))
                    .arg(sound.rate)
                    .arg(sound.bitsPerSample)
                    .arg(sound.channels == 1   ? QStringLiteral("mono")
                         : sound.channels == 2 ? QStringLiteral("stereo")
                                               : QStringLiteral("%1 channels").arg(sound.channels));
            return out;
        }
        if (kind.content == Content::Music) {
            out.kind = ContentRendering::Kind::Music;
            const auto midi = kind.music ? kind.music(bytes, entry.input.what) : entry.bytes;
            const auto info = readMidiInfo(midi, entry.input.what);
            QStringList instruments;
            for (const auto program : info.programs) {
                const auto name = generalMidiName(program);
                instruments << QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
            }
            if (info.usesDrums) instruments << QStringLiteral("drums");
            out.songSeconds = info.seconds;
            out.textForm =
                QStringLiteral("music, %1, %2 track(s)").arg(lengthText(info.seconds)).arg(info.trackCount);
            out.text = out.textForm + QStringLiteral("\nInstruments: ") +
                       (instruments.isEmpty() ? QStringLiteral("none chosen")
                                              : instruments.join(QStringLiteral(", ")));
            if (!songs.wanted) return out;
            if (!songs.soundFont) {
                out.unplayable = QStringLiteral("No sound font to play music with: install a General MIDI "
                                                "one (Debian's timgm6mb-soundfont)");
                return out;
            }
            try {
                const SynthesisLimits limits;
                auto song = synthesizeMidi(midi, *songs.soundFont, limits, songs.stop.get());
                out.sound = std::make_shared<const Sound>(std::move(song.sound));
                out.songSeconds = std::min(out.songSeconds, durationSeconds(*out.sound)); // when cut
                out.text += QStringLiteral("\nPlayed with the sound font ") +
                            QString::fromStdString(songs.soundFont->filename().string());
                if (song.cut)
                    out.text +=
                        QStringLiteral("; only its first %1 are played").arg(lengthText(limits.maxSeconds));
            } catch (const Cancelled&) {
                throw;
            } catch (const Error& e) {
                out.unplayable =
                    QStringLiteral("The synthesizer cannot play it: ") + QString::fromUtf8(e.what());
            }
            return out;
        }
        if (kind.text == endoomToText) {
            out.kind = ContentRendering::Kind::Endoom;
            if (bytes.size() < kEndoomSize) throw FormatError(entry.input.what + ": not an end screen");
            out.screen.assign(bytes.begin(), bytes.begin() + kEndoomSize);
            out.text = QString::fromStdString(endoomToText(bytes, entry.input.what));
            out.textForm = QStringLiteral("end screen, 80 x 25 in its colours (code page 437)");
            return out;
        }
        out.kind = ContentRendering::Kind::Text;
        if (kind.text) {
            out.text = QString::fromStdString(kind.text(bytes, entry.input.what));
            out.textForm = QString::fromLatin1(kind.name.data(), static_cast<qsizetype>(kind.name.size())) +
                           QStringLiteral(", decoded");
        } else {
            const auto page = likelyCodePage(bytes);
            out.text = QString::fromStdString(textToUtf8(bytes, page));
            out.textForm = page == CodePage::Cp437 ? QStringLiteral("text in code page 437")
                                                   : QStringLiteral("text in Latin-1");
        }
        return out;
    }

    ContentPalettes extraction(reader, container, games, current);
    const auto own = containerPalette(reader, container);
    out.hasContainerPalette = own.has_value();
    std::optional<Palette> chosen;
    if (choice.from == PaletteChoice::From::Container && own)
        chosen = Palette{own->table, "the palette of " + own->entry + " (the container's own)"};
    else if (choice.from == PaletteChoice::From::Game)
        chosen = loadGamePalette(choice.game, games);

    const auto paint = [&](const DecodedPicture& picture, const std::optional<PaletteTable>& colours) {
        // A picture that carries its colours (a PCX's, each palette of a PLAYPAL) keeps them unless
        // the user asked for others.
        if (!chosen) {
            if (picture.palette) return Palette{*picture.palette, "its own colours"};
            if (colours) return Palette{*colours, "the entry's own colours"};
            return extraction.forKind(kind);
        }
        return *chosen;
    };
    PreviewSink sink(wanted, wanted.empty(), paint);
    try {
        kind.pictures(entry.input, sink);
    } catch (const EnoughPictures&) {
    }
    if (!sink.shown) throw FormatError(entry.input.what + ": holds no picture");
    out.picture = std::move(sink.shown);
    out.pictureNames = std::move(sink.names);
    out.notes = std::move(sink.notes);
    return out;
}

} // namespace vexa::ui
