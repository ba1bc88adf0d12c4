#pragma once

#include <QString>
#include <cstdint>
#include <span>

namespace tarvix {

// Windows-1252 bytes as text, every byte one character.
QString DecodeCp1252Text(std::span<const std::uint8_t> bytes);

}  // namespace tarvix
