#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace tarvix::mount {

// Reads up to `size` of an entry's stored bytes at `offset`; returns how many arrived.
using StoredReader =
    std::function<std::size_t(std::uint64_t offset, std::uint8_t* buffer, std::size_t size)>;

// The content of one packed entry too large to unpack whole, read at any offset by unpacking
// as little as the packing allows. One reader at a time.
class RandomAccessContent {
public:
    enum class Result { Ok, Damaged, ReadFailed, NoMemory };

    virtual ~RandomAccessContent() = default;

    // Fills `out` with the content from `offset`, up to `size` bytes and never past the end;
    // `produced` says how many. Anything but Ok hands out nothing: a read that reaches the
    // point where the packed data turned out damaged fails, and keeps failing. The last byte
    // is only ever handed out once the whole entry has been checked.
    virtual Result read(std::uint64_t offset, std::uint8_t* out, std::size_t size,
                        std::size_t& produced) = 0;
};

}  // namespace tarvix::mount
