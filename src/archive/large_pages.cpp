#include "archive/large_pages.h"

#include <cstdint>

#ifdef __linux__
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace tarvix {

namespace {

// A huge page is 2 MiB on the machines this runs on: a smaller block cannot hold one.
constexpr std::size_t kHugePageBytes = std::size_t{2} * 1024 * 1024;

}  // namespace

void AdviseLargePages([[maybe_unused]] void* block, [[maybe_unused]] std::size_t size) {
#ifdef __linux__
    if (block == nullptr || size < kHugePageBytes) return;
    // madvise wants the start of a page; the page start is worked out on the address as a
    // number, since a pointer formed before the block it points into is not a valid one.
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto address = reinterpret_cast<std::uintptr_t>(block);
    const std::uintptr_t pageStart = address & ~(page - 1);
    // Only the kernel uses this address, which may lie before the block: nothing here reads
    // through it.
    void* const range = reinterpret_cast<void*>(pageStart);  // NOLINT(performance-no-int-to-ptr)
    madvise(range, size + (address - pageStart), MADV_HUGEPAGE);
#endif
}

}  // namespace tarvix
