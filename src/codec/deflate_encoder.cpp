#include "codec/deflate_encoder.h"

#include <zlib.h>

#include <algorithm>
#include <limits>

namespace tarvix {

bool PackWhole(std::span<const std::uint8_t> content, int level,
               std::vector<std::uint8_t>& packed) {
    if (content.empty() || content.size() > std::numeric_limits<uLong>::max()) return false;
    uLongf bound = compressBound(static_cast<uLong>(content.size()));
    packed.resize(bound);
    if (compress2(packed.data(), &bound, content.data(), static_cast<uLong>(content.size()),
                  level) != Z_OK) {
        return false;
    }
    packed.resize(bound);
    return bound < content.size();
}

struct DeflateStream::State {
    z_stream z{};
    bool ready = false;
    std::vector<std::uint8_t> out = std::vector<std::uint8_t>(std::size_t{256} << 10);
};

DeflateStream::DeflateStream(int level, Sink sink)
    : state_(std::make_unique<State>()), sink_(std::move(sink)) {
    state_->ready = deflateInit(&state_->z, level) == Z_OK;
    failed_ = !state_->ready;
}

DeflateStream::~DeflateStream() {
    if (state_->ready) deflateEnd(&state_->z);
}

bool DeflateStream::write(std::span<const std::uint8_t> chunk) {
    return pump(chunk, false);
}

bool DeflateStream::finish() {
    return pump({}, true);
}

bool DeflateStream::pump(std::span<const std::uint8_t> chunk, bool last) {
    if (failed_) return false;
    z_stream& z = state_->z;
    // zlib takes a non-const pointer for its input but never writes through it.
    z.next_in = const_cast<Bytef*>(chunk.data());
    z.avail_in = static_cast<uInt>(chunk.size());
    const int flush = last ? Z_FINISH : Z_NO_FLUSH;
    int result = Z_OK;
    do {
        z.next_out = state_->out.data();
        z.avail_out = static_cast<uInt>(state_->out.size());
        result = deflate(&z, flush);
        if (result == Z_STREAM_ERROR) return !(failed_ = true);
        const std::size_t produced = state_->out.size() - z.avail_out;
        packedBytes_ += produced;
        if (produced != 0 && !sink_({state_->out.data(), produced})) return !(failed_ = true);
    } while (z.avail_out == 0 || (last && result != Z_STREAM_END));
    return true;
}

}  // namespace tarvix
