#include "core/image_folder.h"

#include "core/text.h"
#include "core/file_io.h"

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

void ImageFolderListing::ReadDirectory(const fs::path& path) {
    path_ = path;
    folder_ = path.parent_path();
    if (folder_.empty()) folder_ = ".";
    names_ = ListFolderFiles(folder_, mask_);
}

std::string ImageFolderListing::StatusLine() const {
    auto text = pathText(folder_);
    if (text.empty() || text.back() != '/') text += '/';
    return text;
}

std::optional<std::uint64_t> ImageFolderListing::StoredSize(std::size_t index) const {
    std::error_code ec;
    const auto size = fs::file_size(folder_ / names_.at(index), ec);
    if (ec) return std::nullopt;
    return size;
}

std::vector<std::uint8_t> ImageFolderListing::ReadEntryHead(std::size_t index, std::size_t maxBytes) {
    const InputFile file(folder_ / names_.at(index));
    return file.readBlock(0, std::min<std::uint64_t>(file.size(), maxBytes), "the file");
}

void ImageFolderListing::ExtractEntry(const OutputPath& outputPath, std::size_t index) {
    converter_->ConvertToBitmap(outputPath, folder_ / names_.at(index));
}

} // namespace vexa
