#include "cli/loaded_stack.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "archive/game_folder.h"
#include "cli/display_text.h"

namespace tarvix::cli {
namespace {

namespace fs = std::filesystem;

bool AddSource(SourceStack& stack, const fs::path& path, const std::string& label) {
    StackSource::Opened opened = StackSource::Open(path, label);
    if (!opened.source) {
        std::fprintf(stderr, "tarvix-cli: %s: %s\n", QuoteArgument(label).c_str(),
                     opened.error.c_str());
        return false;
    }
    stack.add(std::move(opened.source));
    return true;
}

bool AddGameSources(SourceStack& stack, const std::string& dir) {
    std::error_code ec;
    if (!fs::is_directory(fs::path(dir), ec)) {
        std::fprintf(stderr, "tarvix-cli: %s: not a folder\n", QuoteArgument(dir).c_str());
        return false;
    }
    const GameStackPlan plan = PlanGameStack(fs::path(dir));
    for (const std::string& missing : plan.missing) {
        std::fprintf(stderr, "tarvix-cli: note: %s is missing; left out\n",
                     QuoteArgument(missing).c_str());
    }
    for (const PlannedSource& source : plan.sources) {
        if (!AddSource(stack, source.path, source.label)) return false;
    }
    return true;
}

}  // namespace

std::unique_ptr<SourceStack> LoadStack(const CommandLine& line, bool built) {
    auto stack = std::make_unique<SourceStack>();
    if (!line.gameDir.empty()) {
        if (!AddGameSources(*stack, line.gameDir)) return nullptr;
    } else {
        for (const std::string& layer : line.layers) {
            if (!AddSource(*stack, fs::path(layer), layer)) return nullptr;
        }
    }
    if (built) stack->build();
    return stack;
}

CopyFacts FactsOf(const SourceStack& stack, const StackCopy& copy) {
    const StackSource& source = stack.source(copy.source);
    if (source.kind() == StackSource::Kind::Folder) {
        const std::uint64_t size = source.files()[copy.index].size;
        return {0, PackingKind::Stored, size, size, 0};
    }
    const EntryInfo info = GetEntryInfo(source.table(), copy.index);
    return {info.type, info.packing, info.realSize, info.packedSize, info.offset};
}

}  // namespace tarvix::cli
