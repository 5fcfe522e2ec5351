#pragma once
// The damaged-file tests of every reader: each fixture is named after its fault.

#include "base/errors.h"
#include "support/test_files.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace vexa::test {

struct FaultCase {
    std::string fault;
    Bytes bytes;
    std::string expected = {}; // a part the message must hold, besides the file's path
};

// Writes each case to <fault><extension>, reads its directory with a fresh Reader and expects a
// FormatError naming the file.
template <class Reader>
void expectRefused(const std::vector<FaultCase>& cases, const std::string& extension) {
    for (const auto& c : cases) {
        TempDir dir;
        const auto path = dir / (c.fault + extension);
        writeFile(path, c.bytes);
        Reader reader;
        try {
            reader.ReadDirectory(openFileBytes(path));
            ADD_FAILURE() << c.fault << " was accepted";
        } catch (const FormatError& e) {
            const std::string message = e.what();
            EXPECT_NE(message.find(path.string()), std::string::npos) << c.fault << ": " << message;
            EXPECT_NE(message.find(c.expected), std::string::npos) << c.fault << ": " << message;
        }
    }
}

} // namespace vexa::test
