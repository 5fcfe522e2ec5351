#include "app/Global.h"

#include "base/file_io.h"
#include "app/kinds.h"
#include "base/text.h"

#include <array>
#include <cstring>

namespace vexa {

ContainerType DetectContainerType(const fs::path& path) {
    InputFile file(path);
    std::array<std::uint8_t, 4> head{}; // bytes past the end of a short file count as 0
    file.readSome(0, head);

    const auto extension = toUpperAscii(extensionOf(path.filename().string()));
    ContainerType result = Kind::Unknown;
    for (const auto& kind : kindTable()) {
        const auto& sig = kind.signature;
        if (sig.empty()) continue;
        if (sig.front() == '.') {
            if (extension == sig) return kind.code; // an extension decides over any content
        } else if (result == Kind::Unknown && std::memcmp(head.data(), sig.data(), sig.size()) == 0) {
            result = kind.code;
        }
    }
    return result;
}

ProgramFolders ProgramFolders::beside(const fs::path& programFolder) {
    ProgramFolders f;
    f.program = programFolder;
    f.extract = programFolder / "Extracted_Files";
    f.data = programFolder / "Data";
    f.help = programFolder / "Help";
    f.temp = programFolder / "Temp";
    f.halfLife = programFolder / "HalfLife";
    return f;
}

void ProgramFolders::ensureAll() const {
    for (const auto* folder : {&extract, &data, &help, &temp, &halfLife}) {
        std::error_code ec;
        fs::create_directory(*folder, ec);
    }
}

} // namespace vexa
