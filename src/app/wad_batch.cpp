#include "app/wad_batch.h"

#include "base/errors.h"
#include "base/file_io.h"
#include "base/text.h"

namespace vexa {

namespace {

constexpr const char* kLineEnd = "\r\n";

// A path holding a space or a character cmd.exe gives a meaning ("&", "|", "<", ">", "^", "(", ")",
// ",", ";", "=") goes in quotes, which make it part of the path. Nothing can quote a '"' or a
// control character, and cmd.exe expands "%" and "!" even inside quotes: a path holding one is
// refused, so no line of go.bat runs more than the tool it names.
std::string argument(const std::string& text) {
    for (unsigned char c : text)
        if (c == '"' || c == '%' || c == '!' || c < 0x20 || c == 0x7F)
            throw FileError(
                FileAction::Create, "go.bat",
                "the path " + printableText(text) +
                    " holds a character that go.bat cannot pass on (\", %, ! or a control character)");
    if (text.find_first_of(" &|<>^(),;=") == std::string::npos) return text;
    return "\"" + text + "\"";
}

std::string withoutTrailingSeparator(std::string folder) {
    if (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
    return folder;
}

} // namespace

std::string halfLifeWadBatchText(const fs::path& halfLifeFolder, const fs::path& sourceFolder,
                                 const fs::path& newContainerPath) {
    const auto newPath = pathText(newContainerPath);
    const auto withoutExtension = newPath.substr(0, newPath.size() - extensionOf(newPath).size());
    const auto listFile = argument(replaceExtension(newPath, ".ls"));
    return argument(pathText(halfLifeFolder / "makels.exe")) + " " +
           argument(withoutTrailingSeparator(pathText(sourceFolder))) + " " + argument(withoutExtension) +
           " " + listFile + kLineEnd + argument(pathText(halfLifeFolder / "qlumpy.exe")) + " " + listFile +
           kLineEnd;
}

fs::path writeHalfLifeWadBatch(const ProgramFolders& folders, const fs::path& sourceFolder,
                               const fs::path& newContainerPath) {
    std::error_code ec;
    fs::create_directories(folders.temp, ec); // a Temp folder that cannot be made fails the write below
    const auto batch = folders.temp / "go.bat";
    const auto text =
        halfLifeWadBatchText(fs::absolute(folders.halfLife), fs::absolute(sourceFolder).lexically_normal(),
                             fs::absolute(newContainerPath).lexically_normal());
    writeWholeFile(batch, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    return batch;
}

} // namespace vexa
