#include "formats/image_folder.h"

#include "base/file_io.h"
#include "base/text.h"
#include "images/DF_BM.h"
#include "images/JK_BM.h"
#include "images/JK_Mat.h"
#include "images/Q2_Wal.h"

#include <algorithm>
#include <utility>

namespace vexa {

std::vector<std::string> ListFolderFiles(const fs::path& folder, const std::string& mask) {
    // Each name is sorted by its upper-cased form, made once per name rather than once per comparison.
    std::vector<std::pair<std::string, std::string>> found; // upper-cased, as found
    std::error_code ec;
    fs::directory_iterator it(folder, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        std::error_code e2;
        if (!it->is_regular_file(e2)) continue;
        auto name = it->path().filename().string();
        if (name.empty() || name.front() == '.') continue;
        if (matchesMask(name, mask)) found.emplace_back(toUpperAscii(name), std::move(name));
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> names;
    names.reserve(found.size());
    for (auto& f : found)
        names.push_back(std::move(f.second));
    return names;
}

void ImageFolderListing::ReadDirectory(std::shared_ptr<const ByteSource> source) {
    const auto path = source->path();
    SetArchive(path, nullptr);
    folder_ = path.parent_path();
    if (folder_.empty()) folder_ = ".";
    std::vector<EntryRow> rows;
    for (auto& name : ListFolderFiles(folder_, mask_)) {
        rows.emplace_back();
        rows.back().name = std::move(name);
    }
    SetRows(std::move(rows));
}

std::shared_ptr<const ByteSource> ImageFolderListing::entrySource(std::size_t index) const {
    return openFileBytes(FilePath(index));
}

Pictures ImageFolderListing::DecodePictures(std::size_t index) const {
    return decoder_->Decode(*entrySource(index));
}

const ContainerKind kDFBmKind{
    .code = ContainerType::DFBm,
    .name = "Dark Forces BM",
    .signatures = {"BM \x1E"},
    .createDecoder = decoderOf<TDFBMReader>,
    .imageMask = "*.bm",
    .palette = Game::DarkForcesBm,
};

const ContainerKind kQ2WalKind{
    .code = ContainerType::Q2Wal,
    .name = "Quake 2 WAL",
    .extension = ".WAL",
    .createDecoder = decoderOf<TQ2WalReader>,
    .imageMask = "*.wal",
    .palette = Game::Quake2Wal,
};

const ContainerKind kJKMatKind{
    .code = ContainerType::JKMat,
    .name = "Jedi Knight MAT",
    .signatures = {"MAT "},
    .createDecoder = decoderOf<TJKMatReader>,
    .imageMask = "*.mat",
    .palette = Game::JediKnightMat,
};

const ContainerKind kJKBmKind{
    .code = ContainerType::JKBm,
    .name = "Jedi Knight BM",
    .signatures = {"BM  "},
    .createDecoder = decoderOf<TJKBmReader>,
    .imageMask = "*bm",
};

} // namespace vexa
