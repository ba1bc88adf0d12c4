#include "preview/content_kind.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string>

#include "preview/palette.h"

namespace tarvix {
namespace {

constexpr std::size_t kSniffBytes = std::size_t{64} * 1024;

std::string UpperExtension(std::string_view name) {
    const auto dot = name.rfind('.');
    const auto slash = name.rfind('\\');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return {};
    std::string ext(name.substr(dot + 1));
    for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return ext;
}

bool IsOneOf(const std::string& ext, std::initializer_list<std::string_view> list) {
    return std::find(list.begin(), list.end(), ext) != list.end();
}

bool IsControl(std::uint8_t byte) {
    switch (byte) {
        case '\t':
        case '\n':
        case '\v':
        case '\f':
        case '\r':
        case 0x1A:  // end of file, as old editors wrote it
            return false;
        case 0x7F:
        case 0x81:
        case 0x8D:
        case 0x8F:
        case 0x90:
        case 0x9D:
            return true;
        default:
            return byte < 0x20;
    }
}

}  // namespace

bool LooksLikeText(std::span<const std::uint8_t> bytes) {
    const auto sample = bytes.first(std::min(bytes.size(), kSniffBytes));
    if (std::find(sample.begin(), sample.end(), 0) != sample.end()) return false;
    const auto controls = std::count_if(sample.begin(), sample.end(), IsControl);
    return static_cast<std::size_t>(controls) * 100 <= sample.size();  // at most 1%
}

ContentKind ChooseContentKind(std::string_view name, std::span<const std::uint8_t> bytes) {
    const std::string ext = UpperExtension(name);
    if (ext == "FRM") return ContentKind::Frm;
    if (ext == "PAL" && bytes.size() >= kPaletteBytes) return ContentKind::Palette;
    if (IsOneOf(ext, {"BMP", "PCX", "PNG"})) return ContentKind::Image;
    if (IsOneOf(ext, {"MSG", "TXT", "LST", "SSL", "H", "INI", "CFG", "GAM", "BAK", "SVE"}))
        return ContentKind::Text;
    return LooksLikeText(bytes) ? ContentKind::Text : ContentKind::Binary;
}

}  // namespace tarvix
