#include "app/extract.h"
#include "base/byte_reader.h"
#include "base/errors.h"
#include "base/file_io.h"
#include "formats/DF_Gob.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vexa {
namespace {

using test::TempDir;

// A container whose names are given by the test, to drive the extraction run.
class NamedEntries : public ContainerReader {
  public:
    explicit NamedEntries(std::vector<std::string> names, bool folders = false) : folders_(folders) {
        std::vector<EntryRow> rows;
        for (auto& name : names)
            rows.push_back({std::move(name), 1, std::nullopt, {}});
        SetRows(std::move(rows));
    }
    void ReadDirectory(std::shared_ptr<const ByteSource> source) override {
        auto rows = Rows();
        SetArchive(source->path(), nullptr);
        SetRows(std::move(rows));
    }
    bool CreatesFolders() const override { return folders_; }
    void ExtractEntry(const OutputPath& out, std::size_t index) const override {
        OutputFile f(out); // creates no folders, as the flat kinds' outputs
        f.write(test::bytesOf(std::to_string(index)));
        f.close();
        ++extracted;
        if (afterEntry) afterEntry(index);
    }
    std::function<void(std::size_t)> afterEntry; // between two entries, on the run's thread
    mutable int extracted = 0;

  private:
    bool folders_;
};

TEST(Extensions, CollectedUpperCasedSortedAndOnce) {
    const std::vector<std::string> rows = {"a.wav", "b.WAV",         "c.voc",  "readme",
                                           "x.",    "sub.dir\\file", "s\\f.bm"};
    EXPECT_EQ(CollectExtensions(rows), (std::vector<std::string>{".BM", ".VOC", ".WAV"}));
    EXPECT_EQ(rowsWithExtensions(rows, {".WAV"}), (std::vector<std::size_t>{0, 1}));
    EXPECT_EQ(rowsWithExtensions(rows, {".BM", ".VOC"}), (std::vector<std::size_t>{2, 6}));
    EXPECT_TRUE(rowsWithExtensions(rows, {}).empty());
}

TEST(Selection, UnitesChoicesInListOrderAndNamesWhatIsMissing) {
    std::vector<EntryRow> rows;
    for (const char* name : {"a.wav", "B.WAV", "c.voc", "dup", "dup", "sub\\e.wav"})
        rows.push_back({name, 1, std::nullopt, {}});
    using Rows = std::vector<std::size_t>;
    struct Case {
        ExtractionSelection selection;
        Rows chosen;
        const char* error; // empty: chosen
    };
    const Case cases[] = {
        {{}, {0, 1, 2, 3, 4, 5}, ""},
        {{{".WAV"}, {}, {}, {}}, {0, 1, 5}, ""},
        {{{".BM"}, {}, {}, {}}, {}, ""},
        {{{}, {"dup"}, {}, {}}, {3, 4}, ""},
        {{{}, {}, {5, 0, 0}, {}}, {0, 5}, ""},
        {{{".VOC"}, {"a.wav"}, {3}, {}}, {0, 2, 3}, ""},
        {{{}, {}, {}, "WAV"}, {0, 1, 5}, ""},
        {{{".WAV"}, {}, {}, "s*\\"}, {5}, ""},
        {{{}, {"nope"}, {}, {}}, {}, "No entry named nope in x.gob"},
        {{{}, {}, {6}, {}}, {}, "No entry 6 in x.gob (it has 6)"},
        {{{".VOC"}, {}, {}, "wav"}, {}, "No entry of x.gob matches --filter wav"},
    };
    for (std::size_t k = 0; k < std::size(cases); ++k) {
        SCOPED_TRACE("case " + std::to_string(k));
        const auto& c = cases[k];
        if (*c.error) {
            try {
                selectRows(rows, c.selection, "x.gob");
                ADD_FAILURE() << "no error";
            } catch (const Error& e) {
                EXPECT_STREQ(e.what(), c.error);
            }
        } else {
            EXPECT_EQ(selectRows(rows, c.selection, "x.gob"), c.chosen);
        }
    }
}

TEST(Extraction, WritesChosenRowsAndRefusesEscapingNames) {
    TempDir target;
    NamedEntries c({"a.txt", "..\\evil", "sub\\b.txt", "/abs", "c.txt"}, true);
    std::vector<std::size_t> seen;
    const auto r = extractRows(c, target.path(), {0, 1, 2, 3, 4}, [&](std::size_t i) { seen.push_back(i); });
    EXPECT_EQ(r.written, 3u);
    ASSERT_EQ(r.refused.size(), 2u);
    EXPECT_EQ(r.refused[0].index, 1u);
    EXPECT_NE(r.statusText(), "Extraction  Complete");
    EXPECT_NE(r.refusalText().find("'..\\evil'"), std::string::npos);
    EXPECT_EQ(seen, (std::vector<std::size_t>{0, 1, 2, 3, 4}));
    EXPECT_TRUE(fs::exists(target / "sub" / "b.txt"));
    EXPECT_FALSE(fs::exists(target.path().parent_path() / "evil"));
}

TEST(Extraction, NothingChosenWritesNothing) {
    TempDir target;
    NamedEntries c({"a"});
    const auto r = extractRows(c, target.path(), {});
    EXPECT_EQ(r.written, 0u);
    EXPECT_EQ(r.statusText(), "Extraction  Complete");
    EXPECT_TRUE(fs::is_empty(target.path()));
}

TEST(Extraction, FlatKindsCreateNoFolders) {
    TempDir target;
    NamedEntries c({"sub\\b.txt", "c.txt"}, false);
    const auto r = extractRows(c, target.path(), {0, 1});
    ASSERT_EQ(r.refused.size(), 1u); // "Cannot create file ...: No such file or directory"
    EXPECT_NE(r.refused[0].reason.find("No such file or directory"), std::string::npos)
        << r.refused[0].reason;
    EXPECT_FALSE(fs::exists(target / "sub"));
    EXPECT_EQ(test::namesIn(target.path()), (std::vector<std::string>{"c.txt"}));
}

TEST(Extraction, NeverWritesThroughALinkOrOverTheArchive) {
    TempDir target, elsewhere;
    fs::create_directory_symlink(elsewhere.path(), target / "sub");
    test::writeFile(target / "self.gob", "GOB\n");
    NamedEntries c({"sub\\x", "self.gob"}, true);
    c.ReadDirectory(openFileBytes(target / "self.gob"));
    const auto r = extractRows(c, target.path(), {0, 1});
    EXPECT_EQ(r.refused.size(), 2u);
    EXPECT_TRUE(fs::is_empty(elsewhere.path()));
    EXPECT_EQ(test::readFile(target / "self.gob"), test::bytesOf("GOB\n"));
}

// Once a folder was checked in a run, later entries into it have only their own name looked at:
// each of these still gets the verdict and message the full walk gives, in a sub-folder and in the
// target itself, whether it comes first into its folder or after another entry.
TEST(Extraction, EntriesOfACheckedFolderAreStillCheckedThemselves) {
    enum class Leaf { Absent, OldFile, Link, Archive, HardLinkToArchive };
    struct Case {
        const char* what;
        Leaf leaf;
        const char* reason; // empty: written
    };
    const Case cases[] = {
        {"a new file", Leaf::Absent, ""},
        {"a file of the same name", Leaf::OldFile, ""},
        {"a symbolic link", Leaf::Link, "a symbolic link stands at "},
        {"the archive", Leaf::Archive, "it would overwrite the container being read"},
        {"a hard link to the archive", Leaf::HardLinkToArchive,
         "it would overwrite the container being read"},
    };
    for (const auto& c : cases) {
        for (const std::string folder : {"", "sub\\"}) {
            for (const bool first : {true, false}) {
                SCOPED_TRACE(std::string(c.what) + " in '" + folder + "'" +
                             (first ? ", first" : ", after another"));
                if (c.leaf == Leaf::Archive && folder.empty()) continue; // the archive lies in sub
                TempDir target, elsewhere;
                const auto archive = c.leaf == Leaf::Archive ? target / "sub" / "x" : target / "self.gob";
                test::writeFile(archive, "GOB\n");
                const auto leaf = folder.empty() ? target / "x" : target / "sub" / "x";
                fs::create_directories(leaf.parent_path());
                if (c.leaf == Leaf::OldFile) test::writeFile(leaf, "old contents");
                if (c.leaf == Leaf::Link) fs::create_symlink(elsewhere / "x", leaf);
                if (c.leaf == Leaf::HardLinkToArchive) fs::create_hard_link(archive, leaf);

                NamedEntries entries({folder + "before", folder + "x"}, true);
                entries.ReadDirectory(openFileBytes(archive));
                const auto r =
                    extractRows(entries, target.path(),
                                first ? std::vector<std::size_t>{1} : std::vector<std::size_t>{0, 1});
                if (*c.reason == '\0') {
                    EXPECT_TRUE(r.refused.empty()) << r.refusalText();
                    EXPECT_EQ(test::readFile(leaf), test::bytesOf("1"));
                } else {
                    ASSERT_EQ(r.refused.size(), 1u);
                    EXPECT_EQ(r.refused[0].index, 1u);
                    EXPECT_EQ(r.refused[0].reason.rfind(c.reason, 0), 0u) << r.refused[0].reason;
                    if (c.leaf == Leaf::Link) {
                        EXPECT_EQ(r.refused[0].reason, std::string(c.reason) + leaf.string());
                    }
                    EXPECT_EQ(test::readFile(archive), test::bytesOf("GOB\n"));
                    EXPECT_FALSE(fs::exists(elsewhere / "x"));
                }
            }
        }
    }
}

// A folder that is a link is refused for every entry below it, not only for the first.
TEST(Extraction, EveryEntryBelowALinkedFolderIsRefused) {
    TempDir target, elsewhere;
    fs::create_directory_symlink(elsewhere.path(), target / "sub");
    NamedEntries c({"a", "sub\\x", "sub\\y", "sub\\deeper\\z", "b"}, true);
    const auto r = extractRows(c, target.path(), {0, 1, 2, 3, 4});
    EXPECT_EQ(r.written, 2u);
    ASSERT_EQ(r.refused.size(), 3u);
    for (const auto& refused : r.refused)
        EXPECT_EQ(refused.reason, "a symbolic link stands at " + (target / "sub").string());
    EXPECT_TRUE(fs::is_empty(elsewhere.path()));
}

TEST(FreeSpace, AsksBelowTheThresholdOnly) {
    EXPECT_FALSE(lowSpaceQuestion("/", 200'000'000).has_value());
    const auto q = lowSpaceQuestion("/", 199'999'999);
    ASSERT_TRUE(q.has_value());
    EXPECT_EQ(*q,
              "There is less than 200MB remaining on drive \"/\"\nDo you want to continue with extraction ?");
    EXPECT_TRUE(lowSpaceQuestion("/", -1).has_value()); // an unanswered query counts as no room
}

// A large entry past the kernel copy's first chunk and the buffer's size comes out whole.
TEST(Extraction, LargeSparseEntryCopiesWhole) {
    TempDir dir;
    const std::uint64_t size = (96ull << 20) + 12345;
    {
        OutputFile f(dir / "big.gob");
        f.write(test::bytesOf("GOB\n"));
        std::vector<std::uint8_t> header(4);
        putU32(header.data(), static_cast<std::uint32_t>(8 + size));
        f.write(header);
        f.close();
    }
    fs::resize_file(dir / "big.gob", 8 + size); // sparse: costs no disk
    {
        test::ByteBuilder dirBytes;
        dirBytes.u32(1).u32(8).u32(static_cast<std::uint32_t>(size)).name("BIG.DAT", 13);
        std::ofstream out(dir / "big.gob", std::ios::binary | std::ios::app);
        out.write(reinterpret_cast<const char*>(dirBytes.bytes().data()), dirBytes.size());
    }
    TDFGobReader gob;
    gob.ReadDirectory(openFileBytes(dir / "big.gob"));
    ASSERT_EQ(gob.EntrySize(0), size);
    fs::create_directory(dir / "out");
    extractRows(gob, dir / "out", {0});
    EXPECT_EQ(fs::file_size(dir / "out" / "BIG.DAT"), size);
}

// A folder of the target swapped for a link to another folder between two entries (as a process
// racing the run could): the entries after the swap are refused, and nothing reaches the other folder.
TEST(Extraction, AFolderSwappedForALinkMidRunSendsNothingThrough) {
    TempDir target, elsewhere, aside;
    NamedEntries c({"sub\\a", "sub\\b", "sub\\c", "top"}, true);
    c.afterEntry = [&](std::size_t index) {
        if (index != 0) return;
        fs::rename(target / "sub", aside / "sub");
        fs::create_directory_symlink(elsewhere.path(), target / "sub");
    };
    const auto r = extractRows(c, target.path(), {0, 1, 2, 3});
    EXPECT_TRUE(fs::is_empty(elsewhere.path()));
    EXPECT_EQ(r.written, 2u); // sub\a before the swap, top after it
    ASSERT_EQ(r.refused.size(), 2u);
    for (const auto& refused : r.refused)
        EXPECT_EQ(refused.reason, "a symbolic link stands at " + (target / "sub").string());
    EXPECT_EQ(r.statusText(), "Extraction ended: 2 written, 2 entries not extracted");
}

// Whatever stands where an output should go, it costs that entry only, with the reason; the run
// goes on, nothing is written through it, and a FIFO there is never opened (it would hang).
TEST(Extraction, EachBadOutputCostsOnlyItsOwnEntry) {
    struct Case {
        const char* what;
        std::function<void(const TempDir& target, const TempDir& elsewhere)> plant;
        std::vector<std::string> names; // the last is the bad one
        std::string reason;             // after the target's path
    };
    const Case cases[] = {
        {"a folder", [](auto& t, auto&) { fs::create_directory(t / "x"); }, {"x"}, "a folder stands at /x"},
        {"a symbolic link",
         [](auto& t, auto& e) { fs::create_symlink(e / "x", t / "x"); },
         {"x"},
         "a symbolic link stands at /x"},
        {"a FIFO",
         [](auto& t, auto&) { ASSERT_EQ(::mkfifo((t / "x").c_str(), 0600), 0); },
         {"x"},
         "something other than a regular file stands at /x"},
        {"a file where a folder should be",
         [](auto&, auto&) {},
         {"x", "x\\y"},
         "a file stands at /x where a folder should be"},
        {"a folder where a file should be", [](auto&, auto&) {}, {"x\\y", "x"}, "a folder stands at /x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir target, elsewhere;
        c.plant(target, elsewhere);
        auto names = c.names;
        names.push_back("after");
        NamedEntries entries(names, true);
        std::vector<std::size_t> rows(names.size());
        for (std::size_t i = 0; i < rows.size(); ++i)
            rows[i] = i;
        const auto r = extractRows(entries, target.path(), rows);
        EXPECT_EQ(r.written, names.size() - 1);
        ASSERT_EQ(r.refused.size(), 1u);
        EXPECT_EQ(r.refused[0].index, names.size() - 2);
        EXPECT_EQ(r.refused[0].reason, c.reason.substr(0, c.reason.find('/')) + target.path().string() +
                                           c.reason.substr(c.reason.find('/')));
        EXPECT_TRUE(fs::is_regular_file(target / "after"));
        EXPECT_TRUE(fs::is_empty(elsewhere.path()));
    }
}

// A hard link planted under an entry's name is replaced, not written through; a failed entry
// leaves neither a partial file under its name nor its temporary file.
TEST(Extraction, OutputsReplaceHardLinksAndLeaveNoTemporaryFiles) {
    TempDir target, outside;
    test::writeFile(outside / "victim", "precious");
    fs::create_hard_link(outside / "victim", target / "victim");
    NamedEntries c({"victim"});
    const auto r = extractRows(c, target.path(), {0});
    EXPECT_EQ(r.written, 1u);
    EXPECT_EQ(test::readFile(outside / "victim"), test::bytesOf("precious"));
    EXPECT_EQ(test::readFile(target / "victim"), test::bytesOf("0"));
    EXPECT_EQ(test::namesIn(target.path()), (std::vector<std::string>{"victim"}));
}

// The temporary files of a run that was killed are removed by the next run that reaches their
// folder; those of a process still running are left alone.
TEST(Extraction, LeftoversOfAKilledRunAreRemovedByTheNext) {
    TempDir target;
    const pid_t gone = ::fork();
    if (gone == 0) ::_exit(0);
    ASSERT_GT(gone, 0);
    ::waitpid(gone, nullptr, 0);
    const auto dead = ".vexa-" + std::to_string(gone) + "-0.part";
    const auto alive = ".vexa-" + std::to_string(::getppid()) + "-0.part";
    for (const auto& folder : {target.path(), target / "sub"}) {
        test::writeFile(folder / dead, "half");
        test::writeFile(folder / alive, "busy");
    }
    test::writeFile(target / "other" / dead, "not reached");
    NamedEntries c({"a", "sub\\b"}, true);
    const auto r = extractRows(c, target.path(), {0, 1});
    EXPECT_EQ(r.written, 2u);
    EXPECT_EQ(test::namesIn(target.path()), (std::vector<std::string>{alive, "a", "other", "sub"}));
    EXPECT_EQ(test::namesIn(target / "sub"), (std::vector<std::string>{alive, "b"}));
    EXPECT_EQ(test::namesIn(target / "other"), (std::vector<std::string>{dead}));
}

TEST(FreeSpace, AFolderNotMadeYetIsAskedOfTheFolderItWillBeMadeIn) {
    TempDir dir;
    EXPECT_EQ(lowSpaceQuestion(dir / "new" / "deeper"), lowSpaceQuestion(dir.path()));
    EXPECT_FALSE(fs::exists(dir / "new"));
}

} // namespace
} // namespace vexa
