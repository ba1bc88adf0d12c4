#include "archive/packing_kind.h"

namespace tarvix {

PackingKind PackingOfType(std::uint32_t type) {
    if (type == kTypeStored) return PackingKind::Stored;
    if (type == kTypeZlib) return PackingKind::Zlib;
    return PackingKind::Unknown;
}

PackingKind PackingOfAttributes(std::uint32_t attributes) {
    switch ((attributes == 0 ? 0x10 : attributes) & 0xF0) {
        case 0x10:
            return PackingKind::LzssStream;
        case 0x20:
            return PackingKind::Stored;
        case 0x40:
            return PackingKind::LzssBlocks;
        default:
            return PackingKind::Unknown;
    }
}

const char* PackingKeyword(PackingKind kind) {
    switch (kind) {
        case PackingKind::Stored:
            return "stored";
        case PackingKind::Zlib:
            return "zlib";
        case PackingKind::LzssBlocks:
        case PackingKind::LzssStream:
            return "lzss";
        case PackingKind::Unknown:
            break;
    }
    return "unknown";
}

std::string PackingName(PackingKind kind, std::uint32_t raw) {
    if (kind == PackingKind::Unknown) return "type " + std::to_string(raw);
    return PackingKeyword(kind);
}

}  // namespace tarvix
