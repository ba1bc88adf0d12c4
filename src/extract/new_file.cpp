#include "extract/new_file.h"

namespace tarvix {

// "x" (exclusive create, O_CREAT | O_EXCL) is standard C; only the wide-path call differs.
std::FILE* CreateNewFile(const std::filesystem::path& path) {
#ifdef _WIN32
    return _wfopen(path.c_str(), L"wbx");
#else
    return std::fopen(path.c_str(), "wbx");
#endif
}

}  // namespace tarvix
