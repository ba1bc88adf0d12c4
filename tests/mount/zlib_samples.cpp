#include "zlib_samples.h"

#include <zlib.h>

#include <array>

namespace tarvix::test {

std::string SampleContent(std::size_t size, unsigned seed) {
    static constexpr std::array<const char*, 8> kWords = {"vault ",       "dweller ",   "brahmin ",
                                                          "nuka-cola ",   "wasteland ", "pip-boy ",
                                                          "radscorpion ", "gecko "};
    std::string content;
    content.reserve(size + 16);
    std::uint32_t state = seed * 2654435761u + 1;
    while (content.size() < size) {
        state = state * 1664525u + 1013904223u;
        if ((state >> 28) < 3) {
            content.push_back(static_cast<char>('0' + (state >> 8) % 10));
        } else {
            content += kWords[(state >> 16) % kWords.size()];
        }
    }
    content.resize(size);
    return content;
}

std::string ZlibWithBlockStarts(const std::string& content, std::size_t every,
                                std::vector<std::size_t>& blockStarts) {
    z_stream z{};
    deflateInit(&z, 6);
    std::string out(compressBound(content.size()) + 64 * (content.size() / every + 1), '\0');
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    for (std::size_t at = 0; at < content.size(); at += every) {
        const std::size_t size = std::min(every, content.size() - at);
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(content.data() + at));
        z.avail_in = static_cast<uInt>(size);
        const bool last = at + size == content.size();
        deflate(&z, last ? Z_FINISH : Z_FULL_FLUSH);
        if (!last) blockStarts.push_back(z.total_out);
    }
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

std::string WithInvalidBlock(std::string stream, std::size_t at) {
    stream[at] = static_cast<char>(stream[at] | 0x06);  // BTYPE 11
    return stream;
}

}  // namespace tarvix::test
