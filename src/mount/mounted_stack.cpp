#include "mount/mounted_stack.h"

#include <filesystem>
#include <system_error>

#include "archive/game_folder.h"

namespace tarvix::mount {
namespace {

namespace fs = std::filesystem;

bool AddSource(SourceStack& stack, const fs::path& path, const std::string& label,
               const std::function<void(const std::string&)>& tell) {
    StackSource::Opened opened = StackSource::Open(path, label);
    if (!opened.source) {
        tell(label + ": " + opened.error);
        return false;
    }
    stack.add(std::move(opened.source));
    return true;
}

}  // namespace

std::unique_ptr<SourceStack> OpenMountedStack(const MountOptions& options,
                                              const std::function<void(const std::string&)>& tell) {
    auto stack = std::make_unique<SourceStack>();
    if (options.gameDir.empty()) {
        for (const std::string& source : options.sources) {
            if (!AddSource(*stack, fs::path(source), source, tell)) return nullptr;
        }
        return stack;
    }
    std::error_code ec;
    if (!fs::is_directory(fs::path(options.gameDir), ec)) {
        tell(options.gameDir + ": not a folder");
        return nullptr;
    }
    const GameStackPlan plan = PlanGameStack(fs::path(options.gameDir));
    for (const std::string& missing : plan.missing)
        tell("note: " + missing + " is missing; left out");
    for (const PlannedSource& source : plan.sources) {
        if (!AddSource(*stack, source.path, source.label, tell)) return nullptr;
    }
    return stack;
}

}  // namespace tarvix::mount
