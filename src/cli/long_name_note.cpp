#include "cli/long_name_note.h"

#include "archive/cp1252.h"
#include "cli/display_text.h"

namespace tarvix::cli {

std::optional<std::string> LongNameNote(std::string_view cp1252Name) {
    for (std::string_view rest = cp1252Name;;) {
        const auto slash = rest.find('\\');
        const std::size_t bytes = Cp1252ToUtf8(rest.substr(0, slash)).size();
        if (bytes > kLongestLinuxName) {
            return DisplayPath(cp1252Name) + ": note: name component of " + std::to_string(bytes) +
                   " bytes in UTF-8, longer than the " + std::to_string(kLongestLinuxName) +
                   " that Linux file systems allow";
        }
        if (slash == std::string_view::npos) return std::nullopt;
        rest.remove_prefix(slash + 1);
    }
}

}  // namespace tarvix::cli
