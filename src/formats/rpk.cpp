#include "formats/rpk.h"

#include "base/byte_reader.h"
#include "base/errors.h"
#include "base/sequential_reader.h"
#include "base/text.h"
#include "formats/entry_checks.h"

namespace vexa {

namespace {

// The string places and the folder paths kept under string indices 0 ... count + 100.
class StringTables {
  public:
    StringTables(std::string file, std::int64_t count)
        : file_(std::move(file)),
          strings_(static_cast<std::size_t>(count + TRpkReader::kSpareStrings), TRpkReader::kUnfilled),
          folderPaths_(strings_.size()) {}

    std::size_t at(std::int64_t index, const std::string& where) const {
        if (index < 0 || static_cast<std::uint64_t>(index) >= strings_.size())
            throw FormatError(file_ + ": " + where + ": List index out of bounds (" + std::to_string(index) +
                              ")");
        return static_cast<std::size_t>(index);
    }
    std::string& string(std::size_t i) { return strings_[i]; }
    // Empty while no folder record gave the index a path (a path always ends in "\").
    std::string& folderPath(std::size_t i) { return folderPaths_[i]; }

    // Refuses a path or name that no file system takes, and a listing that would grow past its cap.
    void account(const std::string& text, const std::string& where) {
        if (text.size() > TRpkReader::kMaxPathLength)
            throw FormatError(file_ + ": " + where + ": the path is " + std::to_string(text.size()) +
                              " bytes long, more than " + std::to_string(TRpkReader::kMaxPathLength));
        total_ += text.size();
        if (total_ > TRpkReader::kMaxListingBytes)
            throw FormatError(file_ + ": the folder and file names add up to more than " +
                              std::to_string(TRpkReader::kMaxListingBytes) + " bytes");
    }

  private:
    std::string file_;
    std::vector<std::string> strings_;
    std::vector<std::string> folderPaths_;
    std::uint64_t total_ = 0;
};

std::int64_t count32(const ByteSource& archive, std::int32_t count, std::uint64_t at,
                     std::uint64_t recordSize, const std::string& what) {
    checkRecordsFit(archive, count, at, recordSize, what);
    return count;
}

} // namespace

std::vector<EntryRow> TRpkReader::ParseDirectory(const ByteSource& archive) {
    const auto file = displayPath(archive.path());
    SequentialReader in(archive, 0);

    const auto skip =
        nonNegative(archive, ByteReader(in.read(kHeaderSize, "the RPK header"), file).i32(kSkipOffset),
                    "the header's skip count");
    in.skip(skip, "the bytes the header skips");

    // String records are 8 bytes at least, which bounds the count by the file.
    const auto stringCount = count32(
        archive,
        ByteReader(in.read(kStringTableHeaderSize, "the string table header"), file).i32(kStringCountOffset),
        in.position(), kStringHeaderSize, "string");
    StringTables tables(file, stringCount);
    for (std::int64_t i = 0; i < stringCount; ++i) {
        const auto where = "string record " + std::to_string(i);
        const ByteReader head(in.read(kStringHeaderSize, "the " + where), file);
        const auto index = head.i32(0);
        const auto length = nonNegative(archive, head.i32(4), where + ": the length");
        const auto text = in.read(length, "the text of " + where);
        tables.string(tables.at(index, where)) =
            latin1ToUtf8(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
    }

    // The first folder record gives the count; it takes part in nothing else.
    const auto folderCount = count32(
        archive,
        ByteReader(in.read(kFolderRecordSize, "the first folder record"), file).i32(kFolderCountOffset),
        in.position(), kFolderRecordSize, "folder");
    {
        const ByteReader folders(
            in.read(static_cast<std::uint64_t>(folderCount) * kFolderRecordSize, "the folder table"), file);
        for (std::int64_t k = 0; k < folderCount; ++k) {
            const auto where = "folder record " + std::to_string(k + 1);
            const auto at = static_cast<std::size_t>(k) * kFolderRecordSize;
            const auto nameIndex = folders.i32(at + kFolderNameOffset);
            const auto parentIndex = folders.i32(at + kFolderParentOffset);
            // A folder finds its parent's path only when the parent's record came earlier.
            std::string path;
            if (parentIndex != nameIndex) path = tables.folderPath(tables.at(parentIndex, where));
            const auto n = tables.at(nameIndex, where);
            path += tables.string(n) + "\\";
            tables.account(path, where);
            tables.folderPath(n) = std::move(path);
        }
    }

    const auto fileCount =
        count32(archive, ByteReader(in.read(kFileCountSize, "the file count"), file).i32(0), in.position(),
                kFileRecordSize, "file");
    const ByteReader files(in.read(static_cast<std::uint64_t>(fileCount) * kFileRecordSize, "the file table"),
                           file);
    std::vector<EntryRow> records;
    records.reserve(static_cast<std::size_t>(fileCount));
    for (std::int64_t i = 0; i < fileCount; ++i) {
        const auto where = "file record " + std::to_string(i);
        const auto at = static_cast<std::size_t>(i) * kFileRecordSize;
        const auto f = tables.at(files.i32(at + kFileFolderOffset), where);
        const auto n = tables.at(files.i32(at + kFileNameOffset), where);
        auto name = tables.folderPath(f) + tables.string(n);
        tables.account(name, where);
        records.push_back(signedRecord(archive, static_cast<std::size_t>(i), std::move(name),
                                       files.i32(at + kFileDataOffset), files.i32(at + kFileSizeOffset)));
    }
    return records;
}

const ContainerKind kRpkKind{
    .code = ContainerType::Rpk,
    .name = "RPK",
    .signatures = {"Roni"},
    .createReader = readerOf<TRpkReader>,
};

} // namespace vexa
