#include "archive/folder_index.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <random>

namespace tarvix {
namespace {

// SipHash-1-3 of a byte string, fed in pieces: eight bytes at a time, the rest kept for later.
// It depends on the bytes only, not on how they were split, so feeding a path component by
// component gives the hash of every prefix along the way and the same hash at the end as
// feeding it whole: all prefixes of a path cost one pass over it, however deep it is.
//
// The key is drawn afresh for every index. Folder names come from the archive, so with a hash
// anyone can compute, a crafted archive could give any number of paths one hash and turn every
// lookup into a walk along one probe chain (80,000 such folders stalled loading for 22 s).
// SipHash is made for keyed hash tables; the 1-3 variant costs the large archive's walk a few
// per cent over the unkeyed mix it replaced (docs/performance.md).
class PathHasher {
public:
    explicit PathHasher(const HashKey& key)
        : v0_(key.k0 ^ 0x736F6D6570736575ull),
          v1_(key.k1 ^ 0x646F72616E646F6Dull),
          v2_(key.k0 ^ 0x6C7967656E657261ull),
          v3_(key.k1 ^ 0x7465646279746573ull) {}

    void add(std::string_view bytes) {
        length_ += bytes.size();
        std::size_t i = 0;
        for (; pendingBytes_ != 0 && i < bytes.size(); ++i) addByte(bytes[i]);
        for (; bytes.size() - i >= 8; i += 8) {
            std::uint64_t word;
            std::memcpy(&word, bytes.data() + i, 8);
            compress(word);
        }
        for (; i < bytes.size(); ++i) addByte(bytes[i]);
    }

    // The hash of everything added so far; the hasher can go on being fed afterwards.
    std::uint32_t tag() const {
        PathHasher last = *this;
        const std::uint64_t final = last.pending_ | std::uint64_t{last.length_ & 0xFF} << 56;
        last.compress(final);
        last.v2_ ^= 0xFF;
        for (int round = 0; round < 3; ++round) last.round();
        const std::uint64_t h = last.v0_ ^ last.v1_ ^ last.v2_ ^ last.v3_;
        return static_cast<std::uint32_t>(h ^ (h >> 32));
    }

private:
    static std::uint64_t rotl(std::uint64_t x, int bits) {
        return (x << bits) | (x >> (64 - bits));
    }
    void round() {
        v0_ += v1_;
        v1_ = rotl(v1_, 13) ^ v0_;
        v0_ = rotl(v0_, 32);
        v2_ += v3_;
        v3_ = rotl(v3_, 16) ^ v2_;
        v0_ += v3_;
        v3_ = rotl(v3_, 21) ^ v0_;
        v2_ += v1_;
        v1_ = rotl(v1_, 17) ^ v2_;
        v2_ = rotl(v2_, 32);
    }
    void compress(std::uint64_t word) {
        v3_ ^= word;
        round();
        v0_ ^= word;
    }
    void addByte(char c) {
        pending_ |= std::uint64_t{static_cast<unsigned char>(c)} << (8 * pendingBytes_);
        if (++pendingBytes_ == 8) {
            compress(pending_);
            pending_ = 0;
            pendingBytes_ = 0;
        }
    }

    std::uint64_t v0_, v1_, v2_, v3_;
    std::uint64_t pending_ = 0;
    unsigned pendingBytes_ = 0;
    std::size_t length_ = 0;
};

std::uint32_t PathTag(const HashKey& key, std::string_view path) {
    PathHasher hasher(key);
    hasher.add(path);
    return hasher.tag();
}

constexpr std::size_t kAhead = 16;

void Prefetch([[maybe_unused]] const void* address) {
#if defined(__GNUC__) || defined(__clang__)
    __builtin_prefetch(address);
#endif
}

}  // namespace

HashKey RandomHashKey() {
    std::random_device device;
    const auto word = [&] { return std::uint64_t{device()} << 32 | device(); };
    return {word(), word()};
}

FolderIndex::FolderIndex() : FolderIndex(RandomHashKey()) {}

FolderIndex::FolderIndex(const HashKey& key) : key_(key), nodes_(1) {}

void FolderIndex::BuildFolderTree(const DatArchive& archive, EntryTable& table) {
    // The archive counted its entries while checking them: the table and the list of folders
    // per entry are allocated once.
    const std::span<const std::uint8_t> dirBlock = archive.dirBlock();
    const std::size_t count = archive.entryCount();
    table.reset(count, archive.format());
    lastNode_ = kRoot;
    std::vector<NodeId> folderOfEntry;
    folderOfEntry.reserve(count);

    // Looking up a folder path mostly waits for memory. So the walk reads the entries kAhead
    // ahead of the one it works on, hashes their folder paths and asks for their slots early,
    // and, halfway, for the path bytes a matching slot points to.
    struct Ahead {
        std::string_view folder;
        std::uint32_t tag = 0;
        bool sameAsPrevious = false;  // the previous entry's folder: its node is lastNode_
    };
    std::array<Ahead, kAhead> ring;
    std::size_t aheadPos = 0;
    EntryIndex aheadIndex = 0;
    const auto readAhead = [&] {
        if (aheadPos >= dirBlock.size()) return;
        const std::uint8_t* entry = dirBlock.data() + aheadPos;
        Ahead& next = ring[aheadIndex % kAhead];
        const Ahead& previous = ring[(aheadIndex + kAhead - 1) % kAhead];
        next.folder = SplitFolderAndFile(EntryName(entry)).folder;
        next.sameAsPrevious = aheadIndex > 0 && next.folder == previous.folder;
        if (next.sameAsPrevious) {
            next.tag = previous.tag;
        } else {
            next.tag = PathTag(key_, next.folder);
            if (!pathSlots_.empty()) Prefetch(&pathSlots_[next.tag & (pathSlots_.size() - 1)]);
        }
        aheadPos += static_cast<std::size_t>(EntryStride(entry));
        ++aheadIndex;
    };
    for (std::size_t n = 0; n < kAhead; ++n) readAhead();

    EntryIndex i = 0;
    for (std::size_t pos = 0; pos < dirBlock.size(); ++i) {
        const std::uint8_t* entry = dirBlock.data() + pos;
        table.set(i, entry);
        if (const Ahead& half = ring[(i + kAhead / 2) % kAhead];
            i + kAhead / 2 < aheadIndex && !half.sameAsPrevious && !pathSlots_.empty()) {
            const PathSlot& slot = pathSlots_[half.tag & (pathSlots_.size() - 1)];
            if (slot.tag == half.tag) Prefetch(pathText_.data() + slot.path.offset);
        }
        const Ahead current = ring[i % kAhead];
        readAhead();
        folderOfEntry.push_back(
            current.sameAsPrevious ? lastNode_ : nodeForFolder(current.folder, current.tag, i));
        pos += static_cast<std::size_t>(EntryStride(entry));
    }
    table.set(i, nullptr);
    layOutChildren();
    groupFilesByFolder(folderOfEntry);
}

// Entry i of the list is stack.entries()[i], and its folder path is its union folder's path as
// the list spells it, so one union folder is always one node, the node the walk would find
// (two folders of the union never share a spelling). Entries at the top have no union folder
// of their own: their name is their folder path, as in the walk, and is looked up as there.
void FolderIndex::BuildStackTree(const DatArchive& archive, const SourceStack& stack,
                                 EntryTable& table) {
    const std::span<const std::uint8_t> dirBlock = archive.dirBlock();
    const StackEntryVector& entries = stack.entries();
    const std::size_t count = archive.entryCount();
    table.reset(count, archive.format());
    if (count != entries.size()) {
        table.reset(0, archive.format());
        return;
    }
    constexpr NodeId kNotYet = kRoot;  // no union folder but the root is shown as the root
    std::vector<NodeId> nodeOfFolder(stack.folderCount(), kNotYet);
    std::vector<NodeId> folderOfEntry;
    folderOfEntry.reserve(count);
    lastNode_ = kRoot;
    EntryIndex i = 0;
    for (std::size_t pos = 0; pos < dirBlock.size() && i < count; ++i) {
        const std::uint8_t* entry = dirBlock.data() + pos;
        table.set(i, entry);
        NodeId& known = nodeOfFolder[entries[i].folder];
        NodeId node = known;
        if (node == kNotYet) {
            const std::string_view folder = SplitFolderAndFile(EntryName(entry)).folder;
            node = nodeForFolder(folder, PathTag(key_, folder), i);
            if (entries[i].folder != SourceStack::kRootFolder) known = node;
        }
        folderOfEntry.push_back(node);
        pos += static_cast<std::size_t>(EntryStride(entry));
    }
    table.set(i, nullptr);
    layOutChildren();
    groupFilesByFolder(folderOfEntry);
}

// Consecutive entries mostly share their folder, so most entries cost one comparison with the
// previous entry's folder, and any other entry one lookup of its folder path.
NodeId FolderIndex::nodeForFolder(std::string_view folder, std::uint32_t tag, EntryIndex index) {
    if (lastNode_ != kRoot && folder == lastFolder_) return lastNode_;
    NodeId node = findPath(folder, tag);
    if (node == kRoot) node = InsertFolderPath(folder, index);
    lastFolder_ = folder;
    lastNode_ = node;
    return node;
}

// A node exists exactly when its path is in the table, and so do all its ancestors: the
// deepest existing node is the longest prefix found, tried from the whole path down, and the
// components after it are created in order without looking any of them up.
NodeId FolderIndex::InsertFolderPath(std::string_view path, EntryIndex index) {
    std::vector<Prefix>& prefixes = prefixScratch_;
    prefixes.clear();
    PathHasher hasher(key_);
    for (std::size_t begin = 0;;) {
        const auto slash = path.find('\\', begin);
        const std::size_t end = slash == std::string_view::npos ? path.size() : slash;
        hasher.add(path.substr(begin, end - begin));
        prefixes.push_back({begin, end, hasher.tag()});
        if (slash == std::string_view::npos) break;
        hasher.add(path.substr(slash, 1));
        begin = slash + 1;
    }
    NodeId parent = kRoot;
    std::size_t first = 0;  // the first prefix to create
    for (std::size_t j = prefixes.size(); j-- > 0;) {
        const NodeId found = findPath(path.substr(0, prefixes[j].end), prefixes[j].tag);
        if (found == kRoot) continue;
        if (j + 1 == prefixes.size()) return found;
        parent = found;
        first = j + 1;
        break;
    }
    // The new nodes' paths are all prefixes of this one copy, so the copies of all paths
    // together are never longer than the entry list.
    const auto base = static_cast<std::uint32_t>(pathText_.size());
    pathText_ += path;
    for (std::size_t j = first; j < prefixes.size(); ++j) {
        const Prefix& p = prefixes[j];
        parent = createChild(parent, path.substr(p.begin, p.end - p.begin),
                             {p.tag, kRoot, {base, static_cast<std::uint32_t>(p.end)}}, index);
    }
    return parent;
}

NodeId FolderIndex::createChild(NodeId parent, std::string_view name, PathSlot slot,
                                EntryIndex index) {
    const auto id = static_cast<NodeId>(nodes_.size());
    const std::uint32_t depth = nodes_[parent].depth + 1;
    FolderNode node;
    node.name = name;
    node.parent = parent;
    node.entryIndex = index;
    node.depth = depth;
    nodes_.push_back(node);
    slot.node = id;
    addPath(slot);
    return id;
}

NodeId FolderIndex::findPath(std::string_view path, std::uint32_t tag) const {
    if (pathSlots_.empty()) return kRoot;
    const std::size_t mask = pathSlots_.size() - 1;
    for (std::size_t i = tag & mask;; i = (i + 1) & mask) {
        const PathSlot& slot = pathSlots_[i];
        if (slot.node == kRoot) return kRoot;
        if (slot.tag == tag &&
            std::string_view(pathText_).substr(slot.path.offset, slot.path.size) == path)
            return slot.node;
    }
}

void FolderIndex::addPath(const PathSlot& slot) {
    if (2 * nodes_.size() > pathSlots_.size()) {  // every node but the root has a slot
        std::vector<PathSlot> old(std::max<std::size_t>(64, 2 * pathSlots_.size()));
        old.swap(pathSlots_);
        for (const PathSlot& s : old) {
            if (s.node != kRoot) placeSlot(s);
        }
    }
    placeSlot(slot);
}

void FolderIndex::placeSlot(const PathSlot& slot) {
    const std::size_t mask = pathSlots_.size() - 1;
    std::size_t i = slot.tag & mask;
    while (pathSlots_[i].node != kRoot) i = (i + 1) & mask;
    pathSlots_[i] = slot;
}

// Every node's children as one run of childIds_, in creation order: nodes are numbered in
// the order they were created, so a counting sort by parent keeps that order.
void FolderIndex::layOutChildren() {
    std::vector<std::uint32_t> begin(nodes_.size() + 1, 0);
    for (std::size_t n = 1; n < nodes_.size(); ++n) ++begin[nodes_[n].parent + 1];
    for (std::size_t n = 1; n < begin.size(); ++n) begin[n] += begin[n - 1];
    childIds_.assign(nodes_.size() - 1, kRoot);
    std::vector<std::uint32_t> next(begin.begin(), begin.end() - 1);
    for (std::size_t n = 1; n < nodes_.size(); ++n) {
        const NodeId parent = nodes_[n].parent;
        nodes_[n].row = next[parent] - begin[parent];
        childIds_[next[parent]++] = static_cast<NodeId>(n);
    }
    for (std::size_t n = 0; n < nodes_.size(); ++n) {
        nodes_[n].children =
            std::span<const NodeId>(childIds_).subspan(begin[n], begin[n + 1] - begin[n]);
    }
}

// A counting sort by folder: afterwards each node's files are one contiguous, ordered run.
void FolderIndex::groupFilesByFolder(const std::vector<NodeId>& folderOfEntry) {
    filesBegin_.assign(nodes_.size() + 1, 0);
    for (NodeId folder : folderOfEntry) ++filesBegin_[folder + 1];
    for (std::size_t n = 1; n < filesBegin_.size(); ++n) filesBegin_[n] += filesBegin_[n - 1];
    files_.resize(folderOfEntry.size());
    std::vector<std::uint32_t> next(filesBegin_.begin(), filesBegin_.end() - 1);
    for (EntryIndex i = 0; i < folderOfEntry.size(); ++i) files_[next[folderOfEntry[i]]++] = i;
}

std::span<const EntryIndex> FolderIndex::filesOf(NodeId id) const {
    if (std::size_t{id} + 1 >= filesBegin_.size()) return {};
    return std::span<const EntryIndex>(files_).subspan(filesBegin_[id],
                                                       filesBegin_[id + 1] - filesBegin_[id]);
}

std::vector<EntryIndex> FolderIndex::entriesBelow(NodeId id) const {
    std::vector<EntryIndex> entries;
    std::vector<NodeId> pending = {id};
    while (!pending.empty()) {
        const NodeId node = pending.back();
        pending.pop_back();
        const auto files = filesOf(node);
        entries.insert(entries.end(), files.begin(), files.end());
        const auto& children = nodes_[node].children;
        pending.insert(pending.end(), children.begin(), children.end());
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

NodeId FolderIndex::folderOf(std::string_view folderPath) const {
    return findPath(folderPath, PathTag(key_, folderPath));
}

// Collected upwards, written downwards: linear in the path's length however deep it is.
std::string FolderIndex::pathOf(NodeId id) const {
    std::vector<NodeId> chain;
    for (NodeId n = id; n != kRoot; n = nodes_[n].parent) chain.push_back(n);
    std::string path;
    for (auto n = chain.rbegin(); n != chain.rend(); ++n) {
        if (n != chain.rbegin()) path.push_back('\\');
        path.append(nodes_[*n].name);
    }
    return path;
}

}  // namespace tarvix
