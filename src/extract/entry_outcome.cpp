#include "extract/entry_outcome.h"

#include <cerrno>
#include <system_error>

namespace tarvix {

bool IsLackOfRoom(const EntryOutcome& outcome) {
    if (outcome.kind != OutcomeKind::CannotWrite) return false;
    return outcome.error == ENOSPC || outcome.error == EDQUOT || outcome.error == EFBIG;
}

std::string OutcomeText(const EntryOutcome& outcome, const std::string& name) {
    switch (outcome.kind) {
        case OutcomeKind::Ok:
            return "ok";
        case OutcomeKind::CannotWrite:
            if (outcome.error == 0) return "Cannot write " + name;
            return "Cannot write " + name + ": " + std::generic_category().message(outcome.error);
        case OutcomeKind::CannotRead:
            return "Cannot read DAT file";
        case OutcomeKind::Damaged:
            return "Packed data is damaged";
        case OutcomeKind::NoMemory:
            return "Not enough memory to unpack";
        case OutcomeKind::UnknownPacking:
            return "Unknown packing (Type " + std::to_string(outcome.type) + ")";
        case OutcomeKind::Cancelled:
            break;
    }
    return "Cancelled";
}

}  // namespace tarvix
