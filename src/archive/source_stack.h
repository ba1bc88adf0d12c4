#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "archive/large_block.h"
#include "archive/stack_source.h"

namespace tarvix {

// One source's entry of a path.
struct StackCopy {
    std::uint32_t source = 0;  // the source's place in the stack
    std::uint32_t index = 0;   // the entry's index in that source
};

// The path the game would read: one per path, whichever spelling, from the first source that
// has it.
struct StackEntry {
    std::string_view name;             // the winner's spelling; points into its source
    std::uint32_t source = 0;          // the winning source's place in the stack
    std::uint32_t index = 0;           // the entry's index in that source
    std::uint32_t folder = 0;          // the folder of the union that lists it
    std::vector<StackCopy> shadows{};  // the other sources' entries of the path, in order
};

// The effective entries of a game-size stack fill megabytes: see large_block.h.
using StackEntryVector = std::vector<StackEntry, LargeBlockAllocator<StackEntry>>;

// A folder of the union of all sources' folders.
struct StackFolder {
    std::string_view name;  // its last component, as the first source that has it spells it
    std::uint32_t parent = 0;
    std::vector<std::uint32_t> folders{};  // children, in the game's order
    std::vector<std::uint32_t> files{};    // effective entries directly in it, in that order
};

// An ordered list of sources seen as the game sees them: the first source that has a path
// wins, paths being the same when they are equal after folding ASCII A-Z to a-z (see
// game_path.h). A path that is a file in one source and a folder in another stays both: the
// game only ever looks files up. Within one source, the first of two entries of the same path
// is the one kept.
class SourceStack {
public:
    static constexpr std::uint32_t kRootFolder = 0;

    SourceStack() = default;
    SourceStack(const SourceStack&) = delete;
    SourceStack& operator=(const SourceStack&) = delete;

    // Adds the next source, below all those added before; build() afterwards.
    void add(std::unique_ptr<StackSource> source);
    // Works out the effective entries and the union of the folders.
    void build();

    std::size_t sourceCount() const { return sources_.size(); }
    const StackSource& source(std::uint32_t place) const { return *sources_[place]; }

    // The effective entries, in the game's order: whole paths compared byte by byte after the
    // folding.
    const StackEntryVector& entries() const { return entries_; }
    // Copies hidden by a winner, over all entries.
    std::size_t shadowedCount() const { return shadowed_; }

    // The effective entry of `path` in any spelling, or null when no source has it.
    const StackEntry* find(std::string_view path) const;
    // The same answer without build(), by reading every source's names once: what one lookup
    // needs, at a fraction of building the union (see bench/stack_bench.cpp).
    std::optional<StackEntry> lookUp(std::string_view path) const;

    const StackFolder& folder(std::uint32_t id) const { return folders_[id]; }
    std::size_t folderCount() const { return folders_.size(); }  // the root included
    // The folder of `path` in any spelling ("" for the root), or nothing.
    std::optional<std::uint32_t> findFolder(std::string_view path) const;
    // The folder's internal path, each component in its first source's spelling; an empty
    // first component (of a name that begins with a backslash) stays, as in "\ART".
    std::string folderPath(std::uint32_t id) const;

private:
    // One source's entry of a path while the stack is built.
    struct Copy {
        std::uint64_t head;       // its first 8 bytes folded, big-endian, 0 after the end
        std::string_view folded;  // its path folded, in folded_
        std::uint32_t source;
        std::uint32_t index;
        std::uint32_t folder;
    };
    using Copies = std::vector<Copy, LargeBlockAllocator<Copy>>;
    void collectCopies(std::uint32_t place, Copies& copies);
    void pickWinners(Copies& copies);
    std::uint32_t folderFor(std::string_view name, std::string_view folded);
    std::uint32_t createFolders(std::string_view name, std::string_view folded, std::size_t end);
    void groupByFolder();

    std::vector<std::unique_ptr<StackSource>> sources_;
    StackEntryVector entries_;
    std::vector<StackFolder> folders_;
    std::size_t shadowed_ = 0;
    // Every path folded, one after the other; reserved once, so that views into it stay
    // valid while the folder map holds them.
    std::basic_string<char, std::char_traits<char>, LargeBlockAllocator<char>> folded_;
    std::unordered_map<std::string_view, std::uint32_t> folderByPath_;
    std::string_view lastFolder_;  // the folded folder path looked up last
    std::uint32_t lastFolderId_ = kRootFolder;
};

}  // namespace tarvix
