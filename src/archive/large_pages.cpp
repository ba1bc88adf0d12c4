#include "archive/large_pages.h"

#include <cstdint>

#ifdef __linux__
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace tarvix {

void AdviseLargePages([[maybe_unused]] void* block, [[maybe_unused]] std::size_t size) {
#ifdef __linux__
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const std::uintptr_t intoPage = reinterpret_cast<std::uintptr_t>(block) & (page - 1);
    madvise(static_cast<char*>(block) - intoPage, size + intoPage, MADV_HUGEPAGE);
#endif
}

}  // namespace tarvix
