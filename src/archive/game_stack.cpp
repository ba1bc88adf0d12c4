#include "archive/game_stack.h"

#include <system_error>

#include "archive/game_folder.h"

namespace tarvix {

OpenedGameStack OpenGameStack(const std::filesystem::path& dir, const GameStackOptions& options) {
    OpenedGameStack opened;
    const std::string shown = dir.string();
    std::error_code ec;
    if (!std::filesystem::is_directory(dir, ec)) {
        opened.error = shown + " " + messages::kNotAFolder;
        opened.refusal = GameStackRefusal::NotAFolder;
        return opened;
    }
    GameStackPlan plan = PlanGameStack(dir);
    opened.missing = std::move(plan.missing);
    if (plan.sources.empty() && options.refuseEmpty) {
        opened.refusal = GameStackRefusal::NoSources;
        opened.error = shown + " " + messages::kNoGameSources;
        return opened;
    }
    auto stack = std::make_unique<SourceStack>();
    for (const PlannedSource& planned : plan.sources) {
        StackSource::Opened source =
            StackSource::Open(planned.path, planned.label, options.measureFiles);
        if (!source.source) {
            opened.error = planned.label + ": " + source.error;
            opened.refusal = GameStackRefusal::Source;
            opened.refusedSource = planned.label;
            opened.refusedReason = std::move(source.error);
            return opened;
        }
        stack->add(std::move(source.source));
    }
    if (options.build) stack->build();
    opened.stack = std::move(stack);
    return opened;
}

}  // namespace tarvix
