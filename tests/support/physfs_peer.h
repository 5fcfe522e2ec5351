#pragma once
// PhysicsFS as an independent reader: what it sees inside an archive VEXA wrote.

#include "support/test_files.h"

#include <map>
#include <string>

namespace vexa::test {

// Every file PhysicsFS finds in archive (names with "/" between levels, as PhysicsFS gives them)
// with its bytes. Fails the current test when PhysicsFS refuses the archive.
std::map<std::string, Bytes> readWithPhysfs(const fs::path& archive);

} // namespace vexa::test
