#pragma once
// PhysicsFS as an independent reader of the archives the tests make.

#include "support/test_files.h"

#include <map>
#include <string>

namespace vexa::test {

// Every plain file PhysicsFS finds in the archive, by its name there, with its bytes.
std::map<std::string, Bytes> physfsContents(const fs::path& archive);

} // namespace vexa::test
