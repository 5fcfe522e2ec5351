#include "formats/I82_ZFS.h"

#include "base/byte_reader.h"
#include "base/errors.h"
#include "base/text.h"
#include "formats/entry_checks.h"
#include "formats/output_names.h"

#include <algorithm>
#include <unordered_set>

namespace vexa {

std::vector<EntryRow> I82ZFSReader::ParseDirectory(const ByteSource& archive) {
    const auto file = displayPath(archive.path());
    const auto headerBytes = archive.readBlock(0, kHeaderSize, "the ZFS header");
    const ByteReader header(headerBytes, file);
    const auto perBlock = header.i32(kPerBlockOffset);
    const auto total = header.i32(kCountOffset);
    // Every record takes 36 bytes of its own, so the count is bounded by the file before anything
    // is allocated for it.
    checkRecordsFit(archive, total, kFirstBlock, kRecordSize, "directory");
    if (total > 0 && perBlock <= 0)
        throw FormatError(file + ": the number of records per directory block " + std::to_string(perBlock) +
                          " is not positive");

    const auto wanted = static_cast<std::uint64_t>(total);
    std::vector<EntryRow> records;
    records.reserve(static_cast<std::size_t>(wanted));
    std::unordered_set<std::uint64_t> visited;
    std::uint64_t block = kFirstBlock;
    while (records.size() < wanted) {
        if (!visited.insert(block).second)
            throw FormatError(file + ": the directory block chain leads back to the block at offset " +
                              std::to_string(block) + " after " + std::to_string(records.size()) + " of " +
                              std::to_string(wanted) + " entries");
        const auto blockText = "the directory block at offset " + std::to_string(block);
        const auto nextBytes = archive.readBlock(block, kNextSize, blockText);
        const auto next = nonNegative(archive, ByteReader(nextBytes, file).i32(0),
                                      blockText + ": the next block's position");
        // A full block in the chain, or the rest of the entries in the last one.
        const auto left = wanted - records.size();
        const auto take =
            next != 0 ? std::min<std::uint64_t>(left, static_cast<std::uint64_t>(perBlock)) : left;
        const auto table = archive.readBlock(block + kNextSize, take * kRecordSize, blockText);
        const ByteReader dir(table, file);
        for (std::size_t r = 0; r < static_cast<std::size_t>(take); ++r) {
            const auto at = r * kRecordSize;
            records.push_back(signedRecord(archive, records.size(),
                                           latin1ToUtf8(dir.fixedNameView(at, kNameWidth, kMaxNameLength)),
                                           dir.i32(at + kDataOffset), dir.i32(at + kSizeOffset)));
        }
        if (next == 0) break;
        block = next;
    }

    SetOutputNames(flatOutputNames(records));
    return records;
}

const ContainerKind kI82ZfsKind{
    .code = ContainerType::I82Zfs,
    .name = "I82 ZFS",
    .signatures = {"ZFS3"},
    .createReader = readerOf<I82ZFSReader>,
};

} // namespace vexa
