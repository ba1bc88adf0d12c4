#include "extract/safe_path.h"

#include "archive/cp1252.h"

namespace tarvix {
namespace {

bool NamesDrive(std::string_view c) {
    const auto first = static_cast<unsigned char>(c[0]);
    const bool letter = (first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z');
    return c.size() >= 2 && letter && c[1] == ':';
}

#ifdef _WIN32
bool HasWindowsReservedCharacter(std::string_view c) {
    for (char ch : c) {
        if (static_cast<unsigned char>(ch) < 0x20) return true;
        if (std::string_view(":*?<>|\"").find(ch) != std::string_view::npos) return true;
    }
    return c.back() == '.' || c.back() == ' ';
}
#endif

}  // namespace

bool IsSafeComponent(std::string_view c) {
    if (c.empty() || c == "." || c == "..") return false;
    if (c.find('/') != std::string_view::npos || c.find('\0') != std::string_view::npos) {
        return false;
    }
    if (NamesDrive(c)) return false;
#ifdef _WIN32
    if (HasWindowsReservedCharacter(c)) return false;
#endif
    return true;
}

std::optional<std::string_view> FirstUnsafeComponent(std::string_view name) {
    for (;;) {
        const auto slash = name.find('\\');
        const std::string_view component = name.substr(0, slash);
        const bool isFile = slash == std::string_view::npos;
        if ((isFile || !component.empty()) && !IsSafeComponent(component)) return component;
        if (isFile) return std::nullopt;
        name.remove_prefix(slash + 1);
    }
}

std::filesystem::path PathFromUtf8(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::filesystem::path ComponentToPath(std::string_view cp1252Component) {
    return PathFromUtf8(Cp1252ToUtf8(cp1252Component));
}

}  // namespace tarvix
