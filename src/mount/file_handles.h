#pragma once

#include <cstddef>
#include <cstdint>

#include "mount/mounted_files.h"

namespace tarvix::mount {

// The kernel's side of a file of the mount, without FUSE: what an open answers, the handle the
// kernel then keeps (an integer holding an OpenFile; 0 for none), and the reads made through
// it or, where the kernel opens nothing, by node alone.
struct OpenAnswer {
    int error = 0;  // errno; 0 when `handle` was handed out
    std::uint64_t handle = 0;
};

// An open of `id` with open(2)'s `flags`. Folders are EISDIR and anything but reading EROFS;
// `byNodeOnly` answers ENOSYS, which the kernel takes as "never open, read by node".
OpenAnswer OpenHandle(MountedFiles& files, NodeId id, int flags, bool byNodeOnly);

// Up to `size` bytes from `offset`, as OpenFile::view gives them: through `handle`, or by node
// `id` when the handle is 0.
long ReadThrough(MountedFiles& files, std::uint64_t handle, NodeId id, std::uint64_t offset,
                 std::uint8_t* out, std::size_t size, ReadView& view);

// Gives up what OpenHandle handed out; the kernel uses the handle no more.
void ReleaseHandle(std::uint64_t handle);

}  // namespace tarvix::mount
