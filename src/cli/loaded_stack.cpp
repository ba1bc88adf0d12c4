#include "cli/loaded_stack.h"

#include <cstdio>
#include <filesystem>

#include "archive/game_stack.h"
#include "cli/display_text.h"

namespace tarvix::cli {
namespace {

namespace fs = std::filesystem;

bool AddSource(SourceStack& stack, const fs::path& path, const std::string& label,
               bool measureFiles) {
    StackSource::Opened opened = StackSource::Open(path, label, measureFiles);
    if (!opened.source) {
        std::fprintf(stderr, "tarvix-cli: %s: %s\n", QuoteArgument(label).c_str(),
                     opened.error.c_str());
        return false;
    }
    stack.add(std::move(opened.source));
    return true;
}

// The game's own stack, worded as the command line words it. A folder that holds none of the
// game's sources is an empty stack here, not a refusal: each missing source is already named.
std::unique_ptr<SourceStack> OpenGameSources(const std::string& dir, bool built) {
    OpenedGameStack opened =
        OpenGameStack(fs::path(dir), {.build = built, .refuseEmpty = false, .measureFiles = built});
    if (opened.refusal == GameStackRefusal::NotAFolder) {
        std::fprintf(stderr, "tarvix-cli: %s: not a folder\n", QuoteArgument(dir).c_str());
        return nullptr;
    }
    for (const std::string& missing : opened.missing) {
        std::fprintf(stderr, "tarvix-cli: note: %s is missing; left out\n",
                     QuoteArgument(missing).c_str());
    }
    if (opened.refusal == GameStackRefusal::Source) {
        std::fprintf(stderr, "tarvix-cli: %s: %s\n", QuoteArgument(opened.refusedSource).c_str(),
                     opened.refusedReason.c_str());
        return nullptr;
    }
    return std::move(opened.stack);
}

}  // namespace

std::unique_ptr<SourceStack> LoadStack(const CommandLine& line, bool built) {
    if (!line.gameDir.empty()) return OpenGameSources(line.gameDir, built);
    auto stack = std::make_unique<SourceStack>();
    for (const std::string& layer : line.layers) {
        if (!AddSource(*stack, fs::path(layer), layer, built)) return nullptr;
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
