#pragma once
// vexa-cli add, remove, rename and convert: edits of a writable container, saved in place (or, for
// convert, as a new file) so that any failure leaves the container as it was.

#include "app/container_edit.h"
#include "formats/container.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexa::cli {

// What the help page of command (add, remove, rename or convert) says below its options.
std::string editDetails(std::string_view command);

// The edit commands, their arguments checked for number: progress draws the bar, says when Ctrl-C
// came and whether to wait for another save of the container; writing is how the save writes. Each
// returns the exit status; throws UsageError for an unknown kind, Error (and Cancelled) when the job
// fails, the container then as it was.
using Writing = ContainerEdit::Writing;
int runAdd(const std::string& container, const std::vector<std::string>& paths,
           const std::optional<std::string>& as, Writing writing, ProgressSink& progress);
int runRemove(const std::string& container, const std::vector<std::string>& names, Writing writing,
              ProgressSink& progress);
int runRename(const std::string& container, const std::string& oldName, const std::string& newName,
              Writing writing, ProgressSink& progress);
int runConvert(const std::string& container, const std::string& kind, const std::string& newPath,
               ProgressSink& progress);

} // namespace vexa::cli
