// Long jobs stopped by a cancel check: extraction keeps only whole entries, a writer leaves no
// container and the previous file as it was.

#include "app/extract.h"
#include "app/kinds.h"
#include "base/errors.h"
#include "base/file_io.h"
#include "formats/DF_Gob.h"
#include "support/format_checks.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace vexa {
namespace {

using test::Bytes;
using test::TempDir;

using test::namesIn;

// Answers "no" `allowed` times, then "yes".
struct TripAfter {
    std::size_t allowed;
    std::size_t asked = 0;
    bool operator()() { return asked++ >= allowed; }
};

TEST(CancelledExtraction, StopsBetweenEntriesLeavingOnlyWholeFiles) {
    TempDir source, in;
    const std::vector<std::pair<std::string, Bytes>> files = {{"A.DAT", test::patternBytes(3000, 1)},
                                                              {"B.DAT", {}},
                                                              {"C.DAT", test::patternBytes(70000, 3)},
                                                              {"D.DAT", test::patternBytes(1, 4)},
                                                              {"E.DAT", test::patternBytes(10, 5)}};
    for (const auto& [name, bytes] : files)
        test::writeFile(source / name, bytes);
    TDFGobReader().WriteContainer(in / "t.gob", source.path(), GatherFolderFiles(source.path()), nullptr);
    TDFGobReader gob;
    gob.ReadDirectory(openFileBytes(in / "t.gob"));
    const std::vector<std::size_t> rows = {4, 0, 2, 1, 3}; // in an order other than the archive's

    const struct {
        std::size_t allowed;
        std::string status;
    } cases[] = {
        {0, "Extraction cancelled: 0 written, 5 not started"},
        {1, "Extraction cancelled: 1 written, 4 not started"},
        {3, "Extraction cancelled: 3 written, 2 not started"},
        {5, "Extraction  Complete"},
    };
    for (const auto& c : cases) {
        TempDir out;
        ExtractionOptions options;
        std::vector<std::size_t> handled;
        options.afterRow = [&](std::size_t row) { handled.push_back(row); };
        options.cancelled = TripAfter{c.allowed};
        Palette palette;
        const auto result = extractRows(gob, out.path(), rows, options, palette);
        EXPECT_EQ(result.statusText(), c.status);
        EXPECT_EQ(result.cancelled, c.allowed < rows.size());
        EXPECT_EQ(result.written, c.allowed);
        EXPECT_EQ(handled, std::vector<std::size_t>(rows.begin(), rows.begin() + c.allowed));
        std::vector<std::string> expected;
        for (std::size_t k = 0; k < c.allowed; ++k) {
            const auto& [name, bytes] = files[rows[k]];
            expected.push_back(name);
            EXPECT_EQ(test::readFile(out / name), bytes) << name;
        }
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(namesIn(out.path()), expected) << c.allowed;
    }
}

// Writes each entry in two halves and raises the cancel flag between them for one entry, as a
// Cancel pressed while that entry is being written.
class CancelDuringEntry : public ContainerReader {
  public:
    CancelDuringEntry(std::size_t cancelIn, bool& flag) : cancelIn_(cancelIn), flag_(flag) {
        std::vector<EntryRow> rows;
        for (const char* name : {"a", "b", "c", "d"})
            rows.push_back({name, 200, std::nullopt, {}});
        SetRows(std::move(rows));
    }
    void ReadDirectory(std::shared_ptr<const ByteSource>) override {}
    void ExtractEntry(const OutputPath& out, std::size_t index) const override {
        OutputFile f(out);
        f.write(Bytes(100, static_cast<std::uint8_t>(index)));
        if (index == cancelIn_) flag_ = true;
        f.write(Bytes(100, static_cast<std::uint8_t>(index)));
        f.close();
    }

  private:
    std::size_t cancelIn_;
    bool& flag_;
};

TEST(CancelledExtraction, TheEntryUnderWayIsFinished) {
    TempDir out;
    bool cancel = false;
    CancelDuringEntry object(1, cancel);
    ExtractionOptions options;
    options.cancelled = [&] { return cancel; };
    Palette palette;
    const auto result = extractRows(object, out.path(), {0, 1, 2, 3}, options, palette);
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(result.written, 2u);
    EXPECT_EQ(result.notStarted, 2u);
    EXPECT_EQ(namesIn(out.path()), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(test::readFile(out / "b"), Bytes(200, 1));
}

// A progress sink whose Cancel is pressed after `allowed` checks.
class CancellingSink : public ProgressSink {
  public:
    explicit CancellingSink(std::size_t allowed) : trip_{allowed} {}
    void setRange(int) override {}
    void setPosition(int) override {}
    bool cancelRequested() override { return trip_(); }
    std::size_t asked() const { return trip_.asked; }

  private:
    TripAfter trip_;
};

TEST(CancelledWrite, LeavesNoContainerAndThePreviousFileAsItWas) {
    TempDir source;
    test::makeSourceFiles(source.path());
    for (const auto& kind : creatableKinds()) {
        if (!kind.createWriter) continue;
        const auto files = kind.gathering == Gathering::Tree ? GatherFolderTree(source.path())
                                                             : GatherFolderFiles(source.path());
        ASSERT_EQ(files.size(), 4u);
        // Before the first file, between two, and after the last one but before the rename.
        for (const std::size_t allowed : {std::size_t{0}, std::size_t{2}, files.size()}) {
            for (const bool previous : {false, true}) {
                const std::string what = std::string(kind.cliName) + " after " + std::to_string(allowed) +
                                         (previous ? " over a previous file" : "");
                TempDir out;
                const auto target = out / std::string(kind.defaultName);
                const auto old = test::bytesOf("the container as it was");
                if (previous) test::writeFile(target, old);
                CancellingSink sink(allowed);
                EXPECT_THROW(kind.createWriter()->WriteContainer(target, source.path(), files, &sink),
                             Cancelled)
                    << what;
                EXPECT_EQ(sink.asked(), allowed + 1) << what;
                if (previous) {
                    EXPECT_EQ(test::readFile(target), old) << what;
                    EXPECT_EQ(namesIn(out.path()), std::vector<std::string>{target.filename().string()})
                        << what;
                } else {
                    EXPECT_TRUE(namesIn(out.path()).empty()) << what;
                }
            }
        }
        // Not cancelled: every file is asked about and the container is there.
        TempDir out;
        CancellingSink never(files.size() + 1);
        kind.createWriter()->WriteContainer(out / "new", source.path(), files, &never);
        EXPECT_TRUE(fs::exists(out / "new")) << kind.cliName;
        EXPECT_EQ(never.asked(), files.size() + 1) << kind.cliName;
    }
}

} // namespace
} // namespace vexa
