#pragma once
// File names for extracting kinds whose entry names are flat and may repeat or hold characters a
// file name cannot (Doom's sprite frames "VILE\1", lumps that every map repeats).

#include "formats/container.h"

#include <string>
#include <vector>

namespace vexa {

// One file name per entry name, in order, all different from one another:
// 1. each character a file name cannot hold on some system (\ / : * ? " < > |, and control
//    characters) becomes "^";
// 2. a name that is empty or made only of dots gets "^" in front;
// 3. the first entry with a name keeps it; each later one with the same name (compared without
//    regard to letter case) gets "_1", "_2", ... before its extension: the smallest number that
//    gives a name no other entry has or was given.
std::vector<std::string> flatOutputNames(const std::vector<std::string>& names);
std::vector<std::string> flatOutputNames(const std::vector<EntryRow>& records);

// Step 3 alone, on names that may hold folders ("\" between levels; the whole path is compared):
// what one extraction run writes, so that no two entries of any kind go to one file. Letter case
// is ignored, as on the file systems the games ran on (and on a Windows or macOS target): "a.txt"
// after "A.TXT" becomes "a_1.txt" on every system, never a second writer of one file.
std::vector<std::string> numberRepeats(std::vector<std::string> names);

// Step 1 alone: each character a file name cannot hold becomes "^".
std::string replaceUnsafeCharacters(std::string text);

} // namespace vexa
