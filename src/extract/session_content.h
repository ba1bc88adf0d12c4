#pragma once

#include <cstdint>

#include "archive/archive_session.h"
#include "archive/dat_entry.h"
#include "extract/entry_content.h"

namespace tarvix {

// Entry `index` of what the session shows, as the viewer describes it: one archive's entry as
// it is; a stack's effective entry by its winning copy (its packing, sizes and format) under
// the path the session lists it by. A folder's file is a stored entry of its size.
EntryInfo SessionEntryInfo(const ArchiveSession& session, EntryIndex index);

// The content of entry `index` (LoadEntryContent), a stack's read from its winning source.
EntryContent LoadSessionContent(const ArchiveSession& session, EntryIndex index,
                                std::uint32_t limit = kContentLimitBytes);

}  // namespace tarvix
