#include "archive/large_block.h"

#include <cstdlib>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace tarvix {

#ifdef __linux__
namespace {

// A huge page is 2 MiB on the machines this runs on.
constexpr std::size_t kHugePageBytes = std::size_t{2} * 1024 * 1024;

bool IsLarge(std::size_t size) {
    return size >= kLargeBlockBytes;
}

std::size_t MappedBytes(std::size_t size) {
    return (size + kHugePageBytes - 1) / kHugePageBytes * kHugePageBytes;
}

}  // namespace

// A mapping aligned to a huge page and a whole number of them long, so that all of it can be
// backed by huge pages: a bigger one is mapped and its ends are given back.
void* AllocateLarge(std::size_t size) noexcept {
    if (!IsLarge(size)) return std::malloc(size == 0 ? 1 : size);
    if (size > SIZE_MAX - 2 * kHugePageBytes) return nullptr;
    const std::size_t bytes = MappedBytes(size);
    void* mapped = mmap(nullptr, bytes + kHugePageBytes, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) return nullptr;
    auto* const start = static_cast<std::uint8_t*>(mapped);
    const auto address = reinterpret_cast<std::uintptr_t>(start);
    const std::size_t head = (kHugePageBytes - address % kHugePageBytes) % kHugePageBytes;
    if (head > 0) munmap(start, head);
    if (head < kHugePageBytes) munmap(start + head + bytes, kHugePageBytes - head);
    madvise(start + head, bytes, MADV_HUGEPAGE);
    return start + head;
}

void FreeLarge(void* block, std::size_t size) noexcept {
    if (block == nullptr) return;
    if (!IsLarge(size)) return std::free(block);
    munmap(block, MappedBytes(size));
}
#else
void* AllocateLarge(std::size_t size) noexcept {
    return std::malloc(size == 0 ? 1 : size);
}
void FreeLarge(void* block, std::size_t) noexcept {
    std::free(block);
}
#endif

LargeBlock AllocateLargeBlock(std::size_t size) noexcept {
    auto* const block = static_cast<std::uint8_t*>(AllocateLarge(size));
    return block == nullptr ? LargeBlock() : LargeBlock(block, size);
}

}  // namespace tarvix
