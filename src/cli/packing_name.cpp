#include "cli/packing_name.h"

#include "extract/entry_extractor.h"

namespace tarvix::cli {

std::string PackingName(std::uint8_t type) {
    if (type == kTypeStored) return "stored";
    if (type == kTypeZlib) return "zlib";
    return "type " + std::to_string(type);
}

}  // namespace tarvix::cli
