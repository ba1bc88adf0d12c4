#include "mount/mounted_files.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <vector>

#include "archive/cp1252.h"
#include "extract/entry_extractor.h"
#include "extract/entry_unpacker.h"
#include "mount/folded_tree.h"
#include "mount/lzss_random_access.h"
#include "mount/recent_files.h"
#include "mount/unpacking.h"
#include "mount/zlib_random_access.h"

namespace tarvix::mount {
namespace {

constexpr std::string_view kGzipSuffix = ".gz";
constexpr std::size_t kZlibHeaderBytes = 2;

bool EndsWithFolded(std::string_view name, std::string_view suffix) {
    return name.size() > suffix.size() &&
           CompareFolded(name.substr(name.size() - suffix.size()), suffix) == 0;
}

// What a failed read tells the log, and the file's reader: over a stack, which source's copy
// is meant, as tarvix-cli check names it.
std::string Problem(const EffectiveEntries& entries, NodeId id, std::string_view problem) {
    return entries.sourceOf(id) + ": " + Cp1252ToUtf8(entries.pathOf(id)) + ": " +
           std::string(problem);
}

// Stored bytes as they are, from `skip` on, after `header` (raw, gzip-wrapped or stored).
class StoredFile final : public OpenFile {
public:
    StoredFile(const EffectiveEntries& entries, NodeId id, MountLog& log, std::string header,
               std::uint64_t skip)
        : entries_(entries),
          id_(id),
          log_(log),
          stored_(entries.openStored(id)),
          header_(std::move(header)),
          skip_(skip) {}

    long read(std::uint64_t offset, std::uint8_t* out, std::size_t size) override {
        const std::uint64_t stored = entries_.node(id_).storedSize;
        const std::uint64_t total = header_.size() + stored - std::min(stored, skip_);
        if (offset >= total) return 0;
        size = static_cast<std::size_t>(std::min<std::uint64_t>(size, total - offset));
        std::size_t done = 0;
        if (offset < header_.size()) {
            done = std::min<std::size_t>(size, header_.size() - offset);
            std::memcpy(out, header_.data() + offset, done);
        }
        if (done == size) return static_cast<long>(done);
        const std::uint64_t from = offset + done - header_.size() + skip_;
        const std::size_t want = size - done;
        if (stored_.read(from, out + done, want) != want) {
            log_.once(id_, Problem(entries_, id_,
                                   stored_.problem ? stored_.problem : kOutcomeCannotRead));
            return -EIO;
        }
        return static_cast<long>(size);
    }

private:
    const EffectiveEntries& entries_;
    NodeId id_;
    MountLog& log_;
    StoredEntry stored_;
    std::string header_;
    std::uint64_t skip_;
};

// Content unpacked whole on the first read, through the cache.
class WholeFile final : public OpenFile {
public:
    WholeFile(const EffectiveEntries& entries, NodeId id, MountLog& log, UnpackedCache& cache)
        : entries_(entries), id_(id), log_(log), cache_(cache) {}

    long read(std::uint64_t offset, std::uint8_t* out, std::size_t size) override {
        ReadView held;
        const long got = view(offset, out, size, held);
        if (got > 0) std::memcpy(out, held.data, static_cast<std::size_t>(got));
        return got;
    }

    // The reply is sent from the content itself: a copy fewer for every read (copying bytes
    // was 6 to 7% of the mount's time in perf when every file of an archive was read once).
    long view(std::uint64_t offset, std::uint8_t*, std::size_t size, ReadView& view) override {
        // The entry's size answers a read at or past its end; only one within it unpacks.
        const EffectiveNode& node = entries_.node(id_);
        const std::uint64_t total =
            node.packing == PackingKind::Stored ? node.storedSize : node.realSize;
        if (offset >= total || size == 0) return 0;
        size = static_cast<std::size_t>(std::min<std::uint64_t>(size, total - offset));
        UnpackedCache::Content content = load();
        if (offset + size > content->soundBytes) {
            log_.once(id_, Problem(entries_, id_, content->problem));
            return -EIO;
        }
        view.data = content->bytes.data() + offset;
        view.keep = std::move(content);
        return static_cast<long>(size);
    }

private:
    UnpackedCache::Content load() {
        const std::lock_guard lock(mutex_);
        if (content_) return content_;
        if ((content_ = cache_.find(id_))) return content_;
        auto unpacked =
            std::make_shared<const UnpackedContent>(UnpackWhole(entries_.openStored(id_)));
        content_ = cache_.insert(id_, std::move(unpacked));
        return content_;
    }

    const EffectiveEntries& entries_;
    NodeId id_;
    MountLog& log_;
    UnpackedCache& cache_;
    std::mutex mutex_;
    UnpackedCache::Content content_;  // held while open, so eviction never costs a reader
};

// A large packed entry, unpacked as it is read.
class StreamedFile final : public OpenFile {
public:
    // `content` reads from `stored`, which comes along so that it outlives it.
    StreamedFile(const EffectiveEntries& entries, NodeId id, MountLog& log,
                 std::unique_ptr<StoredEntry> stored, std::unique_ptr<RandomAccessContent> content)
        : entries_(entries),
          id_(id),
          log_(log),
          stored_(std::move(stored)),
          content_(std::move(content)) {}

    long read(std::uint64_t offset, std::uint8_t* out, std::size_t size) override {
        const std::lock_guard lock(mutex_);
        std::size_t produced = 0;
        switch (content_->read(offset, out, size, produced)) {
            case RandomAccessContent::Result::Ok:
                return static_cast<long>(produced);
            case RandomAccessContent::Result::Damaged:
                log_.once(id_, Problem(entries_, id_, kOutcomeDamaged));
                return -EIO;
            case RandomAccessContent::Result::ReadFailed:
                log_.once(id_, Problem(entries_, id_, kOutcomeCannotRead));
                return -EIO;
            case RandomAccessContent::Result::NoMemory:
                log_.once(id_, Problem(entries_, id_, kOutcomeNoMemory));
                return -ENOMEM;
        }
        return -EIO;
    }

private:
    const EffectiveEntries& entries_;
    NodeId id_;
    MountLog& log_;
    std::mutex mutex_;
    std::unique_ptr<StoredEntry> stored_;
    std::unique_ptr<RandomAccessContent> content_;
};

// An entry whose content cannot be had: every read fails.
class UnreadableFile final : public OpenFile {
public:
    UnreadableFile(NodeId id, MountLog& log, std::string problem)
        : id_(id), log_(log), problem_(std::move(problem)) {}

    long read(std::uint64_t, std::uint8_t*, std::size_t) override {
        log_.once(id_, problem_);
        return -EIO;
    }

private:
    NodeId id_;
    MountLog& log_;
    std::string problem_;
};

StoredReader ReaderOf(const StoredEntry& stored) {
    return [&stored](std::uint64_t offset, std::uint8_t* buffer, std::size_t size) {
        return stored.read(offset, buffer, size);
    };
}

}  // namespace

MountedFiles::MountedFiles(const EffectiveEntries& entries, const MountSettings& settings,
                           MountLog& log)
    : entries_(entries),
      settings_(settings),
      log_(log),
      cache_(settings.cacheBytes),
      recent_(std::make_unique<RecentFiles>()) {
    if (settings_.raw) {
        gzipState_ = std::make_unique<std::atomic<std::uint8_t>[]>(entries_.nodeCount());
    }
}

MountedFiles::~MountedFiles() = default;

bool MountedFiles::wrapsAsGzip(NodeId id) const {
    const EffectiveNode& node = entries_.node(id);
    if (!settings_.raw || node.isFolder || !node.gzipWhenRaw) return false;
    std::uint8_t state = gzipState_[id].load(std::memory_order_relaxed);
    if (state == 0) {
        std::array<std::uint8_t, kZlibHeaderBytes> first{};
        const bool read =
            entries_.openStored(id).read(0, first.data(), first.size()) == first.size();
        state = read && first[0] == 0x78 && first[1] == 0xDA ? 2 : 1;
        gzipState_[id].store(state, std::memory_order_relaxed);
    }
    return state == 2;
}

std::string MountedFiles::gzipHeader(NodeId id) const {
    std::string header(kGzipHeader.begin(), kGzipHeader.end());
    header.append(entries_.node(id).name).push_back('\0');
    return header;
}

std::optional<NodeId> MountedFiles::lookup(NodeId folder, std::string_view utf8Name) const {
    const std::optional<std::string> name = Utf8ToCp1252(utf8Name);
    if (!name) return std::nullopt;
    const std::optional<NodeId> found = entries_.lookup(folder, *name);
    if (found && !wrapsAsGzip(*found)) return found;
    if (!settings_.raw || !EndsWithFolded(*name, kGzipSuffix)) return std::nullopt;
    const std::string_view base = std::string_view(*name).substr(0, name->size() - 3);
    const std::optional<NodeId> wrapped = entries_.lookup(folder, base);
    if (wrapped && wrapsAsGzip(*wrapped) && isListed(*wrapped)) return wrapped;
    return std::nullopt;
}

std::string MountedFiles::shownName(NodeId id) const {
    std::string name = Cp1252ToUtf8(entries_.node(id).name);
    if (wrapsAsGzip(id)) name.append(kGzipSuffix);
    return name;
}

bool MountedFiles::isListed(NodeId id) const {
    if (!wrapsAsGzip(id)) return true;
    const EffectiveNode& node = entries_.node(id);
    const std::string gzipName = std::string(node.name).append(kGzipSuffix);
    const std::optional<NodeId> other = entries_.lookup(node.parent, gzipName);
    if (!other || wrapsAsGzip(*other)) return true;
    log_.once(id, Problem(entries_, id,
                          "not shown: its raw name is taken by " +
                              Cp1252ToUtf8(entries_.pathOf(*other))));
    return false;
}

std::uint64_t MountedFiles::sizeOf(NodeId id) const {
    const EffectiveNode& node = entries_.node(id);
    if (node.isFolder) return 0;
    if (wrapsAsGzip(id)) return gzipHeader(id).size() + node.storedSize - kZlibHeaderBytes;
    if (settings_.raw || node.packing == PackingKind::Stored) return node.storedSize;
    return node.realSize;
}

std::unique_ptr<OpenFile> MountedFiles::open(NodeId id) {
    const EffectiveNode& node = entries_.node(id);
    if (wrapsAsGzip(id))
        return std::make_unique<StoredFile>(entries_, id, log_, gzipHeader(id), kZlibHeaderBytes);
    if (settings_.raw || node.packing == PackingKind::Stored)
        return std::make_unique<StoredFile>(entries_, id, log_, std::string(), 0);
    if (node.packing == PackingKind::Unknown) {
        return std::make_unique<UnreadableFile>(
            id, log_, Problem(entries_, id, UnknownPackingOutcome(node.rawType)));
    }
    if (node.realSize <= kWholeEntryLimit && node.storedSize <= kWholeEntryLimit)
        return std::make_unique<WholeFile>(entries_, id, log_, cache_);
    return openStreamed(id);
}

long MountedFiles::read(NodeId id, std::uint64_t offset, std::uint8_t* out, std::size_t size,
                        ReadView& view) {
    const EffectiveNode& node = entries_.node(id);
    if (node.isFolder) return -EISDIR;
    // Kept for stored files too: a folder's file is opened once, not for every piece.
    return recent_->get(id, [this, id] { return open(id); })->view(offset, out, size, view);
}

std::unique_ptr<OpenFile> MountedFiles::openStreamed(NodeId id) {
    const EffectiveNode& node = entries_.node(id);
    auto stored = std::make_unique<StoredEntry>(entries_.openStored(id));
    if (!stored->reachable())
        return std::make_unique<UnreadableFile>(id, log_,
                                                Problem(entries_, id, kOutcomeCannotRead));
    std::unique_ptr<RandomAccessContent> content;
    if (node.packing == PackingKind::Zlib) {
        content =
            std::make_unique<ZlibRandomAccess>(ReaderOf(*stored), node.storedSize, node.realSize);
    } else {
        std::optional<StoredBlockReading> reading;
        if (node.packing == PackingKind::LzssBlocks) {
            StreamResult failure = StreamResult::Damaged;
            EntryUnpacker unpacker(0);
            reading = unpacker.blockReading(*stored->archive, stored->info, failure);
            if (!reading)
                return std::make_unique<UnreadableFile>(
                    id, log_, Problem(entries_, id, StreamOutcome(failure)));
        }
        content = std::make_unique<LzssRandomAccess>(ReaderOf(*stored), node.storedSize,
                                                     node.realSize, reading);
    }
    return std::make_unique<StreamedFile>(entries_, id, log_, std::move(stored),
                                          std::move(content));
}

}  // namespace tarvix::mount
