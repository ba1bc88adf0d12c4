#include "cli/info_command.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "archive/dat_entry.h"
#include "archive/packing_kind.h"
#include "cli/display_text.h"
#include "cli/exit_status.h"
#include "cli/json_text.h"
#include "cli/loaded_archive.h"
#include "cli/loaded_stack.h"
#include "cli/output_buffer.h"

namespace tarvix::cli {
namespace {

// Each figure with its label for the text and its key for JSON, in the order shown.
struct Figure {
    const char* label;
    const char* key;
    std::uint64_t value;
    const char* text = nullptr;  // shown instead of `value` when set
};

// The tree shows a file at the top of the archive as an item of its own: a node without
// children whose entries have no backslash in their names. Any other node is a folder.
bool IsFolder(const LoadedArchive& loaded, NodeId n) {
    const FolderIndex& folders = *loaded.folders;
    if (n == FolderIndex::kRoot) return false;
    if (!folders.node(n).children.empty()) return true;
    const auto files = folders.filesOf(n);
    return std::any_of(files.begin(), files.end(), [&loaded](EntryIndex e) {
        return EntryName(loaded.table[e]).find('\\') != std::string_view::npos;
    });
}

struct FolderFigures {
    std::uint64_t count = 0;
    std::uint32_t deepestLevel = 0;
};

FolderFigures FolderFiguresOf(const LoadedArchive& loaded) {
    FolderFigures figures;
    for (NodeId n = 0; n < loaded.folders->nodeCount(); ++n) {
        if (!IsFolder(loaded, n)) continue;
        ++figures.count;
        figures.deepestLevel = std::max(figures.deepestLevel, loaded.folders->node(n).depth);
    }
    return figures;
}

std::vector<Figure> FiguresOf(const LoadedArchive& loaded) {
    std::uint64_t storedBytes = 0;
    std::uint64_t realBytes = 0;
    std::uint64_t packed = 0;
    std::uint64_t stored = 0;
    const std::size_t count = loaded.archive.entryCount();
    for (std::size_t i = 0; i < count; ++i) {
        const EntryInfo info = GetEntryInfo(loaded.table, static_cast<EntryIndex>(i));
        storedBytes += info.storedSize;
        realBytes += info.realSize;
        packed += info.packing != PackingKind::Stored && info.packing != PackingKind::Unknown;
        stored += info.packing == PackingKind::Stored;
    }
    const FolderFigures folders = FolderFiguresOf(loaded);
    return {
        {"format", "format", 0, FormatName(loaded.archive.format())},
        {"entries", "entries", count},
        {"folders", "folders", folders.count},
        {"deepest level", "deepest_level", folders.deepestLevel},
        {"stored bytes", "stored_bytes", storedBytes},
        {"real bytes", "real_bytes", realBytes},
        {"packed entries (Type 1)", "packed_entries", packed},
        {"stored entries (Type 0)", "stored_entries", stored},
        {"other-type entries", "other_type_entries", count - packed - stored},
        {"TreeSize", "tree_size", loaded.archive.treeSize()},
        {"DataSize", "data_size", loaded.archive.dataSize()},
    };
}

void AppendText(std::string& out, const std::vector<Figure>& figures) {
    std::size_t width = 0;
    for (const Figure& f : figures) width = std::max(width, std::string_view(f.label).size());
    for (const Figure& f : figures) {
        char line[128];
        const std::string value = f.text ? f.text : std::to_string(f.value);
        std::snprintf(line, sizeof line, "%-*s %s\n", static_cast<int>(width + 1),
                      (std::string(f.label) + ":").c_str(), value.c_str());
        out += line;
    }
}

void AppendJson(std::string& out, const std::vector<Figure>& figures) {
    JsonObject object(out);
    for (const Figure& f : figures) {
        if (f.text) {
            object.add(f.key, std::string_view(f.text));
        } else {
            object.add(f.key, f.value);
        }
    }
    object.close();
    out += '\n';
}

std::string Counted(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

void AppendStackText(std::string& out, const SourceStack& stack) {
    for (std::uint32_t place = 0; place < stack.sourceCount(); ++place) {
        const StackSource& source = stack.source(place);
        out += "source " + PrintableLine(source.label()) + ": " +
               Counted(source.entryCount(), "entry", "entries") + "\n";
    }
    out += "effective entries: " + std::to_string(stack.entries().size()) + "\n";
    out += "shadowed entries: " + std::to_string(stack.shadowedCount()) + "\n";
}

void AppendStackJson(std::string& out, const SourceStack& stack) {
    out += "{\"sources\": [";
    for (std::uint32_t place = 0; place < stack.sourceCount(); ++place) {
        const StackSource& source = stack.source(place);
        out += place == 0 ? "" : ", ";
        JsonObject object(out);
        object.add("source", source.label());
        object.add("entries", source.entryCount());
        object.close();
    }
    out += "], ";
    // The two counts follow in an object of their own, whose braces are dropped.
    std::string counts;
    JsonObject object(counts);
    object.add("effective_entries", stack.entries().size());
    object.add("shadowed_entries", stack.shadowedCount());
    object.close();
    out += counts.substr(1);
    out += '\n';
}

int RunStackInfo(const CommandLine& line) {
    const auto stack = LoadStack(line);
    if (!stack) return kExitUsage;
    OutputBuffer out;
    if (line.json) {
        AppendStackJson(out.text(), *stack);
    } else {
        AppendStackText(out.text(), *stack);
    }
    return kExitDone;
}

}  // namespace

int RunInfo(const CommandLine& line) {
    if (line.overStack()) return RunStackInfo(line);
    const auto loaded = LoadArchive(line.archive, Walk::WithFolders);
    if (!loaded) return kExitUsage;
    const std::vector<Figure> figures = FiguresOf(*loaded);
    OutputBuffer out;
    if (line.json) {
        AppendJson(out.text(), figures);
    } else {
        AppendText(out.text(), figures);
    }
    return kExitDone;
}

}  // namespace tarvix::cli
