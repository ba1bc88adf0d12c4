#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace tarvix::test {

// `size` bytes of text-like content that zlib packs about 3:1 into many blocks; the same for
// the same seed.
std::string SampleContent(std::size_t size, unsigned seed);

// A zlib stream of `content` whose deflate data starts a new block, on a byte boundary, after
// every `every` bytes of content; `blockStarts` receives where each such block begins in the
// stream's bytes.
std::string ZlibWithBlockStarts(const std::string& content, std::size_t every,
                                std::vector<std::size_t>& blockStarts);

// `stream` with the block that begins at `at` marked with the reserved block type, which every
// inflater refuses: the stream is damaged from exactly that block's first byte of content on.
std::string WithInvalidBlock(std::string stream, std::size_t at);

}  // namespace tarvix::test
