#include "ui/typed_file_name.h"

#include <string>
#include <system_error>

namespace tarvix {
namespace {

bool Exists(const std::filesystem::path& path) {
    std::error_code error;  // unreadable counts as missing; opening it reports the failure
    return std::filesystem::exists(path, error);
}

}  // namespace

std::filesystem::path ResolveTypedFileName(const std::filesystem::path& typed,
                                           std::string_view defaultSuffix) {
    if (defaultSuffix.empty() || Exists(typed)) return typed;
    std::filesystem::path suffixed = typed;
    suffixed += "." + std::string(defaultSuffix);
    return Exists(suffixed) ? suffixed : typed;
}

}  // namespace tarvix
