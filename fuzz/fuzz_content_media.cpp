// libFuzzer target for one decoder of sounds, music or text (FUZZ_MEDIA): any input is decoded or
// refused with a FormatError, never a crash, and what is decoded holds together: a sound's WAV reads
// back as the same sound, a converted song is a MIDI file the program reads to its end, text is UTF-8.

#include "base/errors.h"
#include "media/code_page.h"
#include "media/dmx.h"
#include "media/endoom.h"
#include "media/gmd.h"
#include "media/hmp.h"
#include "media/midi.h"
#include "media/mus.h"
#include "media/txb.h"
#include "media/voc.h"
#include "media/wav.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#ifndef FUZZ_MEDIA
#error "FUZZ_MEDIA names the decoder this target fuzzes"
#endif

namespace {

using namespace vexa;
using Bytes = std::span<const std::uint8_t>;

enum class Decoder { Dmx = 1, Voc, Wav, Mus, Midi, Hmp, Gmd, Endoom, Txb, Text };
constexpr auto kDecoder = static_cast<Decoder>(FUZZ_MEDIA);

[[noreturn]] void broken(const char* what) {
    std::fprintf(stderr, "broken: %s\n", what);
    std::abort();
}

void checkSound(const Sound& sound) {
    const std::size_t frame = std::size_t{sound.channels} * (sound.bitsPerSample / 8u);
    if (sound.rate == 0 || frame == 0 || sound.samples.size() % frame != 0)
        broken("a sound of no whole frames");
    const auto wav = encodeWav(sound);
    if (!isWav(wav)) broken("a written WAV that is no WAV");
    const auto back = decodeWav(wav, "written");
    if (back.rate != sound.rate || back.channels != sound.channels ||
        back.bitsPerSample != sound.bitsPerSample || back.samples != sound.samples)
        broken("a written WAV that reads back as another sound");
}

void checkMidi(const std::vector<std::uint8_t>& midi) {
    if (!isMidi(midi)) broken(("converted music that is no MIDI file: " + midiFault(midi)).c_str());
    try {
        (void)readMidiInfo(midi, "converted");
    } catch (const FormatError& e) {
        broken(e.what());
    }
}

void checkUtf8(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80    ? 1
                                   : lead >= 0xF0 ? 4
                                   : lead >= 0xE0 ? 3
                                   : lead >= 0xC2 ? 2
                                                  : 0;
        if (length == 0 || text.size() - i < length) broken("text that is no UTF-8");
        for (std::size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) broken("text that is no UTF-8");
        i += length;
    }
}

// Runs a decoder; a claim that said yes to what its decoder then refuses is a fault where the claim
// checks everything the decoder does (claimDecides).
template <class Decode> void decodeClaimed(bool claimed, bool claimDecides, Decode&& decode) {
    try {
        decode();
        if (!claimed) broken("decoded what the claim refused");
    } catch (const FormatError&) {
        if (claimed && claimDecides) broken("refused what the claim took");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Bytes bytes(data, size);
    const std::string what = "fuzz input";
    switch (kDecoder) {
    case Decoder::Dmx:
        decodeClaimed(isDmxSound(bytes), true, [&] { checkSound(decodeDmxSound(bytes, what)); });
        break;
    case Decoder::Voc:
        decodeClaimed(isVoc(bytes), false, [&] { checkSound(decodeVoc(bytes, what)); });
        break;
    case Decoder::Wav:
        decodeClaimed(isWav(bytes), false, [&] {
            (void)readWavInfo(bytes, what);
            checkSound(decodeWav(bytes, what));
        });
        break;
    case Decoder::Mus:
        decodeClaimed(isMus(bytes), false, [&] { checkMidi(musToMidi(bytes, what)); });
        break;
    case Decoder::Midi:
        decodeClaimed(isMidi(bytes), false, [&] { (void)readMidiInfo(bytes, what); });
        break;
    case Decoder::Hmp:
        decodeClaimed(isHmp(bytes), false, [&] { checkMidi(hmpToMidi(bytes, what)); });
        break;
    case Decoder::Gmd:
        // The MIDI inside is given as it is, like a MIDI entry: its chunks are checked, not its events.
        decodeClaimed(isGmd(bytes), false, [&] {
            const auto midi = gmdToMidi(bytes, what);
            if (!isMidi(midi)) broken(("a GMD's MIDI that is no MIDI file: " + midiFault(midi)).c_str());
        });
        break;
    case Decoder::Endoom: {
        // Every input is made a screen, so that the fuzzer works on the characters and colours.
        std::vector<std::uint8_t> screen(bytes.begin(), bytes.end());
        screen.resize(kEndoomSize, ' ');
        const auto text = endoomToText(screen, what);
        checkUtf8(text);
        if (std::count(text.begin(), text.end(), '\n') != int(kEndoomRows))
            broken("an end screen of other lines");
        for (std::size_t row = 0; row < kEndoomRows; ++row)
            for (std::size_t column = 0; column < kEndoomColumns; ++column)
                if (endoomCell(screen, row, column, what).background > 7) broken("a background past 7");
        decodeClaimed(isEndoom(bytes), true, [&] { (void)endoomToText(bytes, what); });
        break;
    }
    case Decoder::Txb: {
        const auto text = txbToText(bytes, what);
        checkUtf8(text);
        if (text.find('\0') != std::string::npos) broken("a briefing with a NUL");
        break;
    }
    case Decoder::Text:
        for (const auto page : {CodePage::Cp437, CodePage::Latin1})
            checkUtf8(textToUtf8(bytes, page));
        (void)looksLikeText(bytes);
        (void)likelyCodePage(bytes);
        break;
    }
    return 0;
}
