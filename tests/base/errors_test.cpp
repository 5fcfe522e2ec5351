// An error about a file is worded in one place, from its parts; the parts stay readable on their own.

#include "base/errors.h"

#include <gtest/gtest.h>

namespace vexa {
namespace {

TEST(FileErrors, SayTheActionTheFileAndTheReason) {
    const struct {
        FileAction action;
        std::string reason, said;
    } cases[] = {
        {FileAction::Open, "No such file or directory",
         "Cannot open file in/a.gob: No such file or directory"},
        {FileAction::Read, "Input/output error", "Cannot read file in/a.gob: Input/output error"},
        {FileAction::Create, "'x' is empty", "Cannot create file in/a.gob: 'x' is empty"},
        {FileAction::Write, "", "Cannot write file in/a.gob"},
        {FileAction::Lock, "No locks available", "Cannot lock file in/a.gob: No locks available"},
        {FileAction::Save, "another program removed it", "Cannot save in/a.gob: another program removed it"},
    };
    for (const auto& c : cases) {
        const FileError error(c.action, "in/a.gob", c.reason);
        EXPECT_EQ(error.what(), c.said);
        EXPECT_EQ(error.action(), c.action);
        EXPECT_EQ(error.path(), "in/a.gob");
        EXPECT_EQ(error.reason(), c.reason);
    }
    // Something in an output's way is said as it is, and is still about that output.
    const OutputError refused("out/a.bmp", "a folder stands at out/a.bmp");
    EXPECT_STREQ(refused.what(), "a folder stands at out/a.bmp");
    EXPECT_EQ(refused.path(), "out/a.bmp");
    EXPECT_EQ(entryLabel(3, "WALL.BMP"), "entry 3 'WALL.BMP'");
}

} // namespace
} // namespace vexa
