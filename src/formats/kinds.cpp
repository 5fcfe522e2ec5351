#include "formats/kind.h"

#include "base/errors.h"
#include "base/text.h"
#include "formats/DF_Gob.h"
#include "formats/DF_Lfd.h"
#include "formats/DK_Pak.h"
#include "formats/Descent_Hog.h"
#include "formats/Descent_Hog2.h"
#include "formats/Doom_Wad.h"
#include "formats/FreeSpace_VP.h"
#include "formats/HL_Bsp.h"
#include "formats/HL_Pak.h"
#include "formats/HL_WAD3.h"
#include "formats/I82_ZFS.h"
#include "formats/JK_Gob.h"
#include "formats/OL_Lab.h"
#include "formats/Q1_Bsp.h"
#include "formats/Q1_Wad2.h"
#include "formats/SW_Grp.h"
#include "formats/image_folder.h"
#include "formats/rpk.h"
#include "images/DF_BM.h"
#include "images/JK_Mat.h"
#include "images/Q2_Wal.h"

#include <algorithm>
#include <cstring>

namespace vexa {

// Every kind, one line each. Detection tries their first bytes in this order.
const std::vector<const ContainerKind*>& containerKinds() {
    static const std::vector<const ContainerKind*> kinds = {
        &kHLWad3Kind,      &kDFGobKind,  &kJKGobKind, &kOLLabKind,      &kPakKind,
        &kDoomWadKind,     &kQ1Wad2Kind, &kQ1BspKind, &kDescentHogKind, &kDescentHog2Kind,
        &kFreeSpaceVPKind, &kDFLfdKind,  &kGrpKind,   &kI82ZfsKind,     &kRpkKind,
        &kDFBmKind,        &kQ2WalKind,  &kJKMatKind, &kJKBmKind,       &kDaikatanaPakKind,
        &kHLBspKind,
    };
    return kinds;
}

// Every texture kind a picture is imported as, in the order `vexa-cli import` lists them.
const std::vector<const TextureKindInfo*>& textureKinds() {
    static const std::vector<const TextureKindInfo*> kinds = {&kWalTextures, &kWad2Textures, &kWad3Textures,
                                                              &kDfBmTextures, &kJkMatTextures};
    return kinds;
}

const ContainerKind* findKind(ContainerType code) {
    for (const auto* k : containerKinds())
        if (k->code == code) return k;
    return nullptr;
}

std::string_view kindName(ContainerType code) {
    const auto* k = findKind(code);
    return k ? k->name : std::string_view("unknown");
}

bool isImageKind(ContainerType code) {
    const auto* k = findKind(code);
    return k && !k->imageMask.empty();
}

ContainerType detectKind(std::span<const std::uint8_t> first, std::string_view name) {
    // Bytes past the end of a short file count as 0.
    std::array<std::uint8_t, kDetectionBytes> head{};
    std::copy_n(first.begin(), std::min(first.size(), head.size()), head.begin());
    const auto dot = name.find_last_of('.');
    const auto extension = dot == std::string_view::npos ? std::string() : toUpperAscii(name.substr(dot));
    ContainerType found = ContainerType::Unknown;
    for (const auto* kind : containerKinds()) {
        // An extension decides over any content.
        if (!kind->extension.empty() && extension == kind->extension) return kind->code;
        if (found != ContainerType::Unknown) continue;
        for (const auto signature : kind->signatures)
            if (!signature.empty() && std::memcmp(head.data(), signature.data(), signature.size()) == 0)
                found = kind->code;
    }
    return found;
}

std::unique_ptr<ContainerReader> CreateContainerObject(ContainerType code) {
    const auto* kind = findKind(code);
    if (!kind) return nullptr;
    if (kind->createReader) return kind->createReader();
    if (kind->createDecoder)
        return std::make_unique<ImageFolderListing>(std::string(kind->imageMask), kind->createDecoder());
    throw Error("Sorry, " + std::string(kind->name) + " files cannot be opened by this version of VEXA yet");
}

const std::vector<CreatableKind>& creatableKinds() {
    static const std::vector<CreatableKind> items = [] {
        std::vector<std::pair<int, CreatableKind>> found;
        for (const auto* kind : containerKinds())
            for (const auto& item : kind->newItems)
                // Pictures and the go.bat batch are not written as files gathered: those items have no
                // writer of the files, though an open file of their kind is edited through one.
                found.push_back(
                    {item.position,
                     {item.caption, item.defaultName, item.cliName, item.gathering, kind->code,
                      item.textures || item.gathering == Gathering::None ? nullptr : kind->createWriter,
                      item.textures}});
        std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        std::vector<CreatableKind> out;
        for (auto& [position, item] : found)
            out.push_back(item);
        return out;
    }();
    return items;
}

const CreatableKind* findCreatableKind(std::string_view cliName) {
    for (const auto& k : creatableKinds())
        if (k.cliName == cliName) return &k;
    return nullptr;
}

const TextureKindInfo& textureKindInfo(TextureKind kind) {
    for (const auto* k : textureKinds())
        if (k->kind == kind) return *k;
    throw Error("unknown texture kind");
}

const TextureKindInfo* findTextureKind(std::string_view cliName) {
    for (const auto* k : textureKinds())
        if (k->cliName == cliName) return k;
    return nullptr;
}

} // namespace vexa
