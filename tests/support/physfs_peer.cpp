#include "support/physfs_peer.h"

#include <gtest/gtest.h>
#include <physfs.h>

namespace vexa::test {

namespace {

std::string lastError() {
    const char* text = PHYSFS_getErrorByCode(PHYSFS_getLastErrorCode());
    return text ? text : "unknown error";
}

void collect(const std::string& folder, std::map<std::string, Bytes>& out) {
    char** names = PHYSFS_enumerateFiles(folder.c_str());
    ASSERT_NE(names, nullptr) << lastError();
    for (char** n = names; *n; ++n) {
        const auto path = folder.empty() ? std::string(*n) : folder + "/" + *n;
        PHYSFS_Stat st{};
        if (!PHYSFS_stat(path.c_str(), &st)) {
            ADD_FAILURE() << path << ": " << lastError();
            continue;
        }
        if (st.filetype == PHYSFS_FILETYPE_DIRECTORY) {
            collect(path, out);
            continue;
        }
        PHYSFS_File* file = PHYSFS_openRead(path.c_str());
        if (!file) {
            ADD_FAILURE() << path << ": " << lastError();
            continue;
        }
        Bytes bytes(static_cast<std::size_t>(PHYSFS_fileLength(file)));
        const auto got = PHYSFS_readBytes(file, bytes.data(), bytes.size());
        EXPECT_EQ(got, static_cast<PHYSFS_sint64>(bytes.size())) << path;
        PHYSFS_close(file);
        out[path] = std::move(bytes);
    }
    PHYSFS_freeList(names);
}

} // namespace

std::map<std::string, Bytes> readWithPhysfs(const fs::path& archive) {
    std::map<std::string, Bytes> out;
    if (!PHYSFS_init(nullptr)) {
        ADD_FAILURE() << "PHYSFS_init: " << lastError();
        return out;
    }
    if (PHYSFS_mount(archive.c_str(), nullptr, 0))
        collect("", out);
    else
        ADD_FAILURE() << "PhysicsFS refused " << archive << ": " << lastError();
    PHYSFS_deinit();
    return out;
}

} // namespace vexa::test
