#pragma once
// Image kinds are opened as a folder: every image file of the kind beside the opened one is a row,
// and a row's pictures are that file's.

#include "formats/container.h"

#include <memory>
#include <string>
#include <vector>

namespace vexa {

// The names of the plain files of folder that match mask (without regard to letter case), sorted
// by name without regard to case. Folders and hidden (dot) files are left out.
std::vector<std::string> ListFolderFiles(const fs::path& folder, const std::string& mask);

class ImageFolderListing : public ContainerReader, public PictureSource {
  public:
    ImageFolderListing(std::string mask, std::unique_ptr<ImageDecoder> decoder)
        : mask_(std::move(mask)), decoder_(std::move(decoder)) {}

    // Lists the folder of path (the opened image) with the kind's mask; rows have no size.
    void ReadDirectory(const fs::path& path) override;
    // The pictures of the image file of row index.
    Pictures DecodePictures(std::size_t index) const override;

    const fs::path& Folder() const { return folder_; }
    fs::path FilePath(std::size_t index) const { return folder_ / EntryName(index); }

  private:
    std::string mask_;
    std::unique_ptr<ImageDecoder> decoder_;
    fs::path folder_;
};

} // namespace vexa
