#include "support/physfs_peer.h"

#include <physfs.h>
#include <stdexcept>

namespace vexa::test {

namespace {

std::string lastError() {
    return PHYSFS_getErrorByCode(PHYSFS_getLastErrorCode());
}

Bytes readAll(const std::string& name) {
    PHYSFS_File* file = PHYSFS_openRead(name.c_str());
    if (!file) throw std::runtime_error("PhysicsFS cannot open " + name + ": " + lastError());
    const auto length = PHYSFS_fileLength(file);
    Bytes bytes(static_cast<std::size_t>(length < 0 ? 0 : length));
    const auto got = PHYSFS_readBytes(file, bytes.data(), bytes.size());
    PHYSFS_close(file);
    if (got != length)
        throw std::runtime_error("PhysicsFS read " + std::to_string(got) + " bytes of " + name);
    return bytes;
}

} // namespace

std::map<std::string, Bytes> physfsContents(const fs::path& archive) {
    if (!PHYSFS_init(nullptr)) throw std::runtime_error("PhysicsFS: " + lastError());
    struct Deinit {
        ~Deinit() { PHYSFS_deinit(); }
    } deinit;
    if (!PHYSFS_mount(archive.c_str(), nullptr, 0))
        throw std::runtime_error("PhysicsFS cannot mount " + archive.string() + ": " + lastError());
    std::map<std::string, Bytes> contents;
    char** names = PHYSFS_enumerateFiles("");
    for (char** n = names; *n; ++n) {
        PHYSFS_Stat st;
        if (PHYSFS_stat(*n, &st) && st.filetype == PHYSFS_FILETYPE_REGULAR) contents[*n] = readAll(*n);
    }
    PHYSFS_freeList(names);
    return contents;
}

} // namespace vexa::test
