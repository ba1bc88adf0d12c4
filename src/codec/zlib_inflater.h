#pragma once

#include <cstddef>
#include <cstdint>

namespace tarvix {

// Inflates one zlib stream (RFC 1950) fed in pieces, with every check zlib makes: the header,
// the deflate data and the Adler-32 at the end. Memory is zlib's own fixed state and window
// (about 40 KiB), whatever sizes the stream claims or reaches.
class ZlibInflater {
public:
    enum class Status {
        NeedInput,   // every byte fed has been used; feed more
        OutputFull,  // the output space is used up; call again with more
        End,         // the stream ended and its checksum matched
        Damaged,     // not a valid zlib stream
        NoMemory,    // zlib could not get its state
    };

    ZlibInflater();
    ~ZlibInflater();
    ZlibInflater(const ZlibInflater&) = delete;
    ZlibInflater& operator=(const ZlibInflater&) = delete;

    // The next bytes of the stream; they must stay valid until NeedInput is returned.
    void feed(const std::uint8_t* data, std::size_t size);

    // Inflates into `out`, at most `capacity` bytes; `produced` says how many were written.
    Status inflate(std::uint8_t* out, std::size_t capacity, std::size_t& produced);

    // Bytes fed but not used: after End, whatever followed the stream.
    std::size_t unusedInput() const;

private:
    struct State;
    State* state_;
};

}  // namespace tarvix
