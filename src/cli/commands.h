#pragma once
// The commands of vexa-cli, each added to the parser by its own function (in the file of its
// command or family). A new command is one more add function and one more row of main's list.

#include "app/Global.h"

#include <functional>

namespace CLI {
class App;
}

namespace vexa::cli {

// What a command line asks for, run once it is all read; returns the exit status.
using Job = std::function<int(const ProgramFolders&)>;

void addDetect(CLI::App& parser, Job& job);
void addList(CLI::App& parser, Job& job);
void addFind(CLI::App& parser, Job& job);
void addExtract(CLI::App& parser, Job& job);
void addCreate(CLI::App& parser, Job& job);
void addConvert(CLI::App& parser, Job& job);
void addAdd(CLI::App& parser, Job& job);
void addRemove(CLI::App& parser, Job& job);
void addRename(CLI::App& parser, Job& job);
void addImport(CLI::App& parser, Job& job);
void addMount(CLI::App& parser, Job& job);

} // namespace vexa::cli
