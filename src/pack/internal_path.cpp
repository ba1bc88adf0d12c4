#include "pack/internal_path.h"

#include <optional>

#include "archive/cp1252.h"

namespace tarvix {
namespace {

bool IsControl(unsigned char byte) {
    return byte < 0x20 || byte == 0x7F;
}

// The problem with one component, already in Windows-1252; empty when it is fine.
std::string ComponentProblem(const std::string& component) {
    if (component.empty()) return "empty path component";
    if (component == "." || component == "..") return "path component '" + component + "'";
    for (const char c : component) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '\\') return "backslash in a file name";
        // The code page's five undefined bytes map to C1 controls, refused like C0 ones.
        if (IsControl(byte) ||
            (byte >= 0x80 && Cp1252ToUnicode(byte) < 0xA0 && Cp1252ToUnicode(byte) >= 0x80)) {
            return "control character in a file name";
        }
    }
    return {};
}

InternalPath Refused(std::string problem) {
    return {{}, std::move(problem)};
}

}  // namespace

InternalPath MakeInternalPath(const std::filesystem::path& relative) {
    std::string name;
    for (const std::filesystem::path& part : relative) {
        const std::optional<std::string> component = Utf8ToCp1252(part.string());
        if (!component) return Refused("cannot be written in Windows-1252");
        if (std::string problem = ComponentProblem(*component); !problem.empty()) {
            return Refused(std::move(problem));
        }
        if (!name.empty()) name += '\\';
        name += *component;
    }
    if (name.empty()) return Refused("empty path");
    if (name.size() > kMaxInternalPathBytes) {
        return Refused("longer than " + std::to_string(kMaxInternalPathBytes) + " bytes");
    }
    return {std::move(name), {}};
}

}  // namespace tarvix
