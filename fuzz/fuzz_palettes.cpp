// libFuzzer target for the five palette loaders of the Palettes page: any file, any loader, no
// crash, and a failed load is an answer, not damage.

#include "base/errors.h"
#include "images/palette_files.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const vexa::MemoryBytes input(std::vector<std::uint8_t>(data, data + size), "palette");
    for (const auto& source : vexa::paletteSources()) {
        try {
            (void)source.read(input);
        } catch (const vexa::Error&) {
        }
    }
    return 0;
}
