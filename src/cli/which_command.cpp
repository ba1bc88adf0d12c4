#include "cli/which_command.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>

#include "archive/cp1252.h"
#include "cli/display_text.h"
#include "cli/exit_status.h"
#include "cli/loaded_stack.h"
#include "cli/output_buffer.h"

namespace tarvix::cli {
namespace {

// A path as typed: UTF-8 with '/' or '\' between folders, as an archive spells it.
std::string InternalPath(const std::string& typed) {
    const std::optional<std::string> cp1252 = Utf8ToCp1252(typed);
    std::string path = cp1252 ? *cp1252 : typed;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

void AppendCopy(std::string& out, const SourceStack& stack, const StackCopy& copy,
                const char* indent) {
    const StackSource& source = stack.source(copy.source);
    out += indent + PrintableLine(source.label()) + ": ";
    AppendDisplayPath(out, source.entryName(copy.index));
    out += '\n';
}

}  // namespace

int RunWhich(const CommandLine& line) {
    CommandLine stackLine = line;
    std::vector<std::string> paths = line.patterns;
    if (!line.overStack()) stackLine.layers.push_back(line.archive);
    // A few lookups read each source's names once each; building the union would cost more.
    const auto stack = LoadStack(stackLine, /*built*/ false);
    if (!stack) return kExitUsage;
    bool missing = false;
    OutputBuffer out;
    for (const std::string& path : paths) {
        const std::optional<StackEntry> entry = stack->lookUp(InternalPath(path));
        if (!entry) {
            std::fprintf(stderr, "tarvix-cli: no source has %s\n", QuoteArgument(path).c_str());
            missing = true;
            continue;
        }
        AppendCopy(out.text(), *stack, WinnerOf(*entry), "");
        for (const StackCopy& copy : entry->shadows) AppendCopy(out.text(), *stack, copy, "  ");
        out.lineDone();
    }
    return missing ? kExitFailures : kExitDone;
}

}  // namespace tarvix::cli
