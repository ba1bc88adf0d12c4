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
    const auto begin = reinterpret_cast<std::uintptr_t>(block) & ~(page - 1);
    madvise(reinterpret_cast<void*>(begin),
            size + (reinterpret_cast<std::uintptr_t>(block) - begin), MADV_HUGEPAGE);
#endif
}

}  // namespace tarvix
