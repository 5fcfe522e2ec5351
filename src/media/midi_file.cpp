#include "media/midi_file.h"

namespace vexa {

namespace {

void putBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

} // namespace

MidiFileWriter::MidiFileWriter(std::uint16_t format, std::uint16_t trackCount, std::uint16_t division,
                               std::size_t expectedBytes) {
    bytes_.reserve(kMidiHeaderSize + expectedBytes);
    for (const char c : std::string_view("MThd"))
        bytes_.push_back(static_cast<std::uint8_t>(c));
    putBigEndian(bytes_, kMidiHeaderSize - kMidiChunkHeaderSize, 4);
    putBigEndian(bytes_, format, 2);
    putBigEndian(bytes_, trackCount, 2);
    putBigEndian(bytes_, division, 2);
}

void MidiFileWriter::beginTrack() {
    trackStart_ = bytes_.size();
    for (const char c : std::string_view("MTrk"))
        bytes_.push_back(static_cast<std::uint8_t>(c));
    putBigEndian(bytes_, 0, 4);
    pending_ = 0;
}

bool MidiFileWriter::wait(std::uint64_t ticks) {
    if (ticks > kMaxMidiDelta || pending_ + ticks > kMaxMidiDelta) return false;
    pending_ += ticks;
    return true;
}

void MidiFileWriter::event(std::initializer_list<std::uint8_t> bytes) {
    delta();
    bytes_.insert(bytes_.end(), bytes);
}

void MidiFileWriter::eventWithData(std::initializer_list<std::uint8_t> lead,
                                   std::span<const std::uint8_t> data) {
    delta();
    bytes_.insert(bytes_.end(), lead);
    quantity(static_cast<std::uint32_t>(data.size()));
    bytes_.insert(bytes_.end(), data.begin(), data.end());
}

void MidiFileWriter::endTrack() {
    event({kMetaEvent, kMetaEndOfTrack, 0});
    const auto length = static_cast<std::uint32_t>(bytes_.size() - trackStart_ - kMidiChunkHeaderSize);
    for (int i = 0; i < 4; ++i)
        bytes_[trackStart_ + 4 + i] = static_cast<std::uint8_t>(length >> (8 * (3 - i)));
}

void MidiFileWriter::delta() {
    quantity(static_cast<std::uint32_t>(pending_));
    pending_ = 0;
}

// Seven bits a byte, most significant first, bit 7 set on all but the last.
void MidiFileWriter::quantity(std::uint32_t value) {
    int groups = 1;
    while (groups < 5 && (value >> (7 * groups)) != 0)
        ++groups;
    for (int i = groups - 1; i > 0; --i)
        bytes_.push_back(static_cast<std::uint8_t>(0x80 | ((value >> (7 * i)) & 0x7F)));
    bytes_.push_back(static_cast<std::uint8_t>(value & 0x7F));
}

} // namespace vexa
