#pragma once
// The parts of libpng's write side the PNG sinks share (only built with VEXA_PNG): the write
// struct's owner and the handlers that turn libpng's complaints into a jump back to the caller.

#include <png.h>

namespace vexa::png_support {

// libpng's own handler prints before it jumps; the caller reports the failure itself.
[[noreturn]] inline void failQuietly(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
inline void warnNothing(png_structp, png_const_charp) {}
inline void flushNothing(png_structp) {}

class WriteStruct {
  public:
    WriteStruct() {
        png_ = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, failQuietly, warnNothing);
        if (png_) info_ = png_create_info_struct(png_);
    }
    ~WriteStruct() { png_destroy_write_struct(&png_, &info_); }
    WriteStruct(const WriteStruct&) = delete;
    WriteStruct& operator=(const WriteStruct&) = delete;
    png_structp png() const { return png_; }
    png_infop info() const { return info_; }
    bool ok() const { return png_ && info_; }

  private:
    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
};

} // namespace vexa::png_support
