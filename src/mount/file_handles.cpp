#include "mount/file_handles.h"

#include <fcntl.h>

#include <cerrno>
#include <memory>

namespace tarvix::mount {
namespace {

OpenFile* FileOf(std::uint64_t handle) {
    return reinterpret_cast<OpenFile*>(handle);  // NOLINT(performance-no-int-to-ptr)
}

}  // namespace

OpenAnswer OpenHandle(MountedFiles& files, NodeId id, int flags, bool byNodeOnly) {
    if (files.entries().node(id).isFolder) return {EISDIR, 0};
    if ((flags & O_ACCMODE) != O_RDONLY || (flags & O_TRUNC) != 0) return {EROFS, 0};
    // Where the kernel can do without, files are read by node alone (MountedFiles::read): an
    // open and a release fewer per file, and a second reading of a file whose pages the
    // kernel still holds reaches this program not at all. The mount is read-only, so the
    // kernel refuses every open for writing itself.
    if (byNodeOnly) return {ENOSYS, 0};
    return {0, reinterpret_cast<std::uint64_t>(files.open(id).release())};
}

long ReadThrough(MountedFiles& files, std::uint64_t handle, NodeId id, std::uint64_t offset,
                 std::uint8_t* out, std::size_t size, ReadView& view) {
    if (OpenFile* file = FileOf(handle)) return file->view(offset, out, size, view);
    return files.read(id, offset, out, size, view);
}

void ReleaseHandle(std::uint64_t handle) {
    delete FileOf(handle);
}

}  // namespace tarvix::mount
