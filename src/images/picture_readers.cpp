// PNG and BMP files read into colours for import. Every field of either header is checked before
// anything is sized by it.

#include "base/byte_reader.h"
#include "base/errors.h"
#include "base/file_io.h"
#include "images/bmp.h"
#include "images/picture_import.h"

#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#if VEXA_PNG
#include <png.h>
#endif

namespace vexa {

namespace {

constexpr std::array<std::uint8_t, 8> kPngSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::size_t kRgba = 4;

[[noreturn]] void refuse(const ByteSource& file, const std::string& reason) {
    throw FormatError(displayPath(file.path()) + ": " + reason);
}

bool isPng(const ByteSource& file) {
    std::array<std::uint8_t, 8> start{};
    return file.readSome(0, start) == start.size() && start == kPngSignature;
}

PictureSize checkedSize(const ByteSource& file, std::int64_t width, std::int64_t height) {
    requireSidesInRange(file, width, height);
    return {static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height)};
}

// ---- PNG ---------------------------------------------------------------------------------------

#if VEXA_PNG

// libpng reports errors by longjmp: everything it can jump over is plain data here, and every
// object with a destructor lives outside the jump.
struct PngSource {
    const ByteSource* file;
    std::uint64_t position;
    char message[200];
};

void readPngBytes(png_structp png, png_bytep data, std::size_t length) {
    auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
    std::size_t got = 0;
    try {
        got = source->file->readSome(source->position, std::span<std::uint8_t>(data, length));
    } catch (const std::exception&) {
        got = 0;
    }
    source->position += got;
    if (got != length) png_error(png, "the file ends inside the picture data");
}

[[noreturn]] void keepPngMessage(png_structp png, png_const_charp message) {
    auto* source = static_cast<PngSource*>(png_get_error_ptr(png));
    std::snprintf(source->message, sizeof source->message, "%s", message);
    png_longjmp(png, 1);
}

void ignorePngWarning(png_structp, png_const_charp) {}

class PngReadStruct {
  public:
    explicit PngReadStruct(PngSource* source) {
        png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, source, keepPngMessage, ignorePngWarning);
        if (png_) info_ = png_create_info_struct(png_);
    }
    ~PngReadStruct() { png_destroy_read_struct(&png_, &info_, nullptr); }
    PngReadStruct(const PngReadStruct&) = delete;
    PngReadStruct& operator=(const PngReadStruct&) = delete;
    png_structp png() const { return png_; }
    png_infop info() const { return info_; }

  private:
    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
};

struct PngHead {
    std::uint32_t width, height;
    int colourType;
    int interlace;
    int colourCount;          // paletted pictures
    png_color colours[256];   // paletted pictures
    std::uint8_t alphas[256]; // paletted pictures, from tRNS (255 where it gives none)
};

// Reads the header and sets the transformations: paletted pictures come as one index a byte,
// every other as red, green, blue, alpha at 8 bits.
bool readPngHead(png_structp png, png_infop info, PngHead& head) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_info(png, info);
    int depth = 0;
    png_get_IHDR(png, info, &head.width, &head.height, &depth, &head.colourType, &head.interlace, nullptr,
                 nullptr);
    if (head.colourType == PNG_COLOR_TYPE_PALETTE) {
        png_colorp plte = nullptr;
        head.colourCount = 0;
        if (png_get_PLTE(png, info, &plte, &head.colourCount) != PNG_INFO_PLTE) head.colourCount = 0;
        head.colourCount = std::min(head.colourCount, 256);
        std::memcpy(head.colours, plte, sizeof(png_color) * static_cast<std::size_t>(head.colourCount));
        std::memset(head.alphas, 255, sizeof head.alphas);
        png_bytep trans = nullptr;
        int transCount = 0;
        if (png_get_tRNS(png, info, &trans, &transCount, nullptr) == PNG_INFO_tRNS && trans)
            std::memcpy(head.alphas, trans, static_cast<std::size_t>(std::clamp(transCount, 0, 256)));
        png_set_packing(png);
    } else {
        png_set_expand(png);
        png_set_strip_16(png);
        png_set_gray_to_rgb(png);
        png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    return true;
}

bool readPngRows(png_structp png, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_image(png, rows);
    return true;
}

bool readPngRow(png_structp png, png_bytep row) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_row(png, row, nullptr);
    return true;
}

#endif

PictureSize pngSize(const ByteSource& file) {
    // The signature, then the IHDR chunk: length 13, "IHDR", width, height (big-endian).
    std::array<std::uint8_t, 24> start{};
    if (file.readSome(0, start) != start.size() || std::memcmp(&start[12], "IHDR", 4) != 0)
        refuse(file, "the PNG header is damaged");
    const auto be32 = [&](std::size_t at) {
        return std::uint32_t{start[at]} << 24 | std::uint32_t{start[at + 1]} << 16 |
               std::uint32_t{start[at + 2]} << 8 | start[at + 3];
    };
    return checkedSize(file, be32(16), be32(20));
}

[[noreturn]] void refuseUnknown(const ByteSource& file) {
    refuse(file, "not a PNG or BMP picture");
}

} // namespace

// ---- Reading rows ------------------------------------------------------------------------------

struct PictureRows::State {
    std::unique_ptr<InputFile> owned;
    const ByteSource* file = nullptr;
    PictureSize size;
    std::optional<std::vector<std::array<std::uint8_t, 3>>> colours;
    std::uint32_t next = 0;        // the next row to read
    std::vector<std::uint8_t> row; // one stored row
    std::array<std::uint8_t, 256> alphas{};
    std::optional<BmpLayout> bmp;
#if VEXA_PNG
    PngSource source{};
    std::unique_ptr<PngReadStruct> png;
    // An interlaced PNG gives no row whole before its last pass: it is read whole at once.
    std::vector<std::uint8_t> interlaced;
#endif

    void openBmp() {
        bmp = readBmpLayout(*file);
        size = {bmp->width, bmp->height};
        if (bmp->bits == 8) colours = readBmpColourTable(*file, *bmp);
        alphas.fill(255);
    }

#if VEXA_PNG
    void openPng() {
        source = PngSource{file, 0, "damaged PNG picture"};
        png = std::make_unique<PngReadStruct>(&source);
        if (!png->png() || !png->info()) refuse(*file, "out of memory reading the PNG picture");
        png_set_read_fn(png->png(), &source, readPngBytes);
        // Our own size check gives the message; libpng's lower default would refuse first.
        png_set_user_limits(png->png(), 0x7FFFFFFF, 0x7FFFFFFF);
        PngHead head{};
        if (!readPngHead(png->png(), png->info(), head)) refuse(*file, source.message);
        size = checkedSize(*file, head.width, head.height);
        const bool paletted = head.colourType == PNG_COLOR_TYPE_PALETTE;
        if (paletted && head.colourCount == 0) refuse(*file, "a paletted PNG picture without its palette");
        if (paletted) {
            colours.emplace();
            for (int i = 0; i < head.colourCount; ++i)
                colours->push_back({head.colours[i].red, head.colours[i].green, head.colours[i].blue});
            std::copy(std::begin(head.alphas), std::end(head.alphas), alphas.begin());
        }
        if (png_get_rowbytes(png->png(), png->info()) != std::size_t{size.width} * rowPixelBytes())
            refuse(*file, "a PNG row layout that is not handled");
        if (head.interlace != PNG_INTERLACE_NONE) {
            const std::size_t rowBytes = std::size_t{size.width} * rowPixelBytes();
            interlaced.resize(rowBytes * size.height);
            std::vector<png_bytep> rows(size.height);
            for (std::size_t r = 0; r < size.height; ++r)
                rows[r] = interlaced.data() + r * rowBytes;
            if (!readPngRows(png->png(), rows.data())) refuse(*file, source.message);
        }
    }
#else
    // A build without libpng (the Windows one) reads BMP pictures only.
    void openPng() {
        refuse(*file, "this build of VEXA reads no PNG (use BMP)");
    }
#endif

    std::size_t rowPixelBytes() const {
        return colours ? 1 : kRgba;
    }

    // Row next as stored: indices for a paletted picture, else red, green, blue, alpha.
    void readStoredRow() {
        if (bmp) {
            readBmpRow(*file, *bmp, next, row);
            if (!colours) {
                std::vector<std::uint8_t> rgba(std::size_t{size.width} * kRgba);
                bmpRowColours(*bmp, row, rgba.data());
                row = std::move(rgba);
            }
            return;
        }
#if VEXA_PNG
        const std::size_t rowBytes = std::size_t{size.width} * rowPixelBytes();
        row.resize(rowBytes);
        if (!interlaced.empty()) {
            std::copy_n(interlaced.begin() + static_cast<std::ptrdiff_t>(next * rowBytes), rowBytes,
                        row.begin());
            return;
        }
        if (!readPngRow(png->png(), row.data())) refuse(*file, source.message);
#endif
    }
};

PictureRows::PictureRows(const fs::path& path) : state_(std::make_unique<State>()) {
    state_->owned = std::make_unique<InputFile>(path);
    open(*state_->owned);
}

PictureRows::PictureRows(const ByteSource& file) : state_(std::make_unique<State>()) {
    open(file);
}

PictureRows::~PictureRows() = default;

void PictureRows::open(const ByteSource& file) {
    state_->file = &file;
    if (isPng(file))
        state_->openPng();
    else if (isBmp(file))
        state_->openBmp();
    else
        refuseUnknown(file);
}

PictureSize PictureRows::size() const {
    return state_->size;
}

const std::optional<std::vector<std::array<std::uint8_t, 3>>>& PictureRows::storedColours() const {
    return state_->colours;
}

void PictureRows::read(std::uint32_t count, std::span<std::uint8_t> rgba, std::span<std::uint8_t> indices) {
    auto& s = *state_;
    const std::size_t width = s.size.width;
    if (count > s.size.height - s.next || rgba.size() < count * width * kRgba ||
        (s.colours && indices.size() < count * width))
        throw Error("rows read past the picture or into too small a buffer");
    for (std::uint32_t r = 0; r < count; ++r, ++s.next) {
        s.readStoredRow();
        auto* out = &rgba[r * width * kRgba];
        if (!s.colours) {
            std::copy_n(s.row.begin(), width * kRgba, out);
            continue;
        }
        for (std::size_t c = 0; c < width; ++c) {
            const auto index = s.row[c];
            // A colour the table does not hold has no right value, and black would pass for one.
            if (index >= s.colours->size())
                refuse(*s.file, "pixel " + std::to_string(std::uint64_t{s.next} * width + c) +
                                    " uses colour " + std::to_string(index) + " of a " +
                                    (s.bmp ? "colour table of " : "palette of ") +
                                    std::to_string(s.colours->size()));
            std::memcpy(&out[c * kRgba], (*s.colours)[index].data(), 3);
            out[c * kRgba + 3] = s.alphas[index];
        }
        std::copy_n(s.row.begin(), width, &indices[r * width]);
    }
}

// ---- Whole pictures -----------------------------------------------------------------------------

ColourPicture readColourPicture(const ByteSource& file) {
    PictureRows rows(file);
    const auto size = rows.size();
    const std::size_t pixels = std::size_t{size.width} * size.height;
    ColourPicture out{size.width, size.height, std::vector<std::uint8_t>(pixels * kRgba), {}};
    if (rows.storedColours())
        out.stored = StoredIndices{{size.width, size.height, std::vector<std::uint8_t>(pixels)},
                                   *rows.storedColours()};
    rows.read(size.height, out.rgba,
              out.stored ? std::span<std::uint8_t>(out.stored->image.indices) : std::span<std::uint8_t>());
    return out;
}

ColourPicture readColourPicture(const fs::path& path) {
    return readColourPicture(InputFile(path));
}

PictureSize readPictureSize(const ByteSource& file) {
    if (isPng(file)) return pngSize(file);
    if (isBmp(file)) {
        const auto layout = readBmpLayout(file);
        return {layout.width, layout.height};
    }
    refuseUnknown(file);
}

PictureSize readPictureSize(const fs::path& path) {
    return readPictureSize(InputFile(path));
}

} // namespace vexa
