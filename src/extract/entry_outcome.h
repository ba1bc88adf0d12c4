#pragma once

#include <cstdint>
#include <string>

namespace tarvix {

// How extracting one entry ended, as a value: the batch decides by it what to retry, and the
// texts users see are made from it only where they are shown (OutcomeText, FailureLine).
enum class OutcomeKind {
    Ok,
    CannotWrite,     // the output could not be made, written or named
    CannotRead,      // the archive gave fewer bytes than the entry has
    Damaged,         // unpacking found a broken stream or wrong sizes
    NoMemory,        // the unpacker could not get its buffers
    UnknownPacking,  // a Type byte that unpacking does not understand
    Cancelled,       // the monitor asked to stop part-way
};

struct EntryOutcome {
    OutcomeKind kind = OutcomeKind::Ok;
    // The errno of a CannotWrite from the system; 0 when the name itself was refused.
    int error = 0;
    std::uint32_t type = 0;  // the raw packing field of an UnknownPacking

    bool ok() const { return kind == OutcomeKind::Ok; }
    bool operator==(const EntryOutcome&) const = default;
};

inline EntryOutcome CannotWriteOutcome(int error) {
    return {OutcomeKind::CannotWrite, error};
}

// Whether the outcome is a write that failed for lack of room (a full disk, a quota, a file
// size limit): the only failure that writing the entry alone, after the others, may mend.
bool IsLackOfRoom(const EntryOutcome& outcome);

// What users read: "ok", "Cannot write <name>" with the system's reason after a colon when
// there is one, "Cannot read DAT file", "Packed data is damaged", "Not enough memory to
// unpack", "Unknown packing (Type <n>)" or "Cancelled". `name` is the entry's full internal
// name in UTF-8.
std::string OutcomeText(const EntryOutcome& outcome, const std::string& name);

}  // namespace tarvix
