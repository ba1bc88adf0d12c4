#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "mount/effective_entries.h"
#include "mount/mount_log.h"
#include "mount/unpacked_cache.h"

namespace tarvix::mount {

class RecentFiles;

// Entries up to this size, stored and unpacked, are unpacked whole on their first read and
// cached; larger packed entries are unpacked as they are read (ZlibRandomAccess,
// LzssRandomAccess).
inline constexpr std::uint32_t kWholeEntryLimit = std::uint32_t{1} << 20;
inline constexpr std::size_t kDefaultCacheBytes = std::size_t{256} << 20;

struct MountSettings {
    bool raw = false;  // stored bytes, as raw extraction writes them, instead of the content
    std::size_t cacheBytes = kDefaultCacheBytes;
};

// Where the bytes of a read are, and what keeps them there until the reply has gone.
struct ReadView {
    const std::uint8_t* data = nullptr;
    std::shared_ptr<const void> keep;
};

// One open file of the mount. Reads may come from several threads at once.
class OpenFile {
public:
    virtual ~OpenFile() = default;
    // Up to `size` bytes from `offset` into `out`: how many (0 at the end), or -errno.
    virtual long read(std::uint64_t offset, std::uint8_t* out, std::size_t size) = 0;
    // As read(), but a file that holds its content in memory points `view` at it instead of
    // copying it into `out`; otherwise `view.data` is `out`.
    virtual long view(std::uint64_t offset, std::uint8_t* out, std::size_t size, ReadView& view) {
        view.data = out;
        return read(offset, out, size);
    }
};

// What the files of the mount show: their names, sizes and bytes, unpacked or raw.
class MountedFiles {
public:
    MountedFiles(const EffectiveEntries& entries, const MountSettings& settings, MountLog& log);
    ~MountedFiles();

    const EffectiveEntries& entries() const { return entries_; }

    // The child of `folder` a program names in UTF-8, case folded as the game folds it.
    std::optional<NodeId> lookup(NodeId folder, std::string_view utf8Name) const;
    // The name a listing shows, in UTF-8.
    std::string shownName(NodeId id) const;
    // False for the rare raw file whose ".gz" name another entry of its folder already has.
    bool isListed(NodeId id) const;
    std::uint64_t sizeOf(NodeId id) const;

    std::unique_ptr<OpenFile> open(NodeId id);
    // Up to `size` bytes of file `id` from `offset`, without an open file: how many, or
    // -errno, and where they are (OpenFile::view). The last few files read this way stay
    // open (RecentFiles).
    long read(NodeId id, std::uint64_t offset, std::uint8_t* out, std::size_t size, ReadView& view);

private:
    std::unique_ptr<OpenFile> openStreamed(NodeId id);
    bool wrapsAsGzip(NodeId id) const;
    std::string gzipHeader(NodeId id) const;

    const EffectiveEntries& entries_;
    MountSettings settings_;
    MountLog& log_;
    UnpackedCache cache_;
    std::unique_ptr<RecentFiles> recent_;
    // Raw mode: per node, 0 not yet known, 1 stored as it is, 2 wrapped as gzip.
    std::unique_ptr<std::atomic<std::uint8_t>[]> gzipState_;
};

}  // namespace tarvix::mount
