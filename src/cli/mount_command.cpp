// vexa-cli mount: a container shown as a read-only folder through FUSE (libfuse 3, low-level API),
// so every program can open what is inside. The tree itself is MountTree's; this file answers the
// kernel's requests with it and keeps the process mounted until it is told to stop.

#include "app/mount_tree.h"
#include "base/errors.h"
#include "base/text.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/opening.h"
#include "images/Png_writer.h"

#include <algorithm>
#include <iostream>
#include <memory>
#include <vector>

#if VEXA_MOUNT

// 3.2's interface: the multi-threaded loop of 3.1's leaks its settings in libfuse 3.14, which a
// build with the leak checker reports at every unmount.
#define FUSE_USE_VERSION 32
#include <fuse_lowlevel.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace vexa::cli {

namespace {

struct MountArguments {
    std::string source, mountpoint;
    bool foreground = false, convert = false, recursive = false;
};

// What every request needs: the tree and who owns what it shows.
struct Served {
    MountTree& tree;
    uid_t owner;
    gid_t group;
};

// The kernel caches names and attributes this long: nothing in the tree ever changes.
constexpr double kCacheSeconds = 3600;

// Inode numbers are the tree's node numbers plus one: the kernel's root is inode 1.
MountTree::NodeId nodeOf(fuse_ino_t ino) {
    return static_cast<MountTree::NodeId>(ino - 1);
}
fuse_ino_t inodeOf(MountTree::NodeId node) {
    return static_cast<fuse_ino_t>(node) + 1;
}

Served& served(fuse_req_t req) {
    return *static_cast<Served*>(fuse_req_userdata(req));
}

// What the tree found to say (names left out, a container changed on disk), each said once.
void sayMessages(MountTree& tree) {
    for (const auto& message : tree.takeMessages())
        std::cerr << printableText(message) << '\n' << std::flush;
}

struct stat statOf(const Served& s, MountTree::NodeId node, const MountTree::Attributes& a) {
    struct stat st {};
    st.st_ino = inodeOf(node);
    st.st_mode = a.folder ? (S_IFDIR | 0555) : (S_IFREG | 0444);
    st.st_nlink = a.folder ? 2 : 1;
    st.st_uid = s.owner;
    st.st_gid = s.group;
    st.st_size = static_cast<off_t>(a.size);
    st.st_blksize = 4096;
    st.st_blocks = static_cast<blkcnt_t>((a.size + 511) / 512);
    st.st_mtim.tv_sec = static_cast<time_t>(a.modified / 1'000'000'000);
    st.st_mtim.tv_nsec = static_cast<long>(a.modified % 1'000'000'000);
    st.st_atim = st.st_mtim;
    st.st_ctim = st.st_mtim;
    return st;
}

// Runs an answer that may throw: anything the tree cannot give (a damaged entry, one that does not
// decode, a container changed on disk) is EIO for the caller.
template <typename Answer> void answering(fuse_req_t req, Answer answer) {
    auto& tree = served(req).tree;
    int error = 0;
    try {
        answer();
    } catch (const std::exception&) {
        error = EIO;
    }
    sayMessages(tree);
    if (error) fuse_reply_err(req, error);
}

void onLookup(fuse_req_t req, fuse_ino_t parent, const char* name) {
    answering(req, [&] {
        auto& s = served(req);
        const auto node = s.tree.child(nodeOf(parent), name);
        if (!node) {
            // A negative entry cached as long as the others: a name missing now is missing for good.
            fuse_entry_param none{};
            none.entry_timeout = kCacheSeconds;
            fuse_reply_entry(req, &none);
            return;
        }
        fuse_entry_param entry{};
        entry.ino = inodeOf(*node);
        entry.attr = statOf(s, *node, s.tree.attributes(*node));
        entry.attr_timeout = kCacheSeconds;
        entry.entry_timeout = kCacheSeconds;
        fuse_reply_entry(req, &entry);
    });
}

void onGetattr(fuse_req_t req, fuse_ino_t ino, fuse_file_info*) {
    answering(req, [&] {
        auto& s = served(req);
        const auto st = statOf(s, nodeOf(ino), s.tree.attributes(nodeOf(ino)));
        fuse_reply_attr(req, &st, kCacheSeconds);
    });
}

// A folder's children are taken once when it is opened: reading it in pieces then costs nothing
// more per piece, however many entries it holds.
using Listing = std::vector<std::pair<std::string, MountTree::NodeId>>;

void onOpendir(fuse_req_t req, fuse_ino_t ino, fuse_file_info* fi) {
    answering(req, [&] {
        auto& s = served(req);
        if (!s.tree.attributes(nodeOf(ino)).folder) {
            fuse_reply_err(req, ENOTDIR);
            return;
        }
        auto listing = std::make_unique<Listing>(s.tree.children(nodeOf(ino)));
        fi->fh = reinterpret_cast<std::uint64_t>(listing.get());
        fi->keep_cache = 1;
        fi->cache_readdir = 1;
        if (fuse_reply_open(req, fi) == 0) listing.release(); // releasedir frees it
    });
}

void onReaddir(fuse_req_t req, fuse_ino_t ino, size_t size, off_t offset, fuse_file_info* fi) {
    auto& tree = served(req).tree;
    const auto& listing = *reinterpret_cast<const Listing*>(fi->fh);
    std::vector<char> buffer(size);
    std::size_t used = 0;
    // Offsets: 0 ".", 1 "..", then 2 + the child's place.
    for (auto at = static_cast<std::size_t>(std::max<off_t>(offset, 0)); at < listing.size() + 2; ++at) {
        struct stat st {};
        std::string name;
        if (at < 2) {
            name = at == 0 ? "." : "..";
            st.st_ino = ino;
            st.st_mode = S_IFDIR;
        } else {
            const auto& [childName, node] = listing[at - 2];
            name = childName;
            st.st_ino = inodeOf(node);
            // The kind only, so that find and ls -R need not look up every file; a converted file
            // is not decoded to be listed.
            st.st_mode = tree.isFolder(node) ? S_IFDIR : S_IFREG;
        }
        const auto need = fuse_add_direntry(req, buffer.data() + used, size - used, name.c_str(), &st,
                                            static_cast<off_t>(at + 1));
        if (need > size - used) break;
        used += need;
    }
    fuse_reply_buf(req, buffer.data(), used);
}

void onReleasedir(fuse_req_t req, fuse_ino_t, fuse_file_info* fi) {
    std::unique_ptr<Listing>(reinterpret_cast<Listing*>(fi->fh)).reset();
    fuse_reply_err(req, 0);
}

void onOpen(fuse_req_t req, fuse_ino_t ino, fuse_file_info* fi) {
    if ((fi->flags & O_ACCMODE) != O_RDONLY || (fi->flags & (O_TRUNC | O_APPEND))) {
        fuse_reply_err(req, EROFS);
        return;
    }
    answering(req, [&] {
        // A converted file is decoded here at the latest: one that does not decode fails to open.
        if (served(req).tree.attributes(nodeOf(ino)).folder) {
            fuse_reply_err(req, EISDIR);
            return;
        }
        fi->keep_cache = 1; // the bytes never change while mounted
        fuse_reply_open(req, fi);
    });
}

void onRead(fuse_req_t req, fuse_ino_t ino, size_t size, off_t offset, fuse_file_info*) {
    answering(req, [&] {
        std::vector<std::uint8_t> buffer(size);
        const auto n = served(req).tree.read(nodeOf(ino),
                                             static_cast<std::uint64_t>(std::max<off_t>(offset, 0)), buffer);
        fuse_reply_buf(req, reinterpret_cast<const char*>(buffer.data()), n);
    });
}

void onStatfs(fuse_req_t req, fuse_ino_t) {
    struct statvfs st {};
    st.f_bsize = 4096;
    st.f_frsize = 4096;
    st.f_namemax = 255;
    st.f_flag = ST_RDONLY;
    fuse_reply_statfs(req, &st);
}

// Every change answers EROFS, whether or not the kernel already refused it for the read-only mount.
void refuse(fuse_req_t req) {
    fuse_reply_err(req, EROFS);
}
void onSetattr(fuse_req_t req, fuse_ino_t, struct stat*, int, fuse_file_info*) {
    refuse(req);
}
void onMknod(fuse_req_t req, fuse_ino_t, const char*, mode_t, dev_t) {
    refuse(req);
}
void onMkdir(fuse_req_t req, fuse_ino_t, const char*, mode_t) {
    refuse(req);
}
void onRemove(fuse_req_t req, fuse_ino_t, const char*) {
    refuse(req);
}
void onSymlink(fuse_req_t req, const char*, fuse_ino_t, const char*) {
    refuse(req);
}
void onRename(fuse_req_t req, fuse_ino_t, const char*, fuse_ino_t, const char*, unsigned int) {
    refuse(req);
}
void onLink(fuse_req_t req, fuse_ino_t, fuse_ino_t, const char*) {
    refuse(req);
}
void onWrite(fuse_req_t req, fuse_ino_t, const char*, size_t, off_t, fuse_file_info*) {
    refuse(req);
}
void onCreate(fuse_req_t req, fuse_ino_t, const char*, mode_t, fuse_file_info*) {
    refuse(req);
}
void onSetxattr(fuse_req_t req, fuse_ino_t, const char*, const char*, size_t, int) {
    refuse(req);
}
void onRemovexattr(fuse_req_t req, fuse_ino_t, const char*) {
    refuse(req);
}
void onFallocate(fuse_req_t req, fuse_ino_t, int, off_t, off_t, fuse_file_info*) {
    refuse(req);
}

fuse_lowlevel_ops operations() {
    fuse_lowlevel_ops ops{};
    ops.lookup = onLookup;
    ops.getattr = onGetattr;
    ops.opendir = onOpendir;
    ops.readdir = onReaddir;
    ops.releasedir = onReleasedir;
    ops.open = onOpen;
    ops.read = onRead;
    ops.statfs = onStatfs;
    ops.setattr = onSetattr;
    ops.mknod = onMknod;
    ops.mkdir = onMkdir;
    ops.unlink = onRemove;
    ops.rmdir = onRemove;
    ops.symlink = onSymlink;
    ops.rename = onRename;
    ops.link = onLink;
    ops.write = onWrite;
    ops.create = onCreate;
    ops.setxattr = onSetxattr;
    ops.removexattr = onRemovexattr;
    ops.fallocate = onFallocate;
    return ops;
}

// A mount option's value as libfuse reads it: its separators escaped.
std::string optionValue(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == ',' || c == '\\') out += '\\';
        out += c;
    }
    return out;
}

struct SessionDeleter {
    void operator()(fuse_session* session) const { fuse_session_destroy(session); }
};

// Into the background once mounted: the parent returns (0 once the child is ready) so the folder is
// usable when the command returns; the child keeps stderr, where the mount says what goes wrong.
// True in the child.
bool intoBackground() {
    int ready[2];
    if (::pipe(ready) != 0)
        throw Error(std::string("Cannot go into the background: ") + std::strerror(errno));
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) throw Error(std::string("Cannot go into the background: ") + std::strerror(errno));
    if (pid > 0) {
        ::close(ready[1]);
        char status = 1;
        const auto got = ::read(ready[0], &status, 1);
        // The parent leaves without unmounting: the mount is the child's now.
        ::_exit(got == 1 && status == 0 ? 0 : 1);
    }
    ::close(ready[0]);
    ::setsid();
    if (::chdir("/") != 0) {
        // Stays where it is: only a folder it would keep busy.
    }
    if (const int null = ::open("/dev/null", O_RDWR); null >= 0) {
        ::dup2(null, STDIN_FILENO);
        ::dup2(null, STDOUT_FILENO);
        if (null > STDERR_FILENO) ::close(null);
    }
    const char ok = 0;
    [[maybe_unused]] const auto written = ::write(ready[1], &ok, 1);
    ::close(ready[1]);
    return true;
}

int runMount(const MountArguments& a, const ProgramFolders& folders) {
    std::error_code ec;
    if (!fs::is_directory(a.mountpoint, ec))
        throw Error("Cannot mount on " + a.mountpoint + ": it is not a folder");
    MountTree::Options options;
    options.convert = a.convert;
    options.recursive = a.recursive;
    options.pictures = pngOutputBuilt() ? PictureFormat::Png : PictureFormat::Bmp;
    options.games = defaultPalettes(folders);
    // Opened and read before anything is mounted: a file that cannot be read is said here.
    auto tree = [&] {
        try {
            return std::make_unique<MountTree>(a.source, options);
        } catch (const Error& e) {
            throw Error("Cannot mount " + a.source + ": " + e.what());
        }
    }();
    sayMessages(*tree);
    // The mount point as an absolute path: the background process leaves the current folder.
    const auto mountpoint = fs::absolute(a.mountpoint, ec).lexically_normal().string();
    const auto source = fs::absolute(a.source, ec).lexically_normal().string();

    const std::string mountOptions =
        "ro,default_permissions,subtype=vexa,fsname=" + optionValue(source.empty() ? a.source : source);
    std::vector<std::string> words = {"vexa-cli", "-o", mountOptions};
    std::vector<char*> argv;
    for (auto& word : words)
        argv.push_back(word.data());
    fuse_args args = FUSE_ARGS_INIT(static_cast<int>(argv.size()), argv.data());

    Served s{*tree, ::getuid(), ::getgid()};
    const auto ops = operations();
    std::unique_ptr<fuse_session, SessionDeleter> session(fuse_session_new(&args, &ops, sizeof(ops), &s));
    fuse_opt_free_args(&args);
    if (!session) throw Error("Cannot mount " + a.source + ": the mount options were refused");
    // TERM, HUP and INT end the loop below, which then unmounts.
    if (fuse_set_signal_handlers(session.get()) != 0)
        throw Error("Cannot mount " + a.source + ": the stop signals cannot be caught");
    if (fuse_session_mount(session.get(), mountpoint.c_str()) != 0) {
        fuse_remove_signal_handlers(session.get());
        throw Error("Cannot mount " + a.source + " on " + a.mountpoint +
                    " (is /dev/fuse there, and fusermount3 installed?)");
    }
    if (!a.foreground) intoBackground();
    // Many threads: readers of different entries do not wait for one another.
    fuse_loop_config threads{};
    threads.clone_fd = 0;
    threads.max_idle_threads = 10;
    const int loop = fuse_session_loop_mt(session.get(), &threads);
    fuse_session_unmount(session.get());
    fuse_remove_signal_handlers(session.get());
    sayMessages(*tree);
    // The loop answers the stop signal that ended it (a positive number): an end as asked.
    return loop >= 0 ? 0 : 1;
}

} // namespace

void addMount(CLI::App& parser, Job& job) {
    struct Values {
        std::vector<std::string> args;
        bool foreground = false, convert = false, recursive = false;
    };
    auto v = valuesFor<Values>();
    auto& command = addCommand(
        parser, "mount", "SOURCE MOUNTPOINT", "show a container as a read-only folder",
        "Every entry of SOURCE becomes a file of MOUNTPOINT, named as 'extract' would write it; the\n"
        "'\\' levels of a name are folders. Files are read straight from the container; nothing can be\n"
        "written (every change answers 'read-only file system'). A damaged entry is listed and its reads\n"
        "fail. The command returns once the folder is mounted and serves it in the background;\n"
        "'fusermount3 -u MOUNTPOINT' unmounts it. With -f it stays in the foreground until Ctrl-C, TERM\n"
        "or HUP, then unmounts. SOURCE may name a container inside a container:\n"
        "'id1/pak0.pak/gfx.wad'. --convert shows the entries of a kind VEXA decodes as 'extract\n"
        "--convert' writes them ('TROOA1.png', 'DSPISTOL.wav'), decoded when first asked for.\n"
        "--recursive shows an entry that is a container as a folder of its entries, and takes a folder\n"
        "as SOURCE too (each container file in it a folder). If the container changes on disk while\n"
        "mounted, its reads fail and the mount says so once. Needs FUSE (/dev/fuse and fusermount3).\n",
        v->args);
    command.add_flag("-f,--foreground", v->foreground, "stay in the foreground until stopped");
    command.add_flag("--convert", v->convert, "show pictures, sounds, music and text as what they hold");
    command.add_flag("--recursive", v->recursive, "show containers inside the container as folders");
    command.callback([&command, v, &job] {
        rejectUnknownOptions(command);
        if (v->args.size() != 2) throw UsageError{"mount takes SOURCE and MOUNTPOINT"};
        MountArguments a{v->args[0], v->args[1], v->foreground, v->convert, v->recursive};
        job = [a = std::move(a)](const ProgramFolders& folders) { return runMount(a, folders); };
    });
}

} // namespace vexa::cli

#else

namespace vexa::cli {

// A build without libfuse 3 (Windows): the command is there and says why it cannot run.
void addMount(CLI::App& parser, Job& job) {
    auto args = std::make_shared<std::vector<std::string>>();
    auto& command = addCommand(parser, "mount", "SOURCE MOUNTPOINT", "show a container as a read-only folder",
                               "Not in this build: it needs FUSE (libfuse 3).\n", *args);
    command.callback([&command, args, &job] {
        rejectUnknownOptions(command);
        job = [](const ProgramFolders&) -> int {
            throw Error("mount is not in this build of vexa-cli: it needs FUSE (libfuse 3)");
        };
    });
}

} // namespace vexa::cli

#endif
