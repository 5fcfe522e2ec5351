#pragma once
// vexa-cli add, remove, rename and convert: edits of a writable container, saved in place (or, for
// convert, as a new file) so that any failure leaves the container as it was.

#include "formats/container.h"

#include <string>
#include <string_view>
#include <vector>

namespace vexa::cli {

// Whether command is one of the edit commands.
bool isEditCommand(std::string_view command);
// Runs it with the arguments after its name; progress draws the bar and says when Ctrl-C came.
// Returns the exit status; throws UsageError for a command line that does not say what to do, Error
// (and Cancelled) when the job fails.
int runEditCommand(std::string_view command, const std::vector<std::string>& args, ProgressSink& progress);

} // namespace vexa::cli
