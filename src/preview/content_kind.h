#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace tarvix {

// What an entry's content is taken for, and so how it is shown.
enum class ContentKind {
    Text,     // Windows-1252 text
    Frm,      // Fallout frames
    Palette,  // 256 colours
    Image,    // a picture format Qt reads
    Binary,   // anything else: shown as hex
};

// By the name's extension first (case does not matter): FRM; PAL with at least 768 bytes;
// BMP, PCX, PNG; MSG, TXT, LST, SSL, H, INI, CFG, GAM, BAK, SVE. Any other name whose bytes
// look like text is text too.
ContentKind ChooseContentKind(std::string_view name, std::span<const std::uint8_t> bytes);

// No zero byte and hardly any control characters (line and page breaks, tabs and the old
// end-of-file mark aside) in the first 64 KiB; the byte values Windows-1252 leaves undefined
// count as control characters. Empty content is text.
bool LooksLikeText(std::span<const std::uint8_t> bytes);

}  // namespace tarvix
