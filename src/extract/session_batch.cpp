#include "extract/session_batch.h"

#include "extract/stack_batch.h"

namespace tarvix {

BatchReport ExtractFromSession(const ArchiveSession& session, const ExtractionPlan& plan,
                               const BatchOptions& options) {
    if (const SourceStack* stack = session.stack()) {
        return ExtractStack(*stack, plan.entries, plan.target, options);
    }
    return ExtractBatch(session.archive(), session.table(), plan.entries, plan.target, options);
}

}  // namespace tarvix
