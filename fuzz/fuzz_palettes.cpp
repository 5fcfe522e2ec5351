// libFuzzer target for the five palette loaders of the Palettes page: any file, any loader, no
// crash, and a failed load is an answer, not damage.

#include "base/errors.h"
#include "images/Image_util.h"

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fs::path input =
        (fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path()) /
        ("vexa-fuzz-palette-" + std::to_string(::getpid()));
    {
        std::ofstream f(input, std::ios::binary | std::ios::trunc);
        f.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    for (const auto& source : vexa::paletteSources()) {
        try {
            (void)source.load(input);
        } catch (const vexa::Error&) {
        }
    }
    return 0;
}
