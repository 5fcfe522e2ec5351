#include "app/kinds.h"

#include "app/image_folder.h"
#include "base/errors.h"
#include "formats/DF_Gob.h"
#include "formats/DF_Lfd.h"
#include "formats/Descent_Hog.h"
#include "formats/Descent_Hog2.h"
#include "formats/Doom_Wad.h"
#include "formats/FreeSpace_VP.h"
#include "formats/HL_Pak.h"
#include "formats/HL_WAD3.h"
#include "formats/I82_ZFS.h"
#include "formats/JK_Gob.h"
#include "formats/OL_Lab.h"
#include "formats/Q1_Bsp.h"
#include "formats/Q1_Wad2.h"
#include "formats/SW_Grp.h"
#include "formats/rpk.h"
#include "images/DF_BM.h"
#include "images/JK_BM.h"
#include "images/JK_Mat.h"
#include "images/Q2_Wal.h"

namespace vexa {

using namespace std::literals;

namespace {

template <class T> std::unique_ptr<ContainerReader> reader() {
    return std::make_unique<T>();
}
template <class T> std::unique_ptr<EntryLayoutWriter> writer() {
    return std::make_unique<T>();
}
template <class T> std::unique_ptr<ImageDecoder> decoder() {
    return std::make_unique<T>();
}

} // namespace

const std::vector<KindInfo>& kindTable() {
    static const std::vector<KindInfo> table = {
        {Kind::HLWad3, "Half-Life WAD3", "WAD3"sv, reader<TWadReader>},
        {Kind::DFGob, "Dark Forces GOB", "GOB\n"sv, reader<TDFGobReader>},
        {Kind::JKGob, "Jedi Knight GOB", "GOB "sv, reader<TJKGobReader>},
        {Kind::OLLab, "Outlaws LAB", "LABN"sv, reader<TOLLabReader>},
        {Kind::Pak, "PAK", "PACK"sv, reader<THLPakReader>},
        {Kind::DoomWad, "Doom WAD", "IWAD"sv, reader<TDoomWadReader>},
        {Kind::DoomWad, "Doom WAD", "PWAD"sv, reader<TDoomWadReader>},
        {Kind::Q1Wad2, "Quake WAD2", "WAD2"sv, reader<TQuakeWadReader>, nullptr, {}, Game::Quake1Bsp},
        {Kind::Q1Bsp, "Quake 1 BSP", "\x1D\0\0\0"sv, reader<TQ1BspReader>, nullptr, {}, Game::Quake1Bsp},
        {Kind::DescentHog, "Descent HOG", "DHF"sv, reader<TDescentHogReader>},
        {Kind::DescentHog2, "Descent 3 HOG2", "HOG2"sv, reader<TDescentHog2Reader>},
        {Kind::FreeSpaceVP, "FreeSpace VP", "VPVP"sv, reader<TFreeSpaceVPReader>},
        {Kind::DFLfd, "Dark Forces LFD", "RMAP"sv, reader<TDFLfdReader>},
        {Kind::Grp, "GRP", ".GRP"sv, reader<TSWGrpReader>},
        {Kind::I82Zfs, "I82 ZFS", "ZFS3"sv, reader<I82ZFSReader>},
        {Kind::Rpk, "RPK", "Roni"sv, reader<TRpkReader>},
        {Kind::DFBm, "Dark Forces BM", "BM \x1E"sv, nullptr, decoder<TDFBMReader>, "*.bm",
         Game::DarkForcesBm},
        {Kind::Q2Wal, "Quake 2 WAL", ".WAL"sv, nullptr, decoder<TQ2WalReader>, "*.wal", Game::Quake2Wal},
        {Kind::JKMat, "Jedi Knight MAT", "MAT "sv, nullptr, decoder<TJKMatReader>, "*.mat",
         Game::JediKnightMat},
        {Kind::JKBm, "Jedi Knight BM", "BM  "sv, nullptr, decoder<TJKBmReader>, "*bm"},
    };
    return table;
}

const KindInfo* findKind(ContainerType code) {
    for (const auto& k : kindTable())
        if (k.code == code) return &k;
    return nullptr;
}

std::string_view kindName(ContainerType code) {
    const auto* k = findKind(code);
    return k ? k->name : "unknown"sv;
}

bool isImageKind(ContainerType code) {
    const auto* k = findKind(code);
    return k && !k->imageMask.empty();
}

std::unique_ptr<ContainerReader> CreateContainerObject(ContainerType code) {
    const auto* kind = findKind(code);
    if (!kind) return nullptr;
    if (kind->createReader) return kind->createReader();
    if (kind->createDecoder)
        return std::make_unique<ImageFolderListing>(std::string(kind->imageMask), kind->createDecoder());
    throw Error("Sorry, " + std::string(kind->name) + " files cannot be opened by this version of VEXA yet");
}

void loadKindPalette(ContainerType code, const GamePalettePaths& paths, Palette& current) {
    const auto* kind = findKind(code);
    if (!kind || !kind->palette) return;
    current = Palette{};
    current = loadGamePalette(*kind->palette, paths);
}

const std::vector<CreatableKind>& creatableKinds() {
    static const std::vector<CreatableKind> table = {
        {"GOB            DarkForces", "New_DF.Gob", "df-gob", Gathering::Flat, Kind::DFGob,
         writer<TDFGobReader>},
        {"GOB            JediKnight  (subdirs)", "New_JK.Gob", "jk-gob", Gathering::Tree, Kind::JKGob,
         writer<TJKGobReader>},
        {"GOO            Mots           (subdirs)", "New_Mots.Goo", "goo", Gathering::Tree, Kind::JKGob,
         writer<TJKGobReader>},
        {"LAB             Outlaws etc", "New_Lab.Lab", "lab", Gathering::Flat, Kind::OLLab,
         writer<TOLLabReader>},
        {"PAK             HalfLife etc (subdirs)", "New_Pak.Pak", "pak", Gathering::Tree, Kind::Pak,
         writer<THLPakReader>},
        {"WAD           HalfLife ", "New_HL_Wad.Wad", "hl-wad", Gathering::None, Kind::HLWad3},
        {"VP               FreeSpace 1/2", "New_FreeSpace.VP", "vp", Gathering::Tree, Kind::FreeSpaceVP,
         writer<TFreeSpaceVPReader>},
        {"HOG           Descent 1/2", "New_Descent12.Hog", "hog", Gathering::Flat, Kind::DescentHog,
         writer<TDescentHogReader>},
        {"HOG           Descent 3", "New_Descent3.Hog", "hog2", Gathering::Flat, Kind::DescentHog2,
         writer<TDescentHog2Reader>},
        {"LFD            DarkForces", "New_DF.Lfd", "lfd", Gathering::Flat, Kind::DFLfd,
         writer<TDFLfdReader>},
        {"WAD3 textures (built in)", "New_HL_Textures.Wad", "wad3", Gathering::Pictures, Kind::HLWad3,
         nullptr, TextureKind::Wad3},
        {"WAD2 textures (built in)", "New_Q1_Textures.Wad", "wad2", Gathering::Pictures, Kind::Q1Wad2,
         nullptr, TextureKind::Wad2},
    };
    return table;
}

const CreatableKind* findCreatableKind(std::string_view cliName) {
    for (const auto& k : creatableKinds())
        if (k.cliName == cliName) return &k;
    return nullptr;
}

SourceFileList gatherSources(const CreatableKind& kind, const fs::path& folder) {
    switch (kind.gathering) {
    case Gathering::Flat:
        return GatherFolderFiles(folder);
    case Gathering::Tree:
        return GatherFolderTree(folder);
    case Gathering::Pictures: {
        auto files = GatherFolderFiles(folder);
        std::erase_if(files, [](const SourceFile& file) { return !isImportablePicture(file.name); });
        return files;
    }
    case Gathering::None:
        break;
    }
    return {};
}

std::unique_ptr<ContainerWriter> createKindWriter(const CreatableKind& kind,
                                                  const GamePalettePaths& palettes) {
    if (kind.textures) return createTextureWadWriter(*kind.textures, ImportOptions{palettes, false});
    return kind.createWriter ? kind.createWriter() : nullptr;
}

} // namespace vexa
