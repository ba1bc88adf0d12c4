#pragma once

#include <cstdio>
#include <filesystem>

namespace tarvix {

// Creates `path` for binary writing only if nothing of that name exists (a link included),
// so a file is never written through a name that someone else put there. Null on failure.
std::FILE* CreateNewFile(const std::filesystem::path& path);

}  // namespace tarvix
