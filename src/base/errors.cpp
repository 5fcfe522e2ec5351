#include "base/errors.h"

namespace vexa {

namespace {

// The one place a file's error is worded.
std::string fileErrorText(FileAction action, const std::filesystem::path& path, const std::string& reason) {
    const char* verb = "";
    switch (action) {
    case FileAction::Open:
        verb = "open file ";
        break;
    case FileAction::Read:
        verb = "read file ";
        break;
    case FileAction::Create:
        verb = "create file ";
        break;
    case FileAction::Write:
        verb = "write file ";
        break;
    case FileAction::Lock:
        verb = "lock file ";
        break;
    case FileAction::Save:
        verb = "save ";
        break;
    }
    return "Cannot " + std::string(verb) + displayPath(path) + (reason.empty() ? "" : ": " + reason);
}

} // namespace

FileError::FileError(FileAction action, std::filesystem::path path, std::string reason)
    : Error(fileErrorText(action, path, reason)), action_(action), path_(std::move(path)),
      reason_(std::move(reason)) {}

FileError::FileError(FileAction action, std::filesystem::path path, std::string reason,
                     const std::string& message)
    : Error(message), action_(action), path_(std::move(path)), reason_(std::move(reason)) {}

OutputError::OutputError(std::filesystem::path output, std::string refusal)
    : FileError(FileAction::Create, std::move(output), refusal, refusal) {}

std::string displayPath(const std::filesystem::path& path) {
    return path.string();
}

std::string entryLabel(std::size_t index, const std::string& name) {
    return "entry " + std::to_string(index) + " '" + name + "'";
}

} // namespace vexa
