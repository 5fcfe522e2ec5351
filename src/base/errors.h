#pragma once
// The program's error type: its message is what the user is shown, as it stands.

#include <filesystem>
#include <stdexcept>
#include <string>

namespace vexa {

class Error : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A file that is damaged or not of the kind it claims: the message names the file and what is wrong.
class FormatError : public Error {
  public:
    using Error::Error;
};

// An output that cannot be written where it should go (something in the way, no room, no right to
// write): it costs its own entry of an extraction, not the run.
class OutputError : public Error {
  public:
    using Error::Error;
};

// A long job stopped because the user asked it to; not a failure, and nothing half-done is left.
class Cancelled : public Error {
  public:
    using Error::Error;
};

// A save found that another program changed or replaced the file in a way the edit cannot be
// applied to (an entry it names is gone, the file was replaced while it was written): nothing of the
// other program's was overwritten. The window offers Save As.
class ContainerChangedOnDisk : public Error {
  public:
    using Error::Error;
};

// Another program kept saving the file for longer than this one would wait; nothing was written.
class FileBusy : public Error {
  public:
    using Error::Error;
};

// The file layer's two messages.
std::string displayPath(const std::filesystem::path& path);
Error cannotOpen(const std::filesystem::path& path);
Error cannotCreate(const std::filesystem::path& path);

} // namespace vexa
