#pragma once

#include <cstdint>
#include <string>

namespace tarvix::cli {

// How an entry's Type byte is shown: "stored" (0), "zlib" (1) or "type <n>".
std::string PackingName(std::uint8_t type);

}  // namespace tarvix::cli
