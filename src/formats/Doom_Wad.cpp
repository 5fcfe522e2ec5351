#include "formats/Doom_Wad.h"

#include "base/byte_reader.h"
#include "base/errors.h"
#include "base/text.h"
#include "formats/Wad_common.h"
#include "formats/entry_checks.h"
#include "formats/output_names.h"

namespace vexa {

std::vector<EntryRecord> TDoomWadReader::ParseDirectory(const InputFile& archive) {
    const auto table = wad::readDirectoryTable(archive, kRecordSize);
    const ByteReader dir(table.bytes, displayPath(archive.path()));
    std::vector<EntryRecord> records;
    records.reserve(table.count);
    for (std::size_t i = 0; i < table.count; ++i) {
        const auto at = i * kRecordSize;
        // All eight bytes when no zero ends the name (LINEDEFS, TEXTURE1), as every Doom tool shows it.
        auto name = latin1ToUtf8(dir.fixedNameView(at + kNameOffset, kNameWidth, kNameWidth));
        const auto entry = entryLabel(i, name);
        const auto size = nonNegative(archive, dir.i32(at + 4), entry + ": size");
        // Marker lumps (S_START, E1M1, ...) are empty and their offset means nothing; tools leave
        // any value there, so it is not held against the file.
        const auto start = size == 0 ? 0 : nonNegative(archive, dir.i32(at), entry + ": offset");
        records.push_back({std::move(name), start, size});
    }

    SetOutputNames(flatOutputNames(records));
    return records;
}

} // namespace vexa
