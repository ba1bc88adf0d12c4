#include "cli/info_command.h"

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

#include "archive/packing_kind.h"
#include "cli/exit_status.h"
#include "cli/json_text.h"
#include "cli/loaded_archive.h"
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

std::uint32_t DeepestLevel(const FolderIndex& folders) {
    std::uint32_t deepest = 0;
    for (NodeId n = 0; n < folders.nodeCount(); ++n) {
        deepest = std::max(deepest, folders.node(n).depth);
    }
    return deepest;
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
    return {
        {"format", "format", 0, FormatName(loaded.archive.format())},
        {"entries", "entries", count},
        {"folders", "folders", loaded.folders->nodeCount() - 1},
        {"deepest level", "deepest_level", DeepestLevel(*loaded.folders)},
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

}  // namespace

int RunInfo(const CommandLine& line) {
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
