#include "formats/Doom_Wad.h"

#include "base/byte_reader.h"
#include "base/errors.h"
#include "base/text.h"
#include "formats/Wad_common.h"
#include "formats/entry_checks.h"
#include "formats/output_names.h"

namespace vexa {

std::vector<EntryRow> TDoomWadReader::ParseDirectory(const ByteSource& archive) {
    auto table = wad::readDirectoryTable(archive, kRecordSize);
    std::vector<EntryRow> records;
    records.reserve(table.size());
    for (std::size_t i = 0; i < table.size(); ++i) {
        const auto& record = table[i];
        // All eight bytes when no zero ends the name (LINEDEFS, TEXTURE1), as every Doom tool shows it.
        auto name = latin1ToUtf8(record.fixedNameView(kNameOffset, kNameWidth, kNameWidth));
        const auto size = nonNegativeSize(archive, i, name, record.i32(4));
        // Marker lumps (S_START, E1M1, ...) are empty and their offset means nothing; tools leave
        // any value there, so it is not held against the file.
        const auto start = size == 0 ? 0 : nonNegativeOffset(archive, i, name, record.i32(0));
        records.push_back(recordRow(std::move(name), start, size));
    }

    SetOutputNames(flatOutputNames(records));
    return records;
}

const ContainerKind kDoomWadKind{
    .code = ContainerType::DoomWad,
    .name = "Doom WAD",
    .signatures = {"IWAD", "PWAD"},
    .createReader = readerOf<TDoomWadReader>,
    .namesIgnoreCase = true,
};

} // namespace vexa
