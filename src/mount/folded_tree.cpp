#include "mount/folded_tree.h"

#include <algorithm>

#include "extract/safe_path.h"

namespace tarvix::mount {
namespace {

std::string Folded(std::string_view name) {
    std::string folded(name.size(), '\0');
    std::transform(name.begin(), name.end(), folded.begin(),
                   [](char c) { return static_cast<char>(FoldCase(c)); });
    return folded;
}

}  // namespace

int CompareFolded(std::string_view a, std::string_view b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const unsigned char x = FoldCase(a[i]);
        const unsigned char y = FoldCase(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

FoldedTree::FoldedTree() {
    EffectiveNode root;
    root.isFolder = true;
    addNode(root, 0);
}

NodeId FoldedTree::addNode(EffectiveNode node, std::uint32_t source) {
    nodes_.push_back(node);
    sources_.push_back(source);
    return static_cast<NodeId>(nodes_.size() - 1);
}

NodeId FoldedTree::folderFor(std::string_view folderPath) {
    if (folderPath == lastFolderPath_) return lastFolder_;
    NodeId parent = EffectiveEntries::kRoot;
    std::string key;
    for (std::string_view rest = folderPath; !rest.empty();) {
        const auto slash = rest.find('\\');
        const std::string_view component = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (component.empty()) continue;
        key.append(Folded(component)).push_back('\\');
        const auto [found, inserted] = folders_.try_emplace(key, 0);
        if (inserted) {
            EffectiveNode folder;
            folder.name = component;
            folder.parent = parent;
            folder.isFolder = true;
            found->second = addNode(folder, 0);
        }
        parent = found->second;
    }
    lastFolderPath_.assign(folderPath);
    lastFolder_ = parent;
    return parent;
}

std::optional<std::string_view> FoldedTree::addFile(std::string_view cp1252Path, const File& file) {
    if (const auto unsafe = FirstUnsafeComponent(cp1252Path)) return unsafe;
    const auto slash = cp1252Path.rfind('\\');
    const std::string_view folderPath =
        slash == std::string_view::npos ? std::string_view() : cp1252Path.substr(0, slash);
    EffectiveNode node;
    node.name = slash == std::string_view::npos ? cp1252Path : cp1252Path.substr(slash + 1);
    node.parent = folderFor(folderPath);
    node.packing = file.packing;
    node.rawType = file.rawType;
    node.realSize = file.realSize;
    node.storedSize = file.storedSize;
    node.gzipWhenRaw = file.gzipWhenRaw;
    addNode(node, file.source);
    return std::nullopt;
}

void FoldedTree::finish(const std::function<void(NodeId hidden, NodeId winner)>& hidden) {
    folders_ = {};
    lastFolderPath_.clear();
    // Children grouped by parent in the order they were added (a counting sort), then each
    // group sorted by folded name; the sort is stable, so the first added leads its name.
    std::vector<std::uint32_t> count(nodes_.size() + 1, 0);
    for (NodeId id = 1; id < nodes_.size(); ++id) ++count[nodes_[id].parent + 1];
    for (std::size_t i = 1; i < count.size(); ++i) count[i] += count[i - 1];
    childBegin_ = count;
    std::vector<NodeId> grouped(nodes_.size() - 1);
    for (NodeId id = 1; id < nodes_.size(); ++id) grouped[count[nodes_[id].parent]++] = id;

    childIds_.clear();
    childIds_.reserve(grouped.size());
    std::vector<std::uint32_t> begin(nodes_.size() + 1, 0);
    const auto byName = [this](NodeId a, NodeId b) {
        return CompareFolded(nodes_[a].name, nodes_[b].name) < 0;
    };
    for (NodeId parent = 0; parent < nodes_.size(); ++parent) {
        begin[parent] = static_cast<std::uint32_t>(childIds_.size());
        const auto first = grouped.begin() + childBegin_[parent];
        const auto last = grouped.begin() + childBegin_[parent + 1];
        std::stable_sort(first, last, byName);
        for (auto it = first; it != last; ++it) {
            const bool taken = childIds_.size() > begin[parent] &&
                               CompareFolded(nodes_[childIds_.back()].name, nodes_[*it].name) == 0;
            if (taken) {
                if (hidden) hidden(*it, childIds_.back());
                continue;
            }
            childIds_.push_back(*it);
        }
    }
    begin[nodes_.size()] = static_cast<std::uint32_t>(childIds_.size());
    childBegin_ = std::move(begin);
}

std::span<const NodeId> FoldedTree::children(NodeId folder) const {
    if (folder + std::size_t{1} >= childBegin_.size()) return {};
    return std::span<const NodeId>(childIds_).subspan(
        childBegin_[folder], childBegin_[folder + 1] - childBegin_[folder]);
}

std::optional<NodeId> FoldedTree::lookup(NodeId folder, std::string_view cp1252Name) const {
    const std::span<const NodeId> all = children(folder);
    const auto it = std::lower_bound(all.begin(), all.end(), cp1252Name,
                                     [this](NodeId id, std::string_view name) {
                                         return CompareFolded(nodes_[id].name, name) < 0;
                                     });
    if (it == all.end() || CompareFolded(nodes_[*it].name, cp1252Name) != 0) return std::nullopt;
    return *it;
}

std::string FoldedTree::pathOf(NodeId id) const {
    std::vector<std::string_view> components;
    for (NodeId at = id; at != EffectiveEntries::kRoot; at = nodes_[at].parent)
        components.push_back(nodes_[at].name);
    std::string path;
    for (auto it = components.rbegin(); it != components.rend(); ++it) {
        if (!path.empty()) path.push_back('\\');
        path.append(*it);
    }
    return path;
}

}  // namespace tarvix::mount
