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
        {"a.wad", test::bytesOf("WAD3"), ContainerType::HLWad3},
        {"a.gob", test::bytesOf("GOB\n"), ContainerType::DFGob},
        {"a.gob", test::bytesOf("GOB "), ContainerType::JKGob},
        {"a.lab", test::bytesOf("LABN"), ContainerType::OLLab},
        {"x.pak", test::bytesOf("PACK"), ContainerType::Pak},
        {"a.wad", test::bytesOf("IWAD"), ContainerType::DoomWad},
        {"a.wad", test::bytesOf("PWAD"), ContainerType::DoomWad},
        {"a.wad", test::bytesOf("WAD2"), ContainerType::Q1Wad2},
        {"a.bsp", Bytes{0x1D, 0, 0, 0, 0x10}, ContainerType::Q1Bsp},
        {"a.bsp", Bytes{0x1D}, ContainerType::Q1Bsp}, // missing bytes count as zero
        {"a.hog", test::bytesOf("DHF"), ContainerType::DescentHog},
        {"a.hog", test::bytesOf("DHFz"), ContainerType::DescentHog},
        {"a.hog", test::bytesOf("HOG2"), ContainerType::DescentHog2},
        {"a.vp", test::bytesOf("VPVP"), ContainerType::FreeSpaceVP},
        {"a.lfd", test::bytesOf("RMAP"), ContainerType::DFLfd},
        {"a.zfs", test::bytesOf("ZFS3"), ContainerType::I82Zfs},
        {"a.rpk", test::bytesOf("Roni"), ContainerType::Rpk},
        {"a.bm", Bytes{'B', 'M', ' ', 0x1E}, ContainerType::DFBm},
        {"a.bm", test::bytesOf("BM  "), ContainerType::JKBm},
        {"a.mat", test::bytesOf("MAT "), ContainerType::JKMat},
        {"x.grp", test::bytesOf("PACK"), ContainerType::Grp}, // the extension decides over the content
        {"x.GrP", Bytes{}, ContainerType::Grp},
        {"x.wal", test::bytesOf("GOB\n"), ContainerType::Q2Wal},
        {"x.Wal", Bytes{}, ContainerType::Q2Wal},
        {"x.wAL", test::bytesOf("junk"), ContainerType::Q2Wal},
        {"a.bm", test::bytesOf("BMxx"), ContainerType::Unknown},
        {"a.gob", test::bytesOf("gob "), ContainerType::Unknown},
        {"empty", Bytes{}, ContainerType::Unknown},
        {"grp.dir.x", test::bytesOf("xxxx"), ContainerType::Unknown},
    };
    for (const auto& c : cases) {
        test::TempDir dir;
        test::writeFile(dir / c.file, c.head);
        EXPECT_EQ(detectKind(dir / c.file), c.code) << c.file << " holding " << c.head.size() << " bytes";
    }
}

TEST(Detection, UnreadableFileGivesTheFileLayerMessage) {
    try {
        detectKind("/nonexistent/file.gob");
        FAIL();
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Cannot open file /nonexistent/file.gob: No such file or directory");
    }
    test::TempDir dir;
    EXPECT_THROW(detectKind(dir.path()), Error); // a folder is no file
}

TEST(KindTable, EveryCodeHasOneNameAndUnknownHasNone) {
    EXPECT_EQ(kindName(ContainerType::DFGob), "Dark Forces GOB");
    EXPECT_EQ(kindName(ContainerType::Unknown), "unknown");
    EXPECT_EQ(CreateContainerObject(ContainerType::Unknown), nullptr);
    for (const auto* k : containerKinds()) {
        EXPECT_FALSE(k->name.empty());
        EXPECT_EQ(findKind(k->code), k) << k->name; // one record a code
    }
    EXPECT_TRUE(isImageKind(ContainerType::JKBm));
    EXPECT_FALSE(isImageKind(ContainerType::DFGob));
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
