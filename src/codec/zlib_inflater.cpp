#include "codec/zlib_inflater.h"

#include <zlib.h>

#include <algorithm>
#include <limits>
#include <new>

namespace tarvix {

struct ZlibInflater::State {
    z_stream stream{};
    bool ready = false;
};

ZlibInflater::ZlibInflater() : state_(new State) {
    state_->ready = inflateInit(&state_->stream) == Z_OK;
}

ZlibInflater::~ZlibInflater() {
    if (state_->ready) inflateEnd(&state_->stream);
    delete state_;
}

void ZlibInflater::feed(const std::uint8_t* data, std::size_t size) {
    // zlib counts in uInt; the extractor feeds one chunk at a time, far below that.
    state_->stream.next_in = const_cast<Bytef*>(data);
    state_->stream.avail_in = static_cast<uInt>(size);
}

ZlibInflater::Status ZlibInflater::inflate(std::uint8_t* out, std::size_t capacity,
                                           std::size_t& produced) {
    produced = 0;
    if (!state_->ready) return Status::NoMemory;
    z_stream& s = state_->stream;
    s.next_out = out;
    s.avail_out =
        static_cast<uInt>(std::min<std::size_t>(capacity, std::numeric_limits<uInt>::max()));
    const uInt before = s.avail_out;
    const int result = ::inflate(&s, Z_NO_FLUSH);
    produced = before - s.avail_out;
    switch (result) {
        case Z_STREAM_END:
            return Status::End;
        case Z_OK:
        case Z_BUF_ERROR:  // no progress possible: input or output ran out
            if (s.avail_out == 0) return Status::OutputFull;
            if (s.avail_in == 0) return Status::NeedInput;
            return Status::Damaged;
        case Z_MEM_ERROR:
            return Status::NoMemory;
        default:  // Z_DATA_ERROR, Z_NEED_DICT, Z_STREAM_ERROR
            return Status::Damaged;
    }
}

std::size_t ZlibInflater::unusedInput() const {
    return state_->stream.avail_in;
}

}  // namespace tarvix
