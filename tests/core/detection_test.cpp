#include "app/Global.h"
#include "app/kinds.h"
#include "base/errors.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

namespace vexa {
namespace {

using test::Bytes;

TEST(Detection, EveryKindByItsFirstBytesOrExtension) {
    const struct {
        const char* file;
        Bytes head;
        ContainerType code;
    } cases[] = {
        {"a.wad", test::bytesOf("WAD3"), Kind::HLWad3},
        {"a.gob", test::bytesOf("GOB\n"), Kind::DFGob},
        {"a.gob", test::bytesOf("GOB "), Kind::JKGob},
        {"a.lab", test::bytesOf("LABN"), Kind::OLLab},
        {"x.pak", test::bytesOf("PACK"), Kind::Pak},
        {"a.wad", test::bytesOf("IWAD"), Kind::DoomWad},
        {"a.wad", test::bytesOf("PWAD"), Kind::DoomWad},
        {"a.wad", test::bytesOf("WAD2"), Kind::Q1Wad2},
        {"a.bsp", Bytes{0x1D, 0, 0, 0, 0x10}, Kind::Q1Bsp},
        {"a.bsp", Bytes{0x1D}, Kind::Q1Bsp}, // missing bytes count as zero
        {"a.hog", test::bytesOf("DHF"), Kind::DescentHog},
        {"a.hog", test::bytesOf("DHFz"), Kind::DescentHog},
        {"a.hog", test::bytesOf("HOG2"), Kind::DescentHog2},
        {"a.vp", test::bytesOf("VPVP"), Kind::FreeSpaceVP},
        {"a.lfd", test::bytesOf("RMAP"), Kind::DFLfd},
        {"a.zfs", test::bytesOf("ZFS3"), Kind::I82Zfs},
        {"a.rpk", test::bytesOf("Roni"), Kind::Rpk},
        {"a.bm", Bytes{'B', 'M', ' ', 0x1E}, Kind::DFBm},
        {"a.bm", test::bytesOf("BM  "), Kind::JKBm},
        {"a.mat", test::bytesOf("MAT "), Kind::JKMat},
        {"x.grp", test::bytesOf("PACK"), Kind::Grp}, // the extension decides over the content
        {"x.GrP", Bytes{}, Kind::Grp},
        {"x.wal", test::bytesOf("GOB\n"), Kind::Q2Wal},
        {"x.Wal", Bytes{}, Kind::Q2Wal},
        {"x.wAL", test::bytesOf("junk"), Kind::Q2Wal},
        {"a.bm", test::bytesOf("BMxx"), Kind::Unknown},
        {"a.gob", test::bytesOf("gob "), Kind::Unknown},
        {"empty", Bytes{}, Kind::Unknown},
        {"grp.dir.x", test::bytesOf("xxxx"), Kind::Unknown},
    };
    for (const auto& c : cases) {
        test::TempDir dir;
        test::writeFile(dir / c.file, c.head);
        EXPECT_EQ(DetectContainerType(dir / c.file), c.code)
            << c.file << " holding " << c.head.size() << " bytes";
    }
}

TEST(Detection, UnreadableFileGivesTheFileLayerMessage) {
    try {
        DetectContainerType("/nonexistent/file.gob");
        FAIL();
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Cannot open file /nonexistent/file.gob: No such file or directory");
    }
    test::TempDir dir;
    EXPECT_THROW(DetectContainerType(dir.path()), Error); // a folder is no file
}

TEST(KindTable, EveryCodeHasOneNameAndUnknownHasNone) {
    EXPECT_EQ(kindName(Kind::DFGob), "Dark Forces GOB");
    EXPECT_EQ(kindName(Kind::Unknown), "unknown");
    EXPECT_EQ(CreateContainerObject(Kind::Unknown), nullptr);
    for (const auto& k : kindTable())
        EXPECT_FALSE(k.name.empty());
    EXPECT_TRUE(isImageKind(Kind::JKBm));
    EXPECT_FALSE(isImageKind(Kind::DFGob));
}

TEST(KindTable, CreatableKindsInPageOrderWithUniqueCommandNames) {
    const auto& kinds = creatableKinds();
    ASSERT_EQ(kinds.size(), 12u);
    EXPECT_EQ(kinds[0].defaultName, "New_DF.Gob");
    EXPECT_EQ(kinds[5].cliName, "hl-wad");
    EXPECT_EQ(kinds[9].defaultName, "New_DF.Lfd");
    EXPECT_EQ(kinds[10].cliName, "wad3");
    EXPECT_EQ(kinds[11].cliName, "wad2");
    for (std::size_t i = 0; i < kinds.size(); ++i)
        for (std::size_t j = i + 1; j < kinds.size(); ++j)
            EXPECT_NE(kinds[i].cliName, kinds[j].cliName);
    EXPECT_EQ(findCreatableKind("df-gob"), &kinds[0]);
    EXPECT_EQ(findCreatableKind("nope"), nullptr);
}

} // namespace
} // namespace vexa
