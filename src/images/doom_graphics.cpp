#include "images/doom_graphics.h"

#include "base/byte_reader.h"
#include "base/errors.h"
#include "base/text.h"

#include <algorithm>

namespace vexa {

namespace {

// ---- Picture layout: a header, a table of column offsets, then the columns' posts.
constexpr std::size_t kPictureHeaderSize = 8;
constexpr std::size_t kWidthAt = 0, kHeightAt = 2, kLeftAt = 4, kTopAt = 6;
constexpr std::size_t kColumnOffsetSize = 4;
// A post: top delta, length, an unused byte, the pixels, an unused byte. 0xFF ends a column.
constexpr std::uint8_t kColumnEnd = 0xFF;
constexpr std::size_t kPostHeaderSize = 3;
constexpr std::size_t kPostTrailerSize = 1;

constexpr std::size_t kFlatSide = 64;
constexpr std::size_t kPlaypalSize = 3 * kPaletteEntries;
constexpr std::size_t kColormapSize = kPaletteEntries;

// ---- PNAMES: a count, then names of 8 bytes.
constexpr std::size_t kNameSize = 8;
constexpr std::size_t kCountSize = 4;

// ---- TEXTURE1/2: a count, an offset per texture, the textures. Both layouts start with the name,
// a word Doom calls "masked", the width and the height.
constexpr std::size_t kTextureWidthAt = 12, kTextureHeightAt = 14;

struct TextureLayout {
    const char* name;
    std::size_t headerSize; // up to the first patch
    std::size_t patchCountAt;
    std::size_t patchSize; // x, y, PNAMES index (Doom adds two words nobody reads)
};
constexpr TextureLayout kDoomLayout{"Doom", 22, 20, 10};
constexpr TextureLayout kStrifeLayout{"Strife", 18, 16, 6};
// Doom's obsolete column directory, whose upper half no Doom tool writes: Strife's first patch
// lies there.
constexpr std::size_t kColumnDirectoryHighAt = 18;

std::int32_t i16(const ByteReader& reader, std::size_t at) {
    return static_cast<std::int16_t>(reader.u16(at));
}

std::string lumpEnd(std::size_t size) {
    return "the end of the lump (" + std::to_string(size) + " bytes)";
}

// ---- Pictures ------------------------------------------------------------------------------------

struct PictureHeader {
    std::int32_t width = 0, height = 0, left = 0, top = 0;
};

// The header and the column table; empty when both are sound.
std::string headerFault(std::span<const std::uint8_t> lump, PictureHeader& header) {
    if (lump.size() < kPictureHeaderSize)
        return "a Doom picture starts with " + std::to_string(kPictureHeaderSize) +
               " bytes of header, the lump has " + std::to_string(lump.size());
    const ByteReader fields(lump, {});
    header = {i16(fields, kWidthAt), i16(fields, kHeightAt), i16(fields, kLeftAt), i16(fields, kTopAt)};
    if (auto fault = pictureSizeFault(header.width, header.height); !fault.empty()) return fault;
    const std::uint64_t tableEnd = kPictureHeaderSize + std::uint64_t{kColumnOffsetSize} * header.width;
    if (tableEnd > lump.size())
        return "the offsets of its " + std::to_string(header.width) + " columns run past " +
               lumpEnd(lump.size());
    for (std::int32_t column = 0; column < header.width; ++column) {
        const std::uint64_t offset = fields.u32(kPictureHeaderSize + kColumnOffsetSize * column);
        if (offset >= lump.size())
            return "column " + std::to_string(column) + " offset " + std::to_string(offset) + " runs past " +
                   lumpEnd(lump.size());
        if (offset < tableEnd)
            return "column " + std::to_string(column) + " offset " + std::to_string(offset) +
                   " points into the header and column table (its first " + std::to_string(tableEnd) +
                   " bytes)";
    }
    return {};
}

// Walks the posts of one column, handing each to onPost(top row, pixels); empty when every post
// lies inside the lump and the height, each below the one before it (so a column has at most
// height + 1 posts, and no lump can make the walk long).
template <class OnPost>
std::string walkColumn(std::span<const std::uint8_t> lump, std::int32_t column, std::uint64_t offset,
                       std::int64_t height, OnPost&& onPost) {
    const auto where = [&](std::size_t post) {
        return "column " + std::to_string(column) + " post " + std::to_string(post);
    };
    std::int64_t top = -1, end = 0; // rows of the previous post
    std::uint64_t at = offset;
    for (std::size_t post = 0;; ++post) {
        if (at >= lump.size())
            return where(post) + " at offset " + std::to_string(at) + " runs past " + lumpEnd(lump.size());
        const std::uint8_t delta = lump[at];
        if (delta == kColumnEnd) return {};
        if (lump.size() - at < kPostHeaderSize)
            return where(post) + " header at offset " + std::to_string(at) + " runs past " +
                   lumpEnd(lump.size());
        const std::uint8_t length = lump[at + 1];
        // DeePsea's tall patches: a delta not below the previous top counts from it.
        const std::int64_t postTop = delta <= top ? top + delta : delta;
        if (post > 0 && (postTop <= top || postTop < end))
            return where(post) + " starts at row " + std::to_string(postTop) +
                   ", not below the post before it (rows " + std::to_string(top) + " to " +
                   std::to_string(end - 1) + ")";
        if (postTop + length > height)
            return where(post) + " (rows " + std::to_string(postTop) + " to " +
                   std::to_string(postTop + length - 1) + ") runs past the picture's height of " +
                   std::to_string(height);
        if (lump.size() - at - kPostHeaderSize < std::uint64_t{length} + kPostTrailerSize)
            return where(post) + " of " + std::to_string(length) + " pixels at offset " + std::to_string(at) +
                   " runs past " + lumpEnd(lump.size());
        onPost(postTop, lump.subspan(static_cast<std::size_t>(at) + kPostHeaderSize, length));
        top = postTop;
        end = postTop + length;
        at += kPostHeaderSize + length + kPostTrailerSize;
    }
}

// Walks every column; consecutive columns of one offset (a shared column) are walked once.
template <class OnPost>
std::string walkColumns(std::span<const std::uint8_t> lump, const PictureHeader& header, OnPost&& onPost) {
    const ByteReader fields(lump, {});
    std::uint64_t previous = 0;
    for (std::int32_t column = 0; column < header.width; ++column) {
        const std::uint64_t offset = fields.u32(kPictureHeaderSize + kColumnOffsetSize * column);
        const bool shared = column > 0 && offset == previous;
        previous = offset;
        if (shared && !onPost.writes) continue;
        auto fault = walkColumn(
            lump, column, offset, header.height,
            [&](std::int64_t top, std::span<const std::uint8_t> pixels) { onPost(column, top, pixels); });
        if (!fault.empty()) return fault;
    }
    return {};
}

struct CheckOnly {
    static constexpr bool writes = false;
    void operator()(std::int32_t, std::int64_t, std::span<const std::uint8_t>) const {}
};

struct PaintPosts {
    static constexpr bool writes = true;
    DecodedPicture& picture;
    void operator()(std::int32_t column, std::int64_t top, std::span<const std::uint8_t> pixels) const {
        const std::size_t width = picture.image.width;
        std::size_t at = static_cast<std::size_t>(top) * width + static_cast<std::size_t>(column);
        for (const std::uint8_t pixel : pixels) {
            picture.image.indices[at] = pixel;
            picture.alpha[at] = kOpaque;
            at += width;
        }
    }
};

// ---- Textures ------------------------------------------------------------------------------------

// Where a texture's record starts, how many bytes it takes in a layout, and its pixels.
struct TextureRecord {
    std::uint64_t offset = 0, size = 0;
    std::uint64_t pixels = 0;
};

std::string recordFault(std::span<const std::uint8_t> lump, std::int32_t index, const TextureLayout& layout,
                        std::uint64_t tableEnd, TextureRecord& record) {
    const ByteReader fields(lump, {});
    const auto name = "texture " + std::to_string(index);
    record.offset = fields.u32(kCountSize + kCountSize * static_cast<std::size_t>(index));
    if (record.offset < tableEnd || record.offset > lump.size() ||
        layout.headerSize > lump.size() - record.offset)
        return name + " at offset " + std::to_string(record.offset) + " lies outside the lump's textures (" +
               std::to_string(tableEnd) + " to " + std::to_string(lump.size()) + " bytes)";
    const auto at = static_cast<std::size_t>(record.offset);
    const std::int32_t patches = i16(fields, at + layout.patchCountAt);
    if (patches < 0) return name + " has a patch count of " + std::to_string(patches);
    const std::uint64_t patchBytes = std::uint64_t{layout.patchSize} * static_cast<std::uint64_t>(patches);
    if (patchBytes > lump.size() - record.offset - layout.headerSize)
        return name + ": its " + std::to_string(patches) + " patches run past " + lumpEnd(lump.size());
    const std::int64_t width = i16(fields, at + kTextureWidthAt), height = i16(fields, at + kTextureHeightAt);
    if (auto fault = pictureSizeFault(width, height); !fault.empty()) return name + ": " + fault;
    record.size = layout.headerSize + patchBytes;
    record.pixels = static_cast<std::uint64_t>(width * height);
    return {};
}

// The count of a texture list, checked to leave room for an offset and a record each.
std::string countFault(std::span<const std::uint8_t> lump, std::int32_t& count) {
    if (lump.size() < kCountSize)
        return "a texture list starts with a count of 4 bytes, the lump has " + std::to_string(lump.size());
    count = ByteReader(lump, {}).i32(0);
    const std::uint64_t perTexture = kCountSize + kStrifeLayout.headerSize;
    if (count < 0 || static_cast<std::uint64_t>(count) > (lump.size() - kCountSize) / perTexture)
        return std::to_string(count) + " textures cannot fit in the lump (" + std::to_string(lump.size()) +
               " bytes)";
    return {};
}

// Whether the records lie one after the other from the end of the table to the end of the lump,
// each exactly as long as layout makes it: how a lump of that layout is written.
bool recordsTile(std::span<const std::uint8_t> lump, std::int32_t count, const TextureLayout& layout) {
    std::uint64_t expected = kCountSize + kCountSize * static_cast<std::uint64_t>(count);
    for (std::int32_t i = 0; i < count; ++i) {
        TextureRecord record;
        if (!recordFault(lump, i, layout, 0, record).empty() || record.offset != expected) return false;
        expected += record.size;
    }
    return count > 0 && expected == lump.size();
}

// Doom's layout unless the lump is laid out as Strife's, or holds in Doom's view what no Doom
// tool writes (a negative patch count, the upper column directory set).
const TextureLayout& layoutOf(std::span<const std::uint8_t> lump, std::int32_t count) {
    if (recordsTile(lump, count, kDoomLayout)) return kDoomLayout;
    if (recordsTile(lump, count, kStrifeLayout)) return kStrifeLayout;
    const ByteReader fields(lump, {});
    const std::uint64_t tableEnd = kCountSize + kCountSize * static_cast<std::uint64_t>(count);
    for (std::int32_t i = 0; i < count; ++i) {
        const std::uint64_t at = fields.u32(kCountSize + kCountSize * static_cast<std::size_t>(i));
        if (at < tableEnd || at > lump.size() || kDoomLayout.headerSize > lump.size() - at) continue;
        const auto record = static_cast<std::size_t>(at);
        if (fields.u16(record + kColumnDirectoryHighAt) != 0 ||
            i16(fields, record + kDoomLayout.patchCountAt) < 0)
            return kStrifeLayout;
    }
    return kDoomLayout;
}

std::string textureListFault(std::span<const std::uint8_t> lump, std::int32_t& count,
                             const TextureLayout*& layout) {
    if (auto fault = countFault(lump, count); !fault.empty()) return fault;
    layout = &layoutOf(lump, count);
    const std::uint64_t tableEnd = kCountSize + kCountSize * static_cast<std::uint64_t>(count);
    std::uint64_t pixels = 0;
    for (std::int32_t i = 0; i < count; ++i) {
        TextureRecord record;
        if (auto fault = recordFault(lump, i, *layout, tableEnd, record); !fault.empty())
            return fault + " (read in " + layout->name + "'s layout)";
        pixels += record.pixels;
    }
    if (pixels > kMaxTextureListPixels)
        return "its textures add up to " + std::to_string(pixels) + " pixels, more than the " +
               std::to_string(kMaxTextureListPixels) + " a texture list may have";
    return {};
}

std::string patchNamesFault(std::span<const std::uint8_t> lump, std::int32_t& count) {
    if (lump.size() < kCountSize)
        return "PNAMES starts with a count of 4 bytes, the lump has " + std::to_string(lump.size());
    count = ByteReader(lump, {}).i32(0);
    if (count < 0 || static_cast<std::uint64_t>(count) > (lump.size() - kCountSize) / kNameSize)
        return "PNAMES: " + std::to_string(count) + " names of 8 bytes cannot fit in the lump (" +
               std::to_string(lump.size()) + " bytes)";
    return {};
}

} // namespace

// ---- Pictures ------------------------------------------------------------------------------------

bool isDoomPicture(std::span<const std::uint8_t> lump) noexcept {
    PictureHeader header;
    return headerFault(lump, header).empty() && walkColumns(lump, header, CheckOnly{}).empty();
}

DecodedPictures decodeDoomPicture(std::span<const std::uint8_t> lump, const std::string& what) {
    PictureHeader header;
    if (auto fault = headerFault(lump, header); !fault.empty()) throwFault(what, fault);
    DecodedPicture picture = blankPicture(static_cast<std::uint32_t>(header.width),
                                          static_cast<std::uint32_t>(header.height), true);
    if (auto fault = walkColumns(lump, header, PaintPosts{picture}); !fault.empty()) throwFault(what, fault);
    picture.offset = PictureOffset{header.left, header.top};
    dropOpaqueAlpha(picture);
    DecodedPictures out;
    out.pictures.push_back(std::move(picture));
    return out;
}

// ---- Flats, palettes, light maps -----------------------------------------------------------------

bool isDoomFlat(std::span<const std::uint8_t> lump) noexcept {
    return lump.size() == kFlatSide * kFlatSide || lump.size() == 2 * kFlatSide * kFlatSide ||
           lump.size() == 4 * kFlatSide * kFlatSide;
}

DecodedPictures decodeDoomFlat(std::span<const std::uint8_t> lump, const std::string& what) {
    if (!isDoomFlat(lump))
        throwFault(what, "a flat holds 4096, 8192 or 16384 bytes, this one " + std::to_string(lump.size()));
    const auto width =
        static_cast<std::uint32_t>(lump.size() == 4 * kFlatSide * kFlatSide ? 2 * kFlatSide : kFlatSide);
    DecodedPictures out;
    DecodedPicture picture;
    picture.image = {width, static_cast<std::uint32_t>(lump.size() / width), {lump.begin(), lump.end()}};
    out.pictures.push_back(std::move(picture));
    return out;
}

bool isDoomPlaypal(std::span<const std::uint8_t> lump) noexcept {
    return !lump.empty() && lump.size() % kPlaypalSize == 0;
}

DecodedPictures decodeDoomPlaypal(std::span<const std::uint8_t> lump, const std::string& what) {
    if (!isDoomPlaypal(lump))
        throwFault(what, "PLAYPAL holds palettes of 768 bytes, " + std::to_string(lump.size()) +
                             " bytes are not a whole number of them");
    const std::size_t count = lump.size() / kPlaypalSize;
    DecodedPictures out;
    out.pictures.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        auto swatch = paletteSwatch(zeroPadded(i, 2));
        swatch.palette = paletteFromTriples(lump.subspan(i * kPlaypalSize, kPlaypalSize));
        out.pictures.push_back(std::move(swatch));
    }
    out.palette = out.pictures.front().palette;
    return out;
}

bool isDoomColormap(std::span<const std::uint8_t> lump) noexcept {
    return !lump.empty() && lump.size() % kColormapSize == 0 &&
           pictureSizeFault(kColormapSize, static_cast<std::int64_t>(lump.size() / kColormapSize)).empty();
}

DecodedPictures decodeDoomColormap(std::span<const std::uint8_t> lump, const std::string& what) {
    if (lump.empty() || lump.size() % kColormapSize != 0)
        throwFault(what, "COLORMAP holds maps of 256 bytes, " + std::to_string(lump.size()) +
                             " bytes are not a whole number of them");
    if (auto fault = pictureSizeFault(kColormapSize, static_cast<std::int64_t>(lump.size() / kColormapSize));
        !fault.empty())
        throwFault(what, fault);
    DecodedPictures out;
    DecodedPicture picture;
    picture.image = {static_cast<std::uint32_t>(kColormapSize),
                     static_cast<std::uint32_t>(lump.size() / kColormapSize),
                     {lump.begin(), lump.end()}};
    out.pictures.push_back(std::move(picture));
    return out;
}

// ---- Textures ------------------------------------------------------------------------------------

bool isDoomPatchNames(std::span<const std::uint8_t> lump) noexcept {
    std::int32_t count = 0;
    return patchNamesFault(lump, count).empty();
}

std::vector<std::string> parseDoomPatchNames(std::span<const std::uint8_t> lump, const std::string& what) {
    std::int32_t count = 0;
    if (auto fault = patchNamesFault(lump, count); !fault.empty()) throwFault(what, fault);
    const ByteReader fields(lump, what);
    std::vector<std::string> names;
    names.reserve(static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < static_cast<std::size_t>(count); ++i)
        names.push_back(fields.fixedName(kCountSize + kNameSize * i, kNameSize, kNameSize));
    return names;
}

bool isDoomTextureList(std::span<const std::uint8_t> lump) noexcept {
    std::int32_t count = 0;
    const TextureLayout* layout = nullptr;
    return textureListFault(lump, count, layout).empty();
}

std::vector<DoomTexture> parseDoomTextures(std::span<const std::uint8_t> lump, const std::string& what) {
    std::int32_t count = 0;
    const TextureLayout* layout = nullptr;
    if (auto fault = textureListFault(lump, count, layout); !fault.empty()) throwFault(what, fault);
    const ByteReader fields(lump, what);
    std::vector<DoomTexture> textures(static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < textures.size(); ++i) {
        const std::size_t at = fields.u32(kCountSize + kCountSize * i);
        auto& texture = textures[i];
        texture.name = fields.fixedName(at, kNameSize, kNameSize);
        texture.width = static_cast<std::uint32_t>(i16(fields, at + kTextureWidthAt));
        texture.height = static_cast<std::uint32_t>(i16(fields, at + kTextureHeightAt));
        const auto patches = static_cast<std::size_t>(i16(fields, at + layout->patchCountAt));
        texture.patches.reserve(patches);
        for (std::size_t p = 0; p < patches; ++p) {
            const std::size_t patchAt = at + layout->headerSize + layout->patchSize * p;
            texture.patches.push_back(
                {i16(fields, patchAt), i16(fields, patchAt + 2), i16(fields, patchAt + 4)});
        }
    }
    return textures;
}

struct DoomTextureComposer::Patch {
    std::optional<DecodedPicture> picture;
    std::string failure; // why there is none
};

DoomTextureComposer::DoomTextureComposer(std::vector<std::string> patchNames, PatchLookup lookup,
                                         PatchBounds bounds)
    : names_(std::move(patchNames)), lookup_(std::move(lookup)), left_(bounds) {}

DoomTextureComposer::~DoomTextureComposer() = default;

const DoomTextureComposer::Patch& DoomTextureComposer::patch(std::size_t index) {
    const auto& name = names_[index];
    auto& slot = patches_[toUpperAscii(name)];
    if (slot) return *slot;
    slot = std::make_unique<Patch>();
    try {
        const auto bytes = lookup_(name);
        if (!bytes) {
            slot->failure = "is missing";
            return *slot;
        }
        // Its size from the header, so that a patch past the bound is not decoded at all; a
        // header of no sound size is left to the decoder to name.
        std::uint64_t pixels = 0;
        if (bytes->size() >= kPictureHeaderSize) {
            const ByteReader header(*bytes, {});
            const std::int32_t width = i16(header, kWidthAt), height = i16(header, kHeightAt);
            if (pictureSizeFault(width, height).empty())
                pixels = std::uint64_t(width) * std::uint64_t(height);
        }
        if (pixels > left_.decodedPixels) {
            slot->failure = "is left out: its " + std::to_string(pixels) +
                            " pixels pass what the list may still decode (" +
                            std::to_string(left_.decodedPixels) + ")";
            return *slot;
        }
        slot->picture = std::move(decodeDoomPicture(*bytes, "patch " + name).pictures.front());
        left_.decodedPixels -= pixels;
    } catch (const FormatError& e) {
        slot->failure = std::string("does not decode (") + e.what() + ")";
    }
    return *slot;
}

DecodedPicture DoomTextureComposer::compose(const DoomTexture& texture, std::vector<std::string>& notes) {
    if (auto fault = pictureSizeFault(texture.width, texture.height); !fault.empty())
        throwFault("texture " + texture.name, fault);
    DecodedPicture out = blankPicture(texture.width, texture.height, true);
    out.name = texture.name;
    const std::int64_t width = texture.width, height = texture.height;
    for (const auto& placed : texture.patches) {
        if (placed.index < 0 || static_cast<std::size_t>(placed.index) >= names_.size()) {
            notes.push_back("texture " + texture.name + ": patch number " + std::to_string(placed.index) +
                            " is not one of the " + std::to_string(names_.size()) + " names of PNAMES");
            continue;
        }
        const auto& patch = this->patch(static_cast<std::size_t>(placed.index));
        if (!patch.picture) {
            notes.push_back("texture " + texture.name + ": patch " +
                            names_[static_cast<std::size_t>(placed.index)] + " " + patch.failure);
            continue;
        }
        const auto& source = *patch.picture;
        const std::int64_t patchWidth = source.image.width, patchHeight = source.image.height;
        // The part of the patch that lands inside the texture.
        const std::int64_t left = std::max<std::int64_t>(0, -placed.x);
        const std::int64_t right = std::min<std::int64_t>(patchWidth, width - placed.x);
        const std::int64_t top = std::max<std::int64_t>(0, -placed.y);
        const std::int64_t bottom = std::min<std::int64_t>(patchHeight, height - placed.y);
        if (right <= left || bottom <= top) continue;
        const auto drawn = static_cast<std::uint64_t>((right - left) * (bottom - top));
        if (drawn > left_.drawnPixels) {
            notes.push_back("texture " + texture.name + ": patch " +
                            names_[static_cast<std::size_t>(placed.index)] + " is left out: drawing its " +
                            std::to_string(drawn) + " pixels passes what the list may still draw (" +
                            std::to_string(left_.drawnPixels) + ")");
            continue;
        }
        left_.drawnPixels -= drawn;
        for (std::int64_t y = top; y < bottom; ++y) {
            const std::int64_t from = y * patchWidth, to = (y + placed.y) * width + placed.x;
            for (std::int64_t x = left; x < right; ++x) {
                const auto s = static_cast<std::size_t>(from + x), d = static_cast<std::size_t>(to + x);
                if (!source.alpha.empty() && source.alpha[s] == kSeeThrough) continue;
                out.image.indices[d] = source.image.indices[s];
                out.alpha[d] = kOpaque;
            }
        }
    }
    dropOpaqueAlpha(out);
    return out;
}

DecodedPictures decodeDoomTextures(std::span<const std::uint8_t> textureList,
                                   std::span<const std::uint8_t> patchNames, const PatchLookup& lookup,
                                   const std::string& what) {
    const auto textures = parseDoomTextures(textureList, what);
    DoomTextureComposer composer(parseDoomPatchNames(patchNames, what + ": its PNAMES"), lookup);
    DecodedPictures out;
    out.pictures.reserve(textures.size());
    for (const auto& texture : textures)
        out.pictures.push_back(composer.compose(texture, out.notes));
    return out;
}

} // namespace vexa
