#include "extract/session_content.h"

#include <string>

#include "extract/loose_entry.h"

namespace tarvix {

EntryInfo SessionEntryInfo(const ArchiveSession& session, EntryIndex index) {
    const SourceStack* stack = session.stack();
    if (!stack || index >= stack->entries().size()) return GetEntryInfo(session.table(), index);
    const StackEntry& entry = stack->entries()[index];
    const StackSource& source = stack->source(entry.source);
    EntryInfo info = GetEntryInfo(session.table(), index);
    if (source.kind() == StackSource::Kind::Archive) {
        std::string name = std::move(info.name);
        info = GetEntryInfo(source.table(), entry.index);
        info.name = std::move(name);
    }
    return info;
}

EntryContent LoadSessionContent(const ArchiveSession& session, EntryIndex index,
                                std::uint32_t limit) {
    const SourceStack* stack = session.stack();
    if (!stack) return LoadEntryContent(session.archive(), session.table(), index, limit);
    if (index >= stack->entries().size()) return {EntryContent::Status::CannotRead, {}};
    const StackEntry& entry = stack->entries()[index];
    const StackSource& source = stack->source(entry.source);
    if (source.kind() == StackSource::Kind::Archive) {
        return LoadEntryContent(source.archive(), source.table(), entry.index, limit);
    }
    LooseEntry loose;
    if (!loose.open(source, entry.index)) return {EntryContent::Status::CannotRead, {}};
    return LoadEntryContent(loose.archive, loose.table, 0, limit);
}

}  // namespace tarvix
