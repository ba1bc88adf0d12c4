#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>

namespace tarvix {

// Memory for the big blocks of an entry list and of a stack's union, in 2 MiB pages where the
// kernel has them. A block of a few megabytes then costs one page fault per 2 MiB instead of
// one per 4 KiB: in a virtual machine a fault costs about 10 us, which made fresh memory the
// largest part of opening a game-size stack (bench/stack_bench.cpp). Blocks below
// kLargeBlockBytes come from the usual heap. Elsewhere than on Linux, everything does.
inline constexpr std::size_t kLargeBlockBytes = std::size_t{1} << 20;

// Null when there is no memory for `size` bytes.
void* AllocateLarge(std::size_t size) noexcept;
// `size` as given to AllocateLarge.
void FreeLarge(void* block, std::size_t size) noexcept;

// One block from AllocateLarge, given back when dropped. It can only be made by
// AllocateLargeBlock, so a block and the size it is given back with always belong together.
class LargeBlock {
public:
    LargeBlock() = default;
    LargeBlock(LargeBlock&& other) noexcept
        : block_(std::exchange(other.block_, nullptr)), size_(other.size_) {}
    LargeBlock& operator=(LargeBlock&& other) noexcept {
        LargeBlock moved(std::move(other));
        std::swap(block_, moved.block_);
        std::swap(size_, moved.size_);
        return *this;
    }
    LargeBlock(const LargeBlock&) = delete;
    LargeBlock& operator=(const LargeBlock&) = delete;
    ~LargeBlock() { FreeLarge(block_, size_); }

    std::uint8_t* get() const noexcept { return block_; }
    std::uint8_t& operator[](std::size_t i) const noexcept { return block_[i]; }
    explicit operator bool() const noexcept { return block_ != nullptr; }
    void reset() noexcept { *this = LargeBlock(); }
    void swap(LargeBlock& other) noexcept {
        std::swap(block_, other.block_);
        std::swap(size_, other.size_);
    }

private:
    friend LargeBlock AllocateLargeBlock(std::size_t size) noexcept;
    LargeBlock(std::uint8_t* block, std::size_t size) : block_(block), size_(size) {}

    std::uint8_t* block_ = nullptr;
    std::size_t size_ = 0;
};

// Null when there is no memory for `size` bytes (at least one byte is always given).
LargeBlock AllocateLargeBlock(std::size_t size) noexcept;

// The same for the standard containers.
template <class T>
struct LargeBlockAllocator {
    using value_type = T;
    LargeBlockAllocator() = default;
    template <class U>
    explicit LargeBlockAllocator(const LargeBlockAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        if (n > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
        void* block = AllocateLarge(n * sizeof(T));
        if (block == nullptr) throw std::bad_alloc();
        return static_cast<T*>(block);
    }
    void deallocate(T* block, std::size_t n) noexcept { FreeLarge(block, n * sizeof(T)); }

    template <class U>
    bool operator==(const LargeBlockAllocator<U>&) const noexcept {
        return true;
    }
};

}  // namespace tarvix
