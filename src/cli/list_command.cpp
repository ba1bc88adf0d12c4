#include "cli/list_command.h"

#include <algorithm>
#include <cstdio>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "archive/cp1252.h"
#include "archive/packing_kind.h"
#include "cli/display_text.h"
#include "cli/entry_selection.h"
#include "cli/exit_status.h"
#include "cli/json_text.h"
#include "cli/loaded_archive.h"
#include "cli/loaded_stack.h"
#include "cli/output_buffer.h"
#include "cli/stack_selection.h"

namespace tarvix::cli {
namespace {

// The Windows-1252 bytes that stand for no character; a name holding one is also given as
// hexadecimal bytes, since its Unicode form (a C1 control) does not say which byte it was to
// every reader.
bool HasUndefinedByte(std::string_view name) {
    return name.find_first_of("\x81\x8D\x8F\x90\x9D") != std::string_view::npos;
}

std::string HexBytes(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 0xF];
    }
    return hex;
}

void ListPaths(const EntryTable& table, std::span<const EntryIndex> entries, OutputBuffer& out) {
    for (EntryIndex entry : entries) {
        AppendDisplayPath(out.text(), EntryName(table[entry]));
        out.text() += '\n';
        out.lineDone();
    }
}

// Widths of the number columns of --long, wide enough for every selected entry.
struct ColumnWidths {
    int packing = 0;
    int realSize = 0;
    int packedSize = 0;
    int offset = 0;
};

int Digits(std::uint32_t value) {
    return static_cast<int>(std::to_string(value).size());
}

ColumnWidths WidthsOf(const EntryTable& table, std::span<const EntryIndex> entries) {
    ColumnWidths widths;
    for (EntryIndex entry : entries) {
        const EntryInfo info = GetEntryInfo(table, entry);
        widths.packing =
            std::max(widths.packing, static_cast<int>(PackingName(info.packing, info.type).size()));
        widths.realSize = std::max(widths.realSize, Digits(info.realSize));
        widths.packedSize = std::max(widths.packedSize, Digits(info.packedSize));
        widths.offset = std::max(widths.offset, Digits(info.offset));
    }
    return widths;
}

void ListLong(const EntryTable& table, std::span<const EntryIndex> entries, OutputBuffer& out) {
    const ColumnWidths w = WidthsOf(table, entries);
    char columns[96];
    for (EntryIndex entry : entries) {
        const EntryInfo info = GetEntryInfo(table, entry);
        std::snprintf(columns, sizeof columns, "%-*s  %*u  %*u  %*u  ", w.packing,
                      PackingName(info.packing, info.type).c_str(), w.realSize, info.realSize,
                      w.packedSize, info.packedSize, w.offset, info.offset);
        out.text() += columns;
        AppendDisplayPath(out.text(), info.name);
        out.text() += '\n';
        out.lineDone();
    }
}

void ListJson(const EntryTable& table, std::span<const EntryIndex> entries, OutputBuffer& out) {
    out.text() += '[';
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const EntryInfo info = GetEntryInfo(table, entries[i]);
        out.text() += i == 0 ? "\n  " : ",\n  ";
        JsonObject object(out.text());
        object.add("path", Cp1252ToUtf8(info.name));
        if (HasUndefinedByte(info.name)) object.add("path_bytes_hex", HexBytes(info.name));
        object.add("type", info.type);
        object.add("packing", PackingKeyword(info.packing));
        object.add("real_size", info.realSize);
        object.add("packed_size", info.packedSize);
        object.add("offset", info.offset);
        object.close();
        out.lineDone();
    }
    out.text() += entries.empty() ? "]\n" : "\n]\n";
}

// --long over a stack: the columns of one archive, then the winning source and the sources
// it hides ("-" for none), then the path.
void ListStackLong(const SourceStack& stack, std::span<const EntryIndex> selected,
                   OutputBuffer& out) {
    std::vector<std::string> columns;
    std::vector<std::string> sources;
    std::vector<std::string> hidden;
    std::size_t widths[3] = {0, 0, 0};
    for (EntryIndex place : selected) {
        const StackEntry& entry = stack.entries()[place];
        const CopyFacts facts = FactsOf(stack, WinnerOf(entry));
        columns.push_back(PackingName(facts.packing, facts.type) + "  " +
                          std::to_string(facts.realSize) + "  " + std::to_string(facts.packedSize) +
                          "  " + std::to_string(facts.offset));
        sources.push_back(PrintableLine(stack.source(entry.source).label()));
        std::string shadows;
        for (const StackCopy& copy : entry.shadows) {
            if (!shadows.empty()) shadows += ',';
            shadows += PrintableLine(stack.source(copy.source).label());
        }
        hidden.push_back(shadows.empty() ? "-" : shadows);
        widths[0] = std::max(widths[0], columns.back().size());
        widths[1] = std::max(widths[1], sources.back().size());
        widths[2] = std::max(widths[2], hidden.back().size());
    }
    for (std::size_t i = 0; i < selected.size(); ++i) {
        for (const auto& [text, width] :
             {std::pair{&columns[i], widths[0]}, std::pair{&sources[i], widths[1]},
              std::pair{&hidden[i], widths[2]}}) {
            out.text() += *text;
            out.text().append(width - text->size() + 2, ' ');
        }
        AppendDisplayPath(out.text(), stack.entries()[selected[i]].name);
        out.text() += '\n';
        out.lineDone();
    }
}

void ListStackJson(const SourceStack& stack, std::span<const EntryIndex> selected,
                   OutputBuffer& out) {
    out.text() += '[';
    for (std::size_t i = 0; i < selected.size(); ++i) {
        const StackEntry& entry = stack.entries()[selected[i]];
        const CopyFacts facts = FactsOf(stack, WinnerOf(entry));
        out.text() += i == 0 ? "\n  " : ",\n  ";
        JsonObject object(out.text());
        object.add("path", Cp1252ToUtf8(entry.name));
        if (HasUndefinedByte(entry.name)) object.add("path_bytes_hex", HexBytes(entry.name));
        object.add("type", facts.type);
        object.add("packing", PackingKeyword(facts.packing));
        object.add("real_size", facts.realSize);
        object.add("packed_size", facts.packedSize);
        object.add("offset", facts.offset);
        object.add("source", stack.source(entry.source).label());
        std::vector<std::string> shadows;
        for (const StackCopy& copy : entry.shadows) {
            shadows.push_back(stack.source(copy.source).label());
        }
        object.add("shadows", shadows);
        object.close();
        out.lineDone();
    }
    out.text() += selected.empty() ? "]\n" : "\n]\n";
}

void ListStackPaths(const SourceStack& stack, std::span<const EntryIndex> selected,
                    OutputBuffer& out) {
    for (EntryIndex place : selected) {
        AppendDisplayPath(out.text(), stack.entries()[place].name);
        out.text() += '\n';
        out.lineDone();
    }
}

int RunStackList(const CommandLine& line) {
    const auto stack = LoadStack(line);
    if (!stack) return kExitUsage;
    const Selection selection = SelectStackEntries(*stack, line.patterns);
    const bool unmatched = ReportUnmatched(selection);
    OutputBuffer out;
    if (line.json) {
        ListStackJson(*stack, selection.entries, out);
    } else if (line.longFormat) {
        ListStackLong(*stack, selection.entries, out);
    } else {
        ListStackPaths(*stack, selection.entries, out);
    }
    return unmatched ? kExitFailures : kExitDone;
}

}  // namespace

int RunList(const CommandLine& line) {
    if (line.overStack()) return RunStackList(line);
    const auto loaded = LoadArchive(line.archive, Walk::EntriesOnly);
    if (!loaded) return kExitUsage;
    const Selection selection = SelectEntries(loaded->archive, loaded->table, line.patterns);
    const bool unmatched = ReportUnmatched(selection);
    OutputBuffer out;
    if (line.json) {
        ListJson(loaded->table, selection.entries, out);
    } else if (line.longFormat) {
        ListLong(loaded->table, selection.entries, out);
    } else {
        ListPaths(loaded->table, selection.entries, out);
    }
    return unmatched ? kExitFailures : kExitDone;
}

}  // namespace tarvix::cli
