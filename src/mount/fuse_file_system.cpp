#define FUSE_USE_VERSION FUSE_MAKE_VERSION(3, 12)
#include "mount/fuse_file_system.h"

#include <fcntl.h>
#include <fuse_lowlevel.h>
#include <sys/statvfs.h>
#include <syslog.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "mount/file_handles.h"

namespace tarvix::mount {
namespace {

// Nothing in the mount ever changes, so the kernel may keep names and attributes for as long
// as it likes.
constexpr double kForever = 86400.0;
constexpr unsigned kMaxThreads = 10;

struct MountState {
    MountedFiles& files;
    uid_t uid;
    gid_t gid;
    // The kernel takes ENOSYS from opendir and open as "never ask again, it always succeeds".
    std::atomic<bool> noOpendir = false;
    std::atomic<bool> noOpen = false;
};

MountState& StateOf(fuse_req_t req) {
    return *static_cast<MountState*>(fuse_req_userdata(req));
}

// FUSE numbers the root 1; node ids start at 0 for the root.
fuse_ino_t InodeOf(NodeId id) {
    return fuse_ino_t{id} + 1;
}
bool NodeOf(const MountState& state, fuse_ino_t ino, NodeId& id) {
    if (ino == 0 || ino - 1 >= state.files.entries().nodeCount()) return false;
    id = static_cast<NodeId>(ino - 1);
    return true;
}

struct stat AttributesOf(const MountState& state, NodeId id) {
    const EffectiveNode& node = state.files.entries().node(id);
    struct stat st {};
    st.st_ino = InodeOf(id);
    st.st_mode = node.isFolder ? (S_IFDIR | 0555) : (S_IFREG | 0444);
    st.st_nlink = node.isFolder ? 2 : 1;
    st.st_uid = state.uid;
    st.st_gid = state.gid;
    st.st_size = static_cast<off_t>(state.files.sizeOf(id));
    st.st_blksize = 4096;
    st.st_blocks = (st.st_size + 511) / 512;
    st.st_mtim = st.st_ctim = st.st_atim = state.files.entries().modified(id);
    return st;
}

fuse_entry_param EntryOf(const MountState& state, NodeId id) {
    fuse_entry_param entry{};
    entry.ino = InodeOf(id);
    entry.attr = AttributesOf(state, id);
    entry.attr_timeout = entry.entry_timeout = kForever;
    return entry;
}

void Lookup(fuse_req_t req, fuse_ino_t parent, const char* name) {
    MountState& state = StateOf(req);
    NodeId folder = 0;
    if (!NodeOf(state, parent, folder)) return static_cast<void>(fuse_reply_err(req, ENOENT));
    const std::optional<NodeId> found = state.files.lookup(folder, name);
    if (!found) return static_cast<void>(fuse_reply_err(req, ENOENT));
    const fuse_entry_param entry = EntryOf(state, *found);
    fuse_reply_entry(req, &entry);
}

void GetAttributes(fuse_req_t req, fuse_ino_t ino, fuse_file_info*) {
    MountState& state = StateOf(req);
    NodeId id = 0;
    if (!NodeOf(state, ino, id)) return static_cast<void>(fuse_reply_err(req, ENOENT));
    const struct stat st = AttributesOf(state, id);
    fuse_reply_attr(req, &st, kForever);
}

// A reply's bytes, reused by each of FUSE's threads: replies are sent before the next request
// is taken, and sizing and zeroing a buffer for every read was a visible part of reading.
std::vector<char>& ReplyBuffer(std::size_t size) {
    thread_local std::vector<char> buffer;
    if (buffer.size() < size) buffer.resize(size);
    return buffer;
}

// Folders need no handle, so the kernel is told not to ask for one, where it can be told:
// two round trips fewer per folder listed. Elsewhere the kernel may keep listings.
void OpenFolder(fuse_req_t req, fuse_ino_t, fuse_file_info* fi) {
    if (StateOf(req).noOpendir) return static_cast<void>(fuse_reply_err(req, ENOSYS));
    fi->cache_readdir = 1;
    fi->keep_cache = 1;
    fuse_reply_open(req, fi);
}

// Offsets: 1 after ".", 2 after "..", 2 + n after the folder's n-th child. With `plus`, each
// name comes with its attributes, which answers the lookups that would follow the listing.
void ListFolder(fuse_req_t req, fuse_ino_t ino, size_t size, off_t offset, bool plus) {
    MountState& state = StateOf(req);
    NodeId id = 0;
    if (!NodeOf(state, ino, id) || !state.files.entries().node(id).isFolder)
        return static_cast<void>(fuse_reply_err(req, ENOTDIR));
    const std::span<const NodeId> children = state.files.entries().children(id);
    std::vector<char>& buffer = ReplyBuffer(size);
    std::size_t used = 0;
    const auto add = [&](const char* name, NodeId node, off_t next) {
        std::size_t need = 0;
        char* at = buffer.data() + used;
        const bool folder = state.files.entries().node(node).isFolder;
        if (plus) {
            // Folders come with their attributes, which spares the lookup of each folder a
            // walk descends into. Files do not: the kernel would make an inode for every one
            // of them, which cost more kernel time than it saved (ls -R of the million-entry
            // archive: 8.5 s of system time against 5.4 s). A zero node id says "none".
            fuse_entry_param entry{};
            if (folder) {
                entry = EntryOf(state, node);
            } else {
                entry.attr.st_ino = InodeOf(node);
                entry.attr.st_mode = S_IFREG;
            }
            need = fuse_add_direntry_plus(req, at, size - used, name, &entry, next);
        } else {
            struct stat st {};
            st.st_ino = InodeOf(node);
            st.st_mode = folder ? S_IFDIR : S_IFREG;
            need = fuse_add_direntry(req, at, size - used, name, &st, next);
        }
        if (need > size - used) return false;
        used += need;
        return true;
    };
    const NodeId parent = state.files.entries().node(id).parent;
    bool room = true;
    if (offset < 1) room = add(".", id, 1);
    if (room && offset < 2) room = add("..", parent, 2);
    for (std::size_t i = offset > 2 ? static_cast<std::size_t>(offset - 2) : 0;
         room && i < children.size(); ++i) {
        if (!state.files.isListed(children[i])) continue;
        room =
            add(state.files.shownName(children[i]).c_str(), children[i], static_cast<off_t>(i + 3));
    }
    fuse_reply_buf(req, buffer.data(), used);
}

void ReadFolder(fuse_req_t req, fuse_ino_t ino, size_t size, off_t offset, fuse_file_info*) {
    ListFolder(req, ino, size, offset, false);
}
void ReadFolderPlus(fuse_req_t req, fuse_ino_t ino, size_t size, off_t offset, fuse_file_info*) {
    ListFolder(req, ino, size, offset, true);
}

void Open(fuse_req_t req, fuse_ino_t ino, fuse_file_info* fi) {
    MountState& state = StateOf(req);
    NodeId id = 0;
    if (!NodeOf(state, ino, id)) return static_cast<void>(fuse_reply_err(req, ENOENT));
    const OpenAnswer answer = OpenHandle(state.files, id, fi->flags, state.noOpen);
    if (answer.error != 0) return static_cast<void>(fuse_reply_err(req, answer.error));
    fi->fh = answer.handle;
    fi->keep_cache = 1;  // the content never changes: the page cache stays valid across opens
    // From here on the kernel's handle owns the file, until Release.
    if (fuse_reply_open(req, fi) != 0) ReleaseHandle(answer.handle);
}

void Read(fuse_req_t req, fuse_ino_t ino, size_t size, off_t offset, fuse_file_info* fi) {
    MountState& state = StateOf(req);
    NodeId id = 0;
    if (fi->fh == 0 && !NodeOf(state, ino, id))
        return static_cast<void>(fuse_reply_err(req, ENOENT));
    std::vector<char>& buffer = ReplyBuffer(size);
    ReadView view;
    const long got = ReadThrough(state.files, fi->fh, id, static_cast<std::uint64_t>(offset),
                                 reinterpret_cast<std::uint8_t*>(buffer.data()), size, view);
    if (got < 0) return static_cast<void>(fuse_reply_err(req, static_cast<int>(-got)));
    fuse_reply_buf(req, reinterpret_cast<const char*>(view.data), static_cast<std::size_t>(got));
}

void Release(fuse_req_t req, fuse_ino_t, fuse_file_info* fi) {
    ReleaseHandle(fi->fh);
    fuse_reply_err(req, 0);
}

void FileSystemStatistics(fuse_req_t req, fuse_ino_t) {
    MountState& state = StateOf(req);
    struct statvfs st {};
    st.f_bsize = st.f_frsize = 4096;
    st.f_files = state.files.entries().nodeCount();
    st.f_namemax = 255;
    st.f_flag = ST_RDONLY;
    fuse_reply_statfs(req, &st);
}

void Access(fuse_req_t req, fuse_ino_t, int mask) {
    fuse_reply_err(req, (mask & W_OK) != 0 ? EROFS : 0);
}

// Every request that would change something.
void ReadOnly(fuse_req_t req) {
    fuse_reply_err(req, EROFS);
}

void Start(void* userdata, fuse_conn_info* conn) {
    auto& state = *static_cast<MountState*>(userdata);
    state.noOpendir = (conn->capable & FUSE_CAP_NO_OPENDIR_SUPPORT) != 0;
    state.noOpen = (conn->capable & FUSE_CAP_NO_OPEN_SUPPORT) != 0;
}

fuse_lowlevel_ops Operations() {
    fuse_lowlevel_ops ops{};
    ops.lookup = Lookup;
    ops.getattr = GetAttributes;
    ops.init = Start;
    ops.opendir = OpenFolder;
    ops.readdir = ReadFolder;
    ops.readdirplus = ReadFolderPlus;
    ops.open = Open;
    ops.read = Read;
    ops.release = Release;
    ops.statfs = FileSystemStatistics;
    ops.access = Access;
    ops.setattr = [](fuse_req_t req, fuse_ino_t, struct stat*, int, fuse_file_info*) {
        ReadOnly(req);
    };
    ops.mknod = [](fuse_req_t req, fuse_ino_t, const char*, mode_t, dev_t) { ReadOnly(req); };
    ops.mkdir = [](fuse_req_t req, fuse_ino_t, const char*, mode_t) { ReadOnly(req); };
    ops.unlink = [](fuse_req_t req, fuse_ino_t, const char*) { ReadOnly(req); };
    ops.rmdir = [](fuse_req_t req, fuse_ino_t, const char*) { ReadOnly(req); };
    ops.symlink = [](fuse_req_t req, const char*, fuse_ino_t, const char*) { ReadOnly(req); };
    ops.rename = [](fuse_req_t req, fuse_ino_t, const char*, fuse_ino_t, const char*, unsigned) {
        ReadOnly(req);
    };
    ops.link = [](fuse_req_t req, fuse_ino_t, fuse_ino_t, const char*) { ReadOnly(req); };
    ops.write = [](fuse_req_t req, fuse_ino_t, const char*, size_t, off_t, fuse_file_info*) {
        ReadOnly(req);
    };
    ops.create = [](fuse_req_t req, fuse_ino_t, const char*, mode_t, fuse_file_info*) {
        ReadOnly(req);
    };
    ops.setxattr = [](fuse_req_t req, fuse_ino_t, const char*, const char*, size_t, int) {
        ReadOnly(req);
    };
    ops.removexattr = [](fuse_req_t req, fuse_ino_t, const char*) { ReadOnly(req); };
    ops.fallocate = [](fuse_req_t req, fuse_ino_t, int, off_t, off_t, fuse_file_info*) {
        ReadOnly(req);
    };
    return ops;
}

// A value for -o: commas and backslashes are escaped, as libfuse's option parser reads them.
std::string EscapedOptionValue(const std::string& value) {
    std::string escaped;
    for (const char c : value) {
        if (c == ',' || c == '\\') escaped.push_back('\\');
        escaped.push_back(c);
    }
    return escaped;
}

struct ArgsDeleter {
    void operator()(fuse_args* args) const {
        fuse_opt_free_args(args);
        delete args;
    }
};

std::unique_ptr<fuse_args, ArgsDeleter> FuseArguments(const MountOptions& options) {
    std::unique_ptr<fuse_args, ArgsDeleter> args(new fuse_args(FUSE_ARGS_INIT(0, nullptr)));
    const std::string& source = options.gameDir.empty() ? options.sources.front() : options.gameDir;
    const std::string own =
        "ro,default_permissions,subtype=tarvix,fsname=" + EscapedOptionValue(source);
    fuse_opt_add_arg(args.get(), "tarvix-mount");
    fuse_opt_add_arg(args.get(), "-o");
    fuse_opt_add_arg(args.get(), own.c_str());
    for (const std::string& extra : options.fuseOptions) {
        fuse_opt_add_arg(args.get(), "-o");
        fuse_opt_add_arg(args.get(), extra.c_str());
    }
    if (options.debug) fuse_opt_add_arg(args.get(), "-d");
    return args;
}

int Loop(fuse_session* session) {
    fuse_loop_config* config = fuse_loop_cfg_create();
    fuse_loop_cfg_set_clone_fd(config, 0);
    fuse_loop_cfg_set_max_threads(config, kMaxThreads);
    const int result = fuse_session_loop_mt(session, config);
    fuse_loop_cfg_destroy(config);
    return result;
}

}  // namespace

int ServeMount(MountedFiles& files, const MountOptions& options, MountLog& log) {
    MountState state{files, ::getuid(), ::getgid()};
    const fuse_lowlevel_ops ops = Operations();
    auto args = FuseArguments(options);
    fuse_session* session = fuse_session_new(args.get(), &ops, sizeof ops, &state);
    if (session == nullptr) return 2;
    int status = 1;
    if (fuse_set_signal_handlers(session) == 0) {
        if (fuse_session_mount(session, options.mountPoint.c_str()) == 0) {
            fuse_daemonize(options.foreground ? 1 : 0);
            if (!options.foreground) {
                log.setSink(
                    [](const std::string& line) { syslog(LOG_WARNING, "%s", line.c_str()); });
            }
            // A signal ends the loop with its number: an unmount asked for, not a failure.
            status = Loop(session) < 0 ? 1 : 0;
            fuse_session_unmount(session);
        }
        fuse_remove_signal_handlers(session);
    }
    fuse_session_destroy(session);
    return status;
}

}  // namespace tarvix::mount
