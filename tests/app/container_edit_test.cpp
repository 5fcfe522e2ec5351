#include "app/container_edit.h"
#include "app/kinds.h"
#include "base/errors.h"
#include "base/file_io.h"
#include "base/text.h"
#include "support/physfs_peer.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <unistd.h>

namespace vexa {
namespace {

using test::ByteBuilder;
using test::Bytes;
using test::TempDir;

struct WritableKind {
    std::string_view cliName;
    bool physfs; // PhysicsFS reads this kind: it checks the edited file too
};

const WritableKind kKinds[] = {
    {"df-gob", false}, {"jk-gob", false}, {"goo", false},  {"lab", false}, {"pak", true},
    {"vp", false},     {"hog", true},     {"hog2", false}, {"lfd", false},
};

const CreatableKind& kindOf(std::string_view cliName) {
    return *findCreatableKind(cliName);
}

ContainerEdit openEdit(const fs::path& path, ContainerType code) {
    auto reader = CreateContainerObject(code);
    reader->ReadDirectory(openFileBytes(path));
    return ContainerEdit(std::shared_ptr<const ContainerReader>(std::move(reader)), code);
}

// Names every writable kind stores as they are (LFD's types among them).
struct Named {
    std::string name;
    Bytes bytes;
};

// The rows of the container at path with each entry's bytes, read back by a fresh reader.
std::vector<Named> readBack(const fs::path& path, ContainerType code) {
    auto reader = CreateContainerObject(code);
    reader->ReadDirectory(openFileBytes(path));
    std::vector<Named> out;
    for (const auto& row : reader->Rows()) {
        Bytes bytes(static_cast<std::size_t>(*row.size));
        if (!bytes.empty()) reader->Archive()->readExact(*row.offset, bytes, row.name);
        out.push_back({row.name, std::move(bytes)});
    }
    return out;
}

std::vector<std::uint32_t> readBackTimes(const fs::path& path, ContainerType code) {
    auto reader = CreateContainerObject(code);
    reader->ReadDirectory(openFileBytes(path));
    std::vector<std::uint32_t> times;
    for (std::size_t i = 0; i < reader->EntryCount(); ++i)
        times.push_back(reader->EntryStoredFields(i).time);
    return times;
}

bool operator==(const Named& a, const Named& b) {
    return a.name == b.name && a.bytes == b.bytes;
}

class ProgressThatCancels : public ProgressSink {
  public:
    void setRange(int) override {}
    void setPosition(int) override {}
    bool cancelRequested() override { return true; }
};

// Open, add, add at the top, replace, rename, remove, save; read back and compare every entry with
// what the edits should give, and the whole file with what the kind's writer makes of that list.
TEST(ContainerEdit, RoundTripOfEveryWritableKind) {
    for (const auto& k : kKinds) {
        SCOPED_TRACE(std::string(k.cliName));
        const auto& kind = kindOf(k.cliName);
        TempDir src, more, out;
        const auto alpha = test::patternBytes(100, 1), beta = test::patternBytes(200, 2),
                   gamma = test::patternBytes(50, 3);
        test::writeFile(src / "alpha.anm", alpha);
        test::writeFile(src / "beta.voc", beta);
        test::writeFile(src / "gamma.plt", gamma);
        const auto container = out / "c";
        kind.createWriter()->WriteContainer(container, src.path(), GatherFolderFiles(src.path()), nullptr);

        const auto delta = test::patternBytes(30, 4), zeta = test::patternBytes(70, 5),
                   beta2 = test::patternBytes(120, 6);
        test::writeFile(more / "delta.flm", delta);
        test::writeFile(more / "zeta.gmd", zeta);
        test::writeFile(more / "beta2.voc", beta2);

        auto edit = openEdit(container, kind.code);
        EXPECT_FALSE(edit.modified());
        edit.add(more / "delta.flm");
        edit.add(more / "zeta.gmd", "", 0);
        edit.replace(*edit.find("beta.voc"), more / "beta2.voc");
        edit.rename(*edit.find("alpha.anm"), "omega.anm");
        edit.remove({*edit.find("gamma.plt")});
        EXPECT_TRUE(edit.modified());
        edit.save(nullptr);
        EXPECT_FALSE(edit.modified());
        EXPECT_EQ(edit.rowCount(), 4u);

        const std::vector<Named> expected = {
            {"zeta.gmd", zeta}, {"omega.anm", alpha}, {"beta.voc", beta2}, {"delta.flm", delta}};
        EXPECT_EQ(readBack(container, kind.code), expected);

        // The same list built from files by the writer gives the same bytes: the layout is the kind's.
        TempDir same;
        SourceFileList files;
        for (const auto& e : expected) {
            test::writeFile(same / e.name, e.bytes);
            files.push_back({e.name, e.bytes.size(), 0});
        }
        // Kept entries keep their record's time; an added one has its file's.
        const auto times = readBackTimes(container, kind.code);
        for (std::size_t i = 0; i < files.size(); ++i)
            files[i].time = times[i];
        kind.createWriter()->WriteContainer(out / "same", same.path(), files, nullptr);
        EXPECT_EQ(test::readFile(container), test::readFile(out / "same"));

        if (k.physfs) {
            std::map<std::string, Bytes> want;
            for (const auto& e : expected)
                want[e.name] = e.bytes;
            EXPECT_EQ(test::readWithPhysfs(container), want);
        }
    }
}

// A container of three plain files (a.txt, b.txt, c.txt) of the kind, for the failure cases.
struct Fixture {
    TempDir src, out;
    fs::path container;
    ContainerType code;
    Bytes before;
    explicit Fixture(std::string_view cliName = "pak") {
        const auto& kind = kindOf(cliName);
        for (const auto* name : {"a.txt", "b.txt", "c.txt"})
            test::writeFile(src / name, test::patternBytes(64, static_cast<std::uint8_t>(name[0])));
        container = out / "c";
        code = kind.code;
        kind.createWriter()->WriteContainer(container, src.path(), GatherFolderFiles(src.path()), nullptr);
        before = test::readFile(container);
    }
};

// Whatever fails at Save leaves the old container byte for byte, and the edit as it was.
TEST(ContainerEdit, AFailedSaveLeavesTheOldContainer) {
    const struct {
        std::string fault;
        std::string message; // part of what the user is told
        std::function<void(Fixture&, ContainerEdit&)> act;
    } cases[] = {
        {"source vanished", "new.txt",
         [](Fixture& f, ContainerEdit& e) {
             e.add(f.src / "new.txt");
             fs::remove(f.src / "new.txt");
             e.save(nullptr);
         }},
        {"source changed size", "changed size",
         [](Fixture& f, ContainerEdit& e) {
             e.add(f.src / "new.txt");
             test::writeFile(f.src / "new.txt", test::patternBytes(5, 1));
             e.save(nullptr);
         }},
        {"cancelled", "Cancelled",
         [](Fixture&, ContainerEdit& e) {
             e.remove({0});
             ProgressThatCancels cancel;
             e.save(&cancel);
         }},
        {"an entry the edit names removed by another program", "'a.txt', which these edits change",
         [](Fixture& f, ContainerEdit& e) {
             e.rename(0, "x.txt");
             fs::remove(f.src / "a.txt");
             kindOf("pak").createWriter()->WriteContainer(f.container, f.src.path(),
                                                          GatherFolderFiles(f.src.path()), nullptr);
             f.before = test::readFile(f.container);
             e.save(nullptr);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        Fixture f;
        test::writeFile(f.src / "new.txt", test::patternBytes(40, 9));
        auto edit = openEdit(f.container, f.code);
        try {
            c.act(f, edit);
            ADD_FAILURE() << "saved";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
        EXPECT_EQ(test::readFile(f.container), f.before);
        EXPECT_TRUE(edit.modified());
        EXPECT_EQ(test::namesIn(f.out.path()), std::vector<std::string>{"c"}); // no temporary file left
    }
}

std::uint64_t inodeOf(const fs::path& path) {
    return platform::lookAtPath(path).inode;
}

// The bytes the kind's writer makes of a list of names and bytes (kept records' times taken from
// the container at like, as a save keeps them).
Bytes writtenFresh(const std::vector<Named>& entries, const CreatableKind& kind, const fs::path& like) {
    TempDir src, out;
    SourceFileList files;
    const auto times = readBackTimes(like, kind.code);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        test::writeFile(src / entries[i].name, entries[i].bytes);
        files.push_back({entries[i].name, entries[i].bytes.size(), times[i]});
    }
    kind.createWriter()->WriteContainer(out / "fresh", src.path(), files, nullptr);
    return test::readFile(out / "fresh");
}

// Records what the container holds at each point where Save asks whether to stop: where a crash
// could leave it.
class ProgressThatLooks : public ProgressSink {
  public:
    ProgressThatLooks(fs::path container, ContainerType code)
        : container_(std::move(container)), code_(code) {}
    void setRange(int) override {}
    void setPosition(int) override {}
    bool cancelRequested() override {
        TempDir copy;
        fs::copy_file(container_, copy / "c");
        seen.push_back(readBack(copy / "c", code_));
        return false;
    }
    std::vector<std::vector<Named>> seen;

  private:
    fs::path container_;
    ContainerType code_;
};

// Kinds whose directory lies at the end change only their end when the edits leave the leading
// entries where they are; the file is then the same as one written anew. Other edits write it anew.
TEST(ContainerEdit, SaveChangesOnlyTheEndWhereTheLeadingEntriesStay) {
    const struct {
        std::string edits;
        bool inPlace;
        std::function<void(Fixture&, ContainerEdit&)> act;
    } cases[] = {
        {"add at the end", true, [](Fixture& f, ContainerEdit& e) { e.add(f.src / "new.txt"); }},
        {"rename", true, [](Fixture&, ContainerEdit& e) { e.rename(1, "renamed.txt"); }},
        {"rename, add two", true,
         [](Fixture& f, ContainerEdit& e) {
             e.rename(0, "first.txt");
             e.add(f.src / "new.txt");
             e.add(f.src / "big.bin");
         }},
        {"replace the last", false, [](Fixture& f, ContainerEdit& e) { e.replace(2, f.src / "new.txt"); }},
        {"remove the last", false, [](Fixture&, ContainerEdit& e) { e.remove({2}); }},
        {"replace the first", false, [](Fixture& f, ContainerEdit& e) { e.replace(0, f.src / "new.txt"); }},
        {"add at the top", false, [](Fixture& f, ContainerEdit& e) { e.add(f.src / "new.txt", "", 0); }},
    };
    for (const auto* cliName : {"pak", "df-gob"}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(cliName) + ": " + c.edits);
            Fixture f(cliName);
            test::writeFile(f.src / "new.txt", test::patternBytes(40, 9));
            test::writeFile(f.src / "big.bin", test::patternBytes(300000, 8)); // past the old end and more
            const auto inode = inodeOf(f.container);
            auto edit = openEdit(f.container, f.code);
            c.act(f, edit);
            std::vector<Named> expected;
            for (const auto& row : edit.rows())
                expected.push_back({row.name, row.file.empty()
                                                  ? readBack(f.container, f.code)[*row.entry].bytes
                                                  : test::readFile(row.file)});
            const auto old = readBack(f.container, f.code);
            ProgressThatLooks looks(f.container, f.code);
            edit.save(&looks);
            EXPECT_EQ(inodeOf(f.container) == inode, c.inPlace);
            EXPECT_EQ(readBack(f.container, f.code), expected);
            EXPECT_EQ(test::readFile(f.container), writtenFresh(expected, kindOf(cliName), f.container));
            // Wherever it could have stopped, the file held the old container whole.
            ASSERT_FALSE(looks.seen.empty());
            for (const auto& seen : looks.seen)
                EXPECT_EQ(seen, old);
            EXPECT_EQ(test::namesIn(f.out.path()), std::vector<std::string>{"c"});
        }
    }
}

// An update in place that fails or is cancelled puts the old bytes back; a container with other
// names (hard links) is written anew, so the other names keep the old one.
TEST(ContainerEdit, AnUpdateInPlaceThatStopsPutsTheOldBytesBack) {
    for (const auto* cliName : {"pak", "df-gob"}) {
        SCOPED_TRACE(cliName);
        {
            Fixture f(cliName);
            test::writeFile(f.src / "new.txt", test::patternBytes(40, 9));
            test::writeFile(f.src / "gone.txt", test::patternBytes(40, 9));
            auto edit = openEdit(f.container, f.code);
            edit.rename(0, "first.txt");
            edit.add(f.src / "new.txt");
            edit.add(f.src / "gone.txt");
            fs::remove(f.src / "gone.txt"); // found missing after new.txt went in
            EXPECT_THROW(edit.save(nullptr), Error);
            EXPECT_EQ(test::readFile(f.container), f.before);
        }
        {
            Fixture f(cliName);
            test::writeFile(f.src / "new.txt", test::patternBytes(40, 9));
            auto edit = openEdit(f.container, f.code);
            edit.add(f.src / "new.txt");
            struct CancelSecond : ProgressSink {
                int asked = 0;
                void setRange(int) override {}
                void setPosition(int) override {}
                bool cancelRequested() override { return ++asked == 2; } // after parking
            } cancel;
            EXPECT_THROW(edit.save(&cancel), Cancelled);
            EXPECT_EQ(cancel.asked, 2);
            EXPECT_EQ(test::readFile(f.container), f.before);
        }
        {
            Fixture f(cliName);
            fs::create_hard_link(f.container, f.out / "link");
            auto edit = openEdit(f.container, f.code);
            edit.rename(0, "first.txt");
            edit.save(nullptr);
            EXPECT_EQ(test::readFile(f.out / "link"), f.before);
            EXPECT_EQ(readBack(f.container, f.code)[0].name, "first.txt");
        }
    }
}

// Save reads the container again under its lock and makes the edits on what is there now: what
// another program changed since it was opened is kept, in place or through a new file alike; where
// an entry the edits name is gone, nothing is written and Save As still works.
TEST(ContainerEdit, EditsAreMadeAgainOnWhatAnotherProgramSaved) {
    const struct {
        std::string kind, change;
        std::vector<std::string> others; // the names the other program leaves, in its order
        bool grow;                       // it also adds a byte at the end
        std::vector<std::string> saved;  // empty: refused
    } cases[] = {
        {"pak", "a byte added at the end", {"a.txt", "b.txt", "c.txt"}, true, {"bb.txt", "c.txt", "new.txt"}},
        {"df-gob",
         "a byte added at the end",
         {"a.txt", "b.txt", "c.txt"},
         true,
         {"bb.txt", "c.txt", "new.txt"}},
        {"pak",
         "an entry added",
         {"a.txt", "b.txt", "c.txt", "d.txt"},
         false,
         {"bb.txt", "c.txt", "d.txt", "new.txt"}},
        {"lab",
         "an entry added",
         {"a.txt", "b.txt", "c.txt", "d.txt"},
         false,
         {"bb.txt", "c.txt", "d.txt", "new.txt"}},
        {"pak", "an entry the edits remove removed", {"b.txt", "c.txt"}, false, {}},
        {"hog", "an entry the edits rename removed", {"a.txt", "c.txt"}, false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind + ": " + c.change);
        Fixture f(c.kind);
        test::writeFile(f.src / "new.txt", test::patternBytes(40, 9));
        test::writeFile(f.src / "d.txt", test::patternBytes(10, 'd'));
        auto edit = openEdit(f.container, f.code);
        edit.add(f.src / "new.txt");
        edit.rename(1, "bb.txt");
        edit.remove({0});

        TempDir other;
        for (const auto& name : c.others)
            fs::copy_file(f.src / name, other / name);
        kindOf(c.kind).createWriter()->WriteContainer(f.out / "theirs", other.path(),
                                                      GatherFolderFiles(other.path()), nullptr);
        auto theirs = test::readFile(f.out / "theirs");
        if (c.grow) theirs.push_back(0);

        if (c.saved.empty()) {
            // Moved onto the path: the open container's bytes are still there to save elsewhere.
            test::writeFile(f.out / "theirs", theirs);
            fs::rename(f.out / "theirs", f.container);
            EXPECT_THROW(edit.save(nullptr), ContainerChangedOnDisk);
            EXPECT_EQ(test::readFile(f.container), theirs);
            EXPECT_TRUE(edit.modified());
            edit.saveAs(f.out / "other", f.code, nullptr);
            EXPECT_EQ(readBack(f.out / "other", f.code).size(), 3u);
            continue;
        }
        test::writeFile(f.container, theirs); // rewritten where it lies
        fs::remove(f.out / "theirs");
        edit.save(nullptr);
        std::vector<std::string> names;
        for (const auto& entry : readBack(f.container, f.code)) {
            names.push_back(entry.name);
            const auto source = entry.name == "bb.txt" ? "b.txt" : entry.name;
            EXPECT_EQ(entry.bytes, test::readFile(f.src / source)) << entry.name;
        }
        EXPECT_EQ(names, c.saved);
        EXPECT_FALSE(edit.modified());
    }
}

// Every way of saving keeps the container's mode, owner and group: in place, through a new file, and
// a new container written over it.
TEST(ContainerEdit, SavesKeepModeAndOwner) {
    const bool root = ::geteuid() == 0;
    const struct {
        std::string mode;
        fs::perms perms;
        bool otherOwner;
    } cases[] = {
        {"0600", fs::perms::owner_read | fs::perms::owner_write, false},
        {"0640", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read, false},
        {"0444", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read, false},
        {"0640, another owner", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read, true},
    };
    const std::function<void(Fixture&)> saves[] = {
        [](Fixture& f) { // in place
            auto edit = openEdit(f.container, f.code);
            edit.add(f.src / "a.txt", "more.txt");
            edit.save(nullptr);
        },
        [](Fixture& f) { // through a new file
            auto edit = openEdit(f.container, f.code);
            edit.remove({0});
            edit.save(nullptr);
        },
        [](Fixture& f) { // a new file asked for
            auto edit = openEdit(f.container, f.code);
            edit.add(f.src / "a.txt", "more.txt");
            edit.save(nullptr, ContainerEdit::Writing::WholeFile);
        },
        [](Fixture& f) { // a container built over it
            kindOf("pak").createWriter()->WriteContainer(f.container, f.src.path(),
                                                         GatherFolderFiles(f.src.path()), nullptr);
        },
    };
    for (const auto& c : cases) {
        if (c.otherOwner && !root) continue; // only an administrator gives a file away
        for (std::size_t way = 0; way < std::size(saves); ++way) {
            SCOPED_TRACE(c.mode + ", way " + std::to_string(way));
            Fixture f;
            if (c.otherOwner) {
                ASSERT_EQ(::chown(f.container.c_str(), 12345, 23456), 0);
            }
            fs::permissions(f.container, c.perms);
            const auto before = platform::lookAtPath(f.container);
            saves[way](f);
            const auto after = platform::lookAtPath(f.container);
            EXPECT_EQ(after.mode, before.mode);
            EXPECT_EQ(after.owner, before.owner);
            EXPECT_EQ(after.group, before.group);
            EXPECT_EQ(way == 0, after.inode == before.inode); // the first way is the one in place
        }
    }
}

// Save As copies the entries from where they were read: once another program rewrote the file where it
// lies with other entries there, it refuses rather than copy what now stands there; a file that still
// lists them there (an entry added at its end) is copied.
TEST(ContainerEdit, SaveAsRefusesAFileRewrittenWhereItLies) {
    Fixture f;
    auto edit = openEdit(f.container, f.code);
    edit.remove({0});
    test::writeFile(f.src / "d.txt", test::patternBytes(10, 'd'));
    auto added = openEdit(f.container, f.code);
    added.add(f.src / "d.txt");
    added.save(nullptr); // in place: the kept entries stay where they were
    edit.saveAs(f.out / "other", f.code, nullptr);
    EXPECT_EQ(readBack(f.out / "other", f.code).size(), 2u);

    auto moved = openEdit(f.container, f.code);
    moved.remove({1});
    fs::remove(f.src / "a.txt");
    kindOf("pak").createWriter()->WriteContainer(f.out / "theirs", f.src.path(),
                                                 GatherFolderFiles(f.src.path()), nullptr);
    test::writeFile(f.container, test::readFile(f.out / "theirs")); // b.txt now lies where a.txt was
    EXPECT_THROW(moved.saveAs(f.out / "again", f.code, nullptr), ContainerChangedOnDisk);
    EXPECT_FALSE(fs::exists(f.out / "again"));
}

// Each edit refuses at once what the kind cannot store, naming the reason; the edit stays as it was.
TEST(ContainerEdit, EditsRefuseNamesTheKindCannotStore) {
    const struct {
        std::string kind, fault, message;
        std::function<void(Fixture&, ContainerEdit&)> act;
    } cases[] = {
        {"pak", "name past the field", "at most 55",
         [](Fixture&, ContainerEdit& e) { e.rename(0, std::string(56, 'n')); }},
        {"pak", "a character with no 8-bit form", "cannot be stored",
         [](Fixture&, ContainerEdit& e) { e.rename(0, "\xE2\x82\xAC.txt"); }},
        {"pak", "a name another row has", "the entry 'b.txt' is there",
         [](Fixture&, ContainerEdit& e) { e.rename(0, "b.txt"); }},
        {"pak", "an empty folder level", "folder level",
         [](Fixture&, ContainerEdit& e) { e.rename(0, "maps\\\\x.bsp"); }},
        {"df-gob", "a folder in a flat kind", "no folders",
         [](Fixture&, ContainerEdit& e) { e.rename(0, "maps\\x.bsp"); }},
        {"df-gob", "names the cut makes one", "would be stored as",
         [](Fixture& f, ContainerEdit& e) {
             e.rename(0, "abcdefghijkl.x");
             test::writeFile(f.src / "abcdefghijkm.x", test::patternBytes(3, 1));
             e.add(f.src / "abcdefghijkm.x");
         }},
        {"df-gob", "the container itself", "being edited",
         [](Fixture& f, ContainerEdit& e) { e.add(f.container, "self.txt"); }},
        {"df-gob", "a folder as a file", "Cannot open file",
         [](Fixture& f, ContainerEdit& e) { e.add(f.src.path(), "dir.txt"); }},
        {"df-gob", "a tree into a flat kind", "no folders",
         [](Fixture& f, ContainerEdit& e) { e.addTree(f.src.path()); }},
        {"lfd", "a name past LFD's field after its extension", "would be stored as",
         [](Fixture& f, ContainerEdit& e) {
             test::writeFile(f.src / "abcdefgh1.anm", test::patternBytes(3, 1));
             test::writeFile(f.src / "abcdefgh2.anm", test::patternBytes(3, 2));
             e.add(f.src / "abcdefgh1.anm");
             e.add(f.src / "abcdefgh2.anm");
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind + ": " + c.fault);
        Fixture f(c.kind);
        auto edit = openEdit(f.container, f.code);
        const auto rowsBefore = edit.rowCount();
        try {
            c.act(f, edit);
            ADD_FAILURE() << "accepted";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
            // The edit names the container; the writer's refusal gives only its reason.
            EXPECT_EQ(std::string(e.what()).find("Cannot create file"), std::string::npos) << e.what();
        }
        EXPECT_LE(edit.rowCount(), rowsBefore + 1);
        edit.save(nullptr); // whatever was accepted before the refusal still saves
    }
}

TEST(ContainerEdit, AddingANameThatIsThereReplacesItInPlace) {
    Fixture f;
    auto edit = openEdit(f.container, f.code);
    test::writeFile(f.out / "b.txt", test::patternBytes(9, 7));
    EXPECT_EQ(edit.add(f.out / "b.txt"), 1u);
    EXPECT_EQ(edit.rowCount(), 3u);
    EXPECT_TRUE(edit.row(1).replaced());
    edit.save(nullptr);
    EXPECT_EQ(readBack(f.container, f.code)[1], (Named{"b.txt", test::patternBytes(9, 7)}));
}

TEST(ContainerEdit, AddTreePutsAFolderUnderAName) {
    Fixture f("vp");
    TempDir tree;
    test::writeFile(tree / "tables" / "ships.tbl", test::patternBytes(10, 1));
    test::writeFile(tree / "x.txt", test::patternBytes(11, 2));
    auto edit = openEdit(f.container, f.code);
    EXPECT_EQ(edit.addTree(tree.path(), "data"), 2u);
    edit.save(nullptr);
    const auto back = readBack(f.container, f.code);
    ASSERT_EQ(back.size(), 5u);
    EXPECT_EQ(back[3].name, "data\\tables\\ships.tbl");
    EXPECT_EQ(back[4].name, "data\\x.txt");
}

// Copies are snapshots: the window keeps them for Undo and Redo.
TEST(ContainerEdit, CopiesAreIndependentSnapshots) {
    Fixture f;
    auto edit = openEdit(f.container, f.code);
    const auto snapshot = edit;
    edit.rename(0, "z.txt");
    edit.remove({1});
    EXPECT_EQ(snapshot.rowCount(), 3u);
    EXPECT_EQ(snapshot.row(0).name, "a.txt");
    EXPECT_FALSE(snapshot.modified());
}

// Fields of a kind's records that the rows do not show stay as they were on untouched entries.
TEST(ContainerEdit, RecordFieldsOfUntouchedEntriesAreKept) {
    TempDir dir;
    const auto data = test::bytesOf("0123456789");
    struct Case {
        std::string kind, file;
        Bytes bytes;
        std::size_t fieldAt, fieldWidth; // in the file, of the first entry's record
    };
    // HOG2: flags 7 and time 0x12345678; LAB: type code "ABCD"; LFD: type "XYZW"; VP: time 4242.
    ByteBuilder hog2;
    hog2.raw("HOG2").u32(2).u32(68 + 2 * 48).zeros(56);
    hog2.name("one.dat", 36).u32(7).u32(10).u32(0x12345678).name("two.dat", 36).u32(0).u32(10).u32(1);
    hog2.raw(data).raw(data);
    ByteBuilder lab;
    lab.raw("LABN").u32(0x10000).u32(2).u32(16);
    lab.u32(0).u32(16 + 32 + 16).u32(10).raw("ABCD").u32(8).u32(16 + 32 + 16 + 10).u32(10).raw("ABCD");
    lab.name("one.dat", 8).name("two.dat", 8).raw(data).raw(data);
    ByteBuilder lfd;
    lfd.raw("RMAP").name("resource", 8).u32(32);
    lfd.raw("XYZW").name("one", 8).u32(10).raw("XYZW").name("two", 8).u32(10);
    lfd.raw("XYZW").name("one", 8).u32(10).raw(data).raw("XYZW").name("two", 8).u32(10).raw(data);
    ByteBuilder vp;
    vp.raw("VPVP").u32(2).u32(16).u32(2);
    vp.u32(16 + 88).u32(10).name("one.dat", 32).u32(4242).u32(16 + 98).u32(10).name("two.dat", 32).u32(4243);
    vp.raw(data).raw(data);
    const Case cases[] = {
        {"hog2", "k.hog", hog2.bytes(), 68 + 36, 12},
        {"lab", "k.lab", lab.bytes(), 16 + 12, 4},
        {"lfd", "k.lfd", lfd.bytes(), 16, 4},
        {"vp", "k.vp", vp.bytes(), 16 + 40, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        const auto path = dir / c.file;
        test::writeFile(path, c.bytes);
        const auto code = kindOf(c.kind).code;
        auto edit = openEdit(path, code);
        const auto second = edit.row(1).name;
        edit.rename(1, "n" + second); // the second entry: the first is untouched
        edit.save(nullptr);
        const auto after = test::readFile(path);
        ASSERT_GE(after.size(), c.fieldAt + c.fieldWidth);
        EXPECT_TRUE(std::equal(after.begin() + static_cast<std::ptrdiff_t>(c.fieldAt),
                               after.begin() + static_cast<std::ptrdiff_t>(c.fieldAt + c.fieldWidth),
                               c.bytes.begin() + static_cast<std::ptrdiff_t>(c.fieldAt)));
        EXPECT_EQ(readBack(path, code)[0].bytes, data);
    }
}

// Two entries of one name that the container already held stay, both, through a save.
TEST(ContainerEdit, RepeatedNamesTheContainerHeldSurviveASave) {
    TempDir dir;
    ByteBuilder gob;
    gob.raw("GOB\n").u32(8 + 6).raw("abc").raw("def").u32(2);
    gob.u32(8).u32(3).name("SAME.TXT", 13).u32(11).u32(3).name("SAME.TXT", 13);
    test::writeFile(dir / "d.gob", gob.bytes());
    test::writeFile(dir / "x.txt", "x");
    auto edit = openEdit(dir / "d.gob", ContainerType::DFGob);
    edit.add(dir / "x.txt");
    edit.save(nullptr);
    const auto back = readBack(dir / "d.gob", ContainerType::DFGob);
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back[0], (Named{"SAME.TXT", test::bytesOf("abc")}));
    EXPECT_EQ(back[1], (Named{"SAME.TXT", test::bytesOf("def")}));
}

TEST(ContainerEdit, ConvertChecksEveryNameAgainstTheNewKind) {
    const struct {
        std::string from, to, name, message; // message empty: converts
    } cases[] = {
        {"jk-gob", "pak", std::string(60, 'l') + ".txt", "at most 55"},
        {"pak", "df-gob", "maps\\e1m1.bsp", "no folders"},
        {"pak", "hog", "long_name_one.txt", ""},
        {"jk-gob", "hog", "same_name_long_1.txt", "would both be stored as"},
        {"df-gob", "pak", "plain.txt", ""},
        {"hog", "hog2", "plain.txt", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.from + " -> " + c.to + ": " + c.name);
        Fixture f(c.from);
        auto edit = openEdit(f.container, f.code);
        test::writeFile(f.src / "n", test::patternBytes(5, 5));
        edit.add(f.src / "n", c.name);
        if (c.message == "would both be stored as") {
            test::writeFile(f.src / "m", test::patternBytes(6, 6));
            edit.add(f.src / "m", "same_name_long_2.txt");
        }
        const auto target = f.out / "converted";
        const auto code = kindOf(c.to).code;
        if (c.message.empty()) {
            edit.saveAs(target, code, nullptr);
            EXPECT_EQ(edit.kind(), code);
            const auto back = readBack(target, code);
            ASSERT_EQ(back.size(), 4u);
            EXPECT_EQ(back[0], (Named{"a.txt", test::patternBytes(64, 'a')}));
            EXPECT_EQ(back[3].bytes, test::patternBytes(5, 5));
        } else {
            try {
                edit.saveAs(target, code, nullptr);
                ADD_FAILURE() << "converted";
            } catch (const Error& e) {
                EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
            }
            EXPECT_FALSE(fs::exists(target));
            EXPECT_EQ(test::readFile(f.container), f.before);
        }
    }
}

// A name the user gives is stored as given or refused at once, naming the kind's limit: never cut
// without a word. The edit and the file stay as they were.
TEST(ContainerEdit, GivenNamesTheKindWouldCutAreRefused) {
    const struct {
        std::string kind, tooLong, limit;
    } cases[] = {
        {"df-gob", "averylongname.txt", "at most 12"},
        {"jk-gob", std::string(130, 'j') + ".txt", "at most 127"},
        {"goo", std::string(130, 'g') + ".txt", "at most 127"},
        {"lab", std::string(4100, 'l') + ".txt", "at most 4096"},
        {"pak", std::string(60, 'p') + ".txt", "at most 55"},
        {"vp", std::string(40, 'v') + ".txt", "at most 31"},
        {"hog", "averylongname.txt", "at most 12"},
        {"hog2", std::string(40, 'h') + ".txt", "at most 35"},
        {"lfd", "averylong.anm", "at most 8"},
        {"lfd", "short.txt", "resource type"}, // the extension would be lost
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind + ": " + c.tooLong.substr(0, 20));
        Fixture f(c.kind);
        test::writeFile(f.src / "new.voc", test::patternBytes(7, 7));
        const bool ownNameFitsOnDisk = c.tooLong.size() < 250;
        if (ownNameFitsOnDisk) test::writeFile(f.src / c.tooLong, test::patternBytes(7, 8));
        const std::vector<std::pair<std::string, std::function<void(ContainerEdit&)>>> edits = {
            {"rename", [&](ContainerEdit& e) { e.rename(0, c.tooLong); }},
            {"add as", [&](ContainerEdit& e) { e.add(f.src / "new.voc", c.tooLong); }},
            {"add of a file so named",
             [&](ContainerEdit& e) {
                 if (ownNameFitsOnDisk)
                     e.add(f.src / c.tooLong);
                 else
                     e.rename(0, c.tooLong);
             }},
        };
        for (const auto& [what, act] : edits) {
            SCOPED_TRACE(what);
            auto edit = openEdit(f.container, f.code);
            const auto first = edit.row(0).name;
            try {
                act(edit);
                ADD_FAILURE() << "accepted";
            } catch (const Error& e) {
                EXPECT_NE(std::string(e.what()).find(c.limit), std::string::npos) << e.what();
            }
            EXPECT_FALSE(edit.modified());
            EXPECT_EQ(edit.rowCount(), 3u);
            EXPECT_EQ(edit.row(0).name, first);
            edit.save(nullptr);
            EXPECT_EQ(test::readFile(f.container), f.before);
        }
    }
}

// Names taken from a folder or another container are cut as the kind's tools cut them; each cut is
// told (the name given and the name stored), and what is stored is what was told.
TEST(ContainerEdit, NamesCutFromAFolderOrAnotherKindAreTold) {
    const struct {
        std::string how, kind, given, stored;
    } cases[] = {
        {"create", "df-gob", "averylongname.txt", "averylongna"},
        {"create", "hog", "averylongname.txt", "averylongnam"},
        {"create", "hog2", std::string(40, 'h'), std::string(35, 'h')},
        {"create", "lfd", "toolongname.anm", "toolongn.anm"},
        {"create", "lfd", "readme.txt", "readme"},
        {"create", "lfd", "font.FON", ""}, // the type's own case is no cut
        {"create", "pak", "plain.txt", ""},
        {"add tree", "vp", std::string(40, 'v') + ".tbl", std::string(31, 'v')},
        {"add tree", "jk-gob", "plain.txt", ""},
        {"convert", "df-gob", "averylongname.txt", "averylongna"},
        {"convert", "hog", "short.txt", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how + " " + c.kind + ": " + c.given);
        TempDir src, out;
        test::writeFile(src / c.given, test::patternBytes(9, 9));
        const auto& kind = kindOf(c.kind);
        std::vector<CutName> cut;
        auto written = out / "c";
        std::optional<Fixture> f;
        if (c.how == "create") {
            cut = kind.createWriter()->WriteContainer(written, src.path(), GatherFolderFiles(src.path()),
                                                      nullptr);
        } else {
            // Added to a container of the kind, or to a PAK then converted to the kind.
            f.emplace(c.how == "add tree" ? c.kind : "pak");
            auto edit = openEdit(f->container, f->code);
            edit.addTree(src.path());
            cut = edit.cutNames(kind.code);
            if (c.how == "add tree") {
                edit.save(nullptr);
                written = f->container;
            } else {
                edit.saveAs(written, kind.code, nullptr);
            }
        }
        const auto back = readBack(written, kind.code);
        if (c.stored.empty()) {
            EXPECT_TRUE(cut.empty()) << cut.front().stored;
            EXPECT_TRUE(std::any_of(back.begin(), back.end(),
                                    [&](const Named& n) { return equalsNoCase(n.name, c.given); }));
            continue;
        }
        ASSERT_EQ(cut.size(), 1u);
        EXPECT_EQ(cut[0].given, c.given);
        EXPECT_EQ(cut[0].stored, c.stored);
        EXPECT_TRUE(
            std::any_of(back.begin(), back.end(), [&](const Named& n) { return n.name == c.stored; }));
    }
}

// Two names the cut makes one are refused, naming the other entry and what to do.
TEST(ContainerEdit, ACollisionAfterTheCutNamesTheOtherEntry) {
    Fixture f("vp");
    TempDir tree;
    test::writeFile(tree / (std::string(31, 'x') + "1.tbl"), test::patternBytes(3, 1));
    test::writeFile(tree / (std::string(31, 'x') + "2.tbl"), test::patternBytes(3, 2));
    auto edit = openEdit(f.container, f.code);
    try {
        edit.addTree(tree.path());
        ADD_FAILURE() << "accepted";
    } catch (const Error& e) {
        const std::string message = e.what();
        EXPECT_NE(message.find("as the entry '" + std::string(31, 'x') + "1.tbl' is"), std::string::npos)
            << message;
        EXPECT_NE(message.find("rename or remove"), std::string::npos) << message;
    }
    EXPECT_EQ(edit.rowCount(), 3u);
}

// Kinds whose games find names whatever their case take a name in another case for the same entry.
TEST(ContainerEdit, NamesCompareAsTheKindsGameComparesThem) {
    const struct {
        std::string kind;
        bool ignoresCase;
    } cases[] = {
        {"df-gob", true}, {"lfd", true}, {"hog", true}, {"hog2", true},
        {"jk-gob", true}, {"lab", true}, {"vp", true},  {"pak", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        TempDir src, out, more;
        test::writeFile(src / "A.VOC", test::patternBytes(4, 1));
        test::writeFile(src / "C.VOC", test::patternBytes(4, 2));
        const auto& kind = kindOf(c.kind);
        const auto container = out / "c";
        kind.createWriter()->WriteContainer(container, src.path(), GatherFolderFiles(src.path()), nullptr);
        test::writeFile(more / "c.voc", test::patternBytes(5, 3));

        auto edit = openEdit(container, kind.code);
        edit.add(more / "c.voc");
        EXPECT_EQ(edit.rowCount(), c.ignoresCase ? 2u : 3u);
        if (c.ignoresCase) {
            EXPECT_TRUE(edit.row(1).replaced());
        }
        EXPECT_EQ(edit.find("a.voc").has_value(), c.ignoresCase);

        auto renamed = openEdit(container, kind.code);
        try {
            renamed.rename(0, "c.voc");
            EXPECT_FALSE(c.ignoresCase) << "renamed beside C.VOC";
        } catch (const Error& e) {
            EXPECT_TRUE(c.ignoresCase) << e.what();
            EXPECT_NE(std::string(e.what()).find("'C."), std::string::npos) << e.what();
        }
        renamed.rename(0, "a.voc"); // its own name in another case is a rename, not a collision
        EXPECT_EQ(renamed.row(0).name, "a.voc");
        EXPECT_TRUE(renamed.modified());

        edit.save(nullptr);
        const auto back = readBack(container, kind.code);
        ASSERT_EQ(back.size(), c.ignoresCase ? 2u : 3u);
        EXPECT_EQ(back[1].bytes, c.ignoresCase ? test::patternBytes(5, 3) : test::patternBytes(4, 2));
    }
}

TEST(ContainerEdit, ReadOnlyKindsAreRefusedNamingTheEditableOnes) {
    for (const auto code :
         {ContainerType::DoomWad, ContainerType::Q1Bsp, ContainerType::HLBsp, ContainerType::DaikatanaPak,
          ContainerType::Rpk, ContainerType::Grp, ContainerType::I82Zfs}) {
        EXPECT_FALSE(ContainerEdit::Editable(code)) << codeOf(code);
    }
    EXPECT_EQ(ContainerEdit::EditableKindNames(),
              "Dark Forces GOB, Jedi Knight GOB, Outlaws LAB, PAK, Half-Life WAD3, "
              "FreeSpace VP, Descent HOG, Descent 3 HOG2, Dark Forces LFD, Quake WAD2");
}

} // namespace
} // namespace vexa
