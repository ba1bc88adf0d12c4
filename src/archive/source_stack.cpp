#include "archive/source_stack.h"

#include <algorithm>

#include "archive/game_path.h"

namespace tarvix {
namespace {

// Where the folder part of an internal path ends: its last backslash, or 0 for a name at the
// top.
std::size_t FolderEnd(std::string_view name) {
    const std::size_t slash = name.rfind('\\');
    return slash == std::string_view::npos ? 0 : slash;
}

}  // namespace

void SourceStack::add(std::unique_ptr<StackSource> source) {
    sources_.push_back(std::move(source));
}

void SourceStack::build() {
    entries_.clear();
    folders_.assign(1, StackFolder{});
    shadowed_ = 0;
    std::size_t bytes = 0;
    std::size_t count = 0;
    for (const auto& source : sources_) {
        count += source->entryCount();
        for (std::uint32_t i = 0; i < source->entryCount(); ++i) {
            bytes += source->entryName(i).size();
        }
    }
    folded_.clear();
    folded_.reserve(bytes);
    entryByPath_.clear();
    entryByPath_.reserve(count);
    folderByPath_.clear();
    for (std::uint32_t place = 0; place < sources_.size(); ++place) addEntriesOf(place);
    sortAndGroup();
}

void SourceStack::addEntriesOf(std::uint32_t place) {
    const StackSource& source = *sources_[place];
    for (std::uint32_t i = 0; i < source.entryCount(); ++i) {
        const std::string_view name = source.entryName(i);
        const std::size_t start = folded_.size();
        AppendFoldedGamePath(folded_, name);
        const std::string_view folded(folded_.data() + start, name.size());
        const auto [found, added] =
            entryByPath_.emplace(folded, static_cast<std::uint32_t>(entries_.size()));
        if (added) {
            folderFor(name, folded);
            entries_.push_back({name, place, i});
            continue;
        }
        folded_.resize(start);
        StackEntry& winner = entries_[found->second];
        const bool known = winner.source == place ||
                           (!winner.shadows.empty() && winner.shadows.back().source == place);
        if (!known) {
            winner.shadows.push_back({place, i});
            ++shadowed_;
        }
    }
}

// The folder that holds `name`, made with every folder above it that does not exist yet.
std::uint32_t SourceStack::folderFor(std::string_view name, std::string_view folded) {
    const std::size_t end = FolderEnd(name);
    if (end == 0) return kRootFolder;
    if (const auto known = folderByPath_.find(folded.substr(0, end));
        known != folderByPath_.end()) {
        return known->second;
    }
    std::uint32_t parent = kRootFolder;
    std::size_t begin = 0;
    while (begin <= end) {
        std::size_t stop = name.find('\\', begin);
        if (stop == std::string_view::npos || stop > end) stop = end;
        const auto id = static_cast<std::uint32_t>(folders_.size());
        const auto [found, added] = folderByPath_.emplace(folded.substr(0, stop), id);
        if (added) {
            folders_.push_back({name.substr(begin, stop - begin), parent});
            folders_[parent].folders.push_back(id);
        }
        parent = found->second;
        begin = stop + 1;
    }
    return parent;
}

void SourceStack::sortAndGroup() {
    std::sort(entries_.begin(), entries_.end(), [](const StackEntry& a, const StackEntry& b) {
        return CompareGamePaths(a.name, b.name) < 0;
    });
    std::string folded;
    for (std::uint32_t e = 0; e < entries_.size(); ++e) {
        const std::string_view name = entries_[e].name;
        folded = FoldGamePath(name.substr(0, FolderEnd(name)));
        const std::uint32_t id = folded.empty() ? kRootFolder : folderByPath_.at(folded);
        folders_[id].files.push_back(e);
        entries_[e].folder = id;
    }
    // The entries have moved; find() searches the sorted list instead.
    entryByPath_.clear();
    for (StackFolder& folder : folders_) {
        std::sort(folder.folders.begin(), folder.folders.end(),
                  [this](std::uint32_t a, std::uint32_t b) {
                      return CompareGamePaths(folders_[a].name, folders_[b].name) < 0;
                  });
    }
}

const StackEntry* SourceStack::find(std::string_view path) const {
    const auto at = std::lower_bound(
        entries_.begin(), entries_.end(), path,
        [](const StackEntry& e, std::string_view p) { return CompareGamePaths(e.name, p) < 0; });
    return at != entries_.end() && SameGamePath(at->name, path) ? &*at : nullptr;
}

std::optional<std::uint32_t> SourceStack::findFolder(std::string_view path) const {
    if (path.empty()) return kRootFolder;
    const auto found = folderByPath_.find(FoldGamePath(path));
    if (found == folderByPath_.end()) return std::nullopt;
    return found->second;
}

std::string SourceStack::folderPath(std::uint32_t id) const {
    std::vector<std::string_view> components;
    for (; id != kRootFolder; id = folders_[id].parent) components.push_back(folders_[id].name);
    std::string path;
    for (auto it = components.rbegin(); it != components.rend(); ++it) {
        if (!path.empty()) path += '\\';
        path += *it;
    }
    return path;
}

}  // namespace tarvix
