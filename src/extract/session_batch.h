#pragma once

#include "archive/archive_session.h"
#include "extract/batch_extraction.h"
#include "extract/extraction_plan.h"

namespace tarvix {

// Writes `plan`, made for what the session shows (PlanExtraction): one archive's entries by
// ExtractBatch, a stack's effective entries each from its winning source by ExtractStack.
BatchReport ExtractFromSession(const ArchiveSession& session, const ExtractionPlan& plan,
                               const BatchOptions& options = {});

}  // namespace tarvix
