#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarvix::cli {

// The longest file or folder name, in bytes, that Linux file systems take.
inline constexpr std::size_t kLongestLinuxName = 255;

// A note for an entry that no extraction on Linux can write although the archive is sound:
// one of its name's components is longer than kLongestLinuxName bytes once in UTF-8, as it
// is written (Windows counts characters, so such a name may be fine where the game runs).
// "<path>: note: name component of <n> bytes in UTF-8, longer than the 255 that Linux file
// systems allow", or nothing for a name that fits.
std::optional<std::string> LongNameNote(std::string_view cp1252Name);

}  // namespace tarvix::cli
