#pragma once
// Image kinds are opened as a folder: every image file of the kind beside the opened one is a row,
// and extracting a row converts that file.

#include "core/container.h"

#include <memory>
#include <string>
#include <vector>

namespace vexa {

// The names of the plain files of folder that match mask (without regard to letter case), sorted
// by name without regard to case. Folders and hidden (dot) files are left out.
std::vector<std::string> ListFolderFiles(const fs::path& folder, const std::string& mask);

class ImageFolderListing : public ContainerReader {
public:
    ImageFolderListing(std::string mask, std::unique_ptr<ImageConverter> converter)
        : mask_(std::move(mask)), converter_(std::move(converter)) {}

    // Lists the folder of path (the opened image) with the kind's mask.
    void ReadDirectory(const fs::path& path) override;
    const std::vector<std::string>& EntryNames() const override { return names_; }
    const fs::path& ArchivePath() const override { return path_; }
    std::optional<std::uint64_t> EntrySize(std::size_t) const override { return std::nullopt; }
    // The folder alone, no count.
    std::string StatusLine() const override;
    void ExtractEntry(const OutputPath& outputPath, std::size_t index) override;
    std::optional<std::uint64_t> StoredSize(std::size_t index) const override;
    bool ConvertsToPictures() const override { return true; }
    std::vector<std::uint8_t> ReadEntryHead(std::size_t index, std::size_t maxBytes) override;

    const fs::path& Folder() const { return folder_; }
    ImageConverter& Converter() { return *converter_; }

private:
    std::string mask_;
    std::unique_ptr<ImageConverter> converter_;
    fs::path path_, folder_;
    std::vector<std::string> names_;
};

} // namespace vexa
