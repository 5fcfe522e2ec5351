#pragma once
// Image kinds are opened as a folder: every image file of the kind beside the opened one is a row,
// and a row's pictures are that file's.

#include "formats/container.h"
#include "formats/kind.h"

#include <memory>
#include <string>
#include <vector>

namespace vexa {

// The names of the plain files of folder that match mask (without regard to letter case), sorted
// by name without regard to case. Folders and hidden (dot) files are left out.
std::vector<std::string> ListFolderFiles(const fs::path& folder, const std::string& mask);

class ImageFolderListing : public ContainerReader {
  public:
    ImageFolderListing(std::string mask, std::unique_ptr<ImageDecoder> decoder)
        : mask_(std::move(mask)), decoder_(std::move(decoder)) {}

    // Lists the folder of the file source is (the opened image) with the kind's mask; rows have no size.
    void ReadDirectory(std::shared_ptr<const ByteSource> source) override;
    // The image file of row index.
    std::shared_ptr<const ByteSource> entrySource(std::size_t index) const override;
    bool HasPictures() const override { return true; }
    // The pictures of the image file of row index.
    Pictures DecodePictures(std::size_t index) const override;
    const fs::path* ListedFolder() const override { return &folder_; }

    fs::path FilePath(std::size_t index) const { return folder_ / EntryName(index); }

  private:
    std::string mask_;
    std::unique_ptr<ImageDecoder> decoder_;
    fs::path folder_;
};

// The image kinds: a file of one opens the listing of its folder's files of that kind.
extern const ContainerKind kDFBmKind;
extern const ContainerKind kQ2WalKind;
extern const ContainerKind kJKMatKind;
extern const ContainerKind kJKBmKind;

} // namespace vexa
