#pragma once

#include <filesystem>
#include <string_view>

namespace tarvix {

// The file a name typed in the open dialog stands for: the name itself when a file of that
// name exists; otherwise the name with "." + defaultSuffix added when that one exists (the
// extension was left off); otherwise the name as typed, which then fails like any missing file.
std::filesystem::path ResolveTypedFileName(const std::filesystem::path& typed,
                                           std::string_view defaultSuffix);

}  // namespace tarvix
