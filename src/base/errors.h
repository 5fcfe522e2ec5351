#pragma once
// The program's error types: each message is what the user is shown, as it stands. An error about a
// file keeps its parts (the action, the file, the reason) so that a caller can say them its own way.

#include <cstddef>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace vexa {

class Error : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// What was being done to a file when it failed.
enum class FileAction { Open, Read, Create, Write, Lock, Save };

// "Cannot <action> file <path>: <reason>" ("Cannot save <path>: <reason>"), the reason being the
// system's or the program's (empty: none is given).
class FileError : public Error {
  public:
    FileError(FileAction action, std::filesystem::path path, std::string reason);

    FileAction action() const { return action_; }
    const std::filesystem::path& path() const { return path_; }
    const std::string& reason() const { return reason_; }

  protected:
    // For an error worded otherwise, as a whole sentence (message).
    FileError(FileAction action, std::filesystem::path path, std::string reason, const std::string& message);

  private:
    FileAction action_;
    std::filesystem::path path_;
    std::string reason_;
};

// A file that is damaged or not of the kind it claims: the message names the file and what is wrong.
class FormatError : public Error {
  public:
    using Error::Error;
};

// An output that cannot be written where it should go (something in the way, no room, no right to
// write): it costs its own entry of an extraction, not the run.
class OutputError : public FileError {
  public:
    using FileError::FileError;
    // Something stands where output should go: said as refusal alone ("a folder stands at <path>").
    OutputError(std::filesystem::path output, std::string refusal);
};

// A long job stopped because the user asked it to; not a failure, and nothing half-done is left.
class Cancelled : public Error {
  public:
    using Error::Error;
};

// A save found that another program changed or replaced the file in a way the edit cannot be
// applied to (an entry it names is gone, the file was replaced while it was written): nothing of the
// other program's was overwritten. The window offers Save As.
class ContainerChangedOnDisk : public FileError {
  public:
    using FileError::FileError;
};

// Another program kept saving the file for longer than this one would wait; nothing was written.
class FileBusy : public Error {
  public:
    using Error::Error;
};

// A path as messages show it.
std::string displayPath(const std::filesystem::path& path);

// "entry 3 'FOO'", as messages name an entry after the file.
std::string entryLabel(std::size_t index, const std::string& name);

} // namespace vexa
