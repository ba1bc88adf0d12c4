#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "codec/decoded_output.h"
#include "codec/lzss_blocks.h"
#include "codec/lzss_decoder.h"
#include "mount/random_access_content.h"

namespace tarvix::mount {

// Reads at any offset of the content of one Fallout 1 LZSS entry too large to unpack whole,
// with the codec's own decoders and checks (those extraction unpacks by).
//
// The method: restart points are kept while the entry is decoded forward, each where decoding
// may begin again without what came before it. In blocks (Attributes 0x40) every block starts
// with a fresh dictionary, so a block's start is such a point as it is: where its header lies
// in the stored bytes and how much content came before it; one is kept per 64 KiB of content
// at least. One stream (Attributes 0x10) has no such places, so a point there is a copy of the
// decoder's whole state (its 4 KiB dictionary) after a piece of input, kept about every `span`
// bytes of content, the span growing with the entry so that no entry keeps more than about 64
// (256 KiB). A read before the position reached restarts from the last point at or before it;
// a sequential read continues where the previous one ended and decodes no byte twice. What
// was decoded beyond a read is kept for the next one (at most one block or one piece's worth).
//
// The checks are extraction's: the blocks must end exactly at the end of the stored bytes (a
// 0 header only there), no block or stream may end inside a match, and the content must come
// to exactly `realSize` bytes; its last byte is handed out only once all of that has held.
class LzssRandomAccess final : public RandomAccessContent {
public:
    static constexpr std::uint64_t kBlockSpan = std::uint64_t{64} << 10;
    static constexpr std::uint64_t kMinimumStreamSpan = std::uint64_t{1} << 20;

    // Blocks read by `reading`, or one stream when there is none.
    LzssRandomAccess(StoredReader read, std::uint32_t storedSize, std::uint32_t realSize,
                     std::optional<StoredBlockReading> reading,
                     std::uint64_t minimumStreamSpan = kMinimumStreamSpan);
    ~LzssRandomAccess() override;
    LzssRandomAccess(const LzssRandomAccess&) = delete;
    LzssRandomAccess& operator=(const LzssRandomAccess&) = delete;

    Result read(std::uint64_t offset, std::uint8_t* out, std::size_t size,
                std::size_t& produced) override;

    // Content bytes decoded so far, those thrown away on the way to a read's offset included.
    std::uint64_t decodedBytes() const { return decoded_; }
    std::size_t pointCount() const { return points_.size(); }
    // The first content byte no read hands out, once damage has been found.
    std::optional<std::uint64_t> damagedAt() const { return damagedAt_; }

private:
    struct Point {
        std::uint64_t in = 0;   // the stored byte where decoding begins again
        std::uint64_t out = 0;  // content before it
        std::shared_ptr<const LzssDecoder::State> stream;  // one stream: the decoder's state there
    };

    Result readKnown(std::uint64_t offset, std::uint8_t* out, std::size_t size);
    void restartAt(const Point& point);
    // Decodes on: blocks until a block starts at or after `wantEnd`, or the end; one stream a
    // piece of input, or its end.
    Result step(std::uint64_t wantEnd);
    Result stepBlocks(std::uint64_t wantEnd);
    Result stepStream();
    DecodeResult take(std::uint8_t* into, std::size_t size);
    bool keep(const std::uint8_t* data, std::size_t size);
    void dropBefore(std::uint64_t offset);
    void notePoint(std::uint64_t in, std::uint64_t out, const LzssDecoder* stream);
    Result fail(Result result);

    StoredReader read_;
    std::uint32_t storedSize_;
    std::uint32_t realSize_;
    std::optional<StoredBlockReading> reading_;
    std::uint64_t streamSpan_;
    std::vector<Point> points_;
    LzssBlockDecoder blocks_;
    LzssDecoder stream_;
    std::unique_ptr<DecodedOutput> streamOutput_;  // one stream: the output since the restart
    std::uint64_t sessionOut_ = 0;                 // content before the restart
    std::unique_ptr<std::uint8_t[]> input_;
    std::uint64_t inputAt_ = 0;  // where input_ was read from
    std::size_t inputFill_ = 0;

    bool positioned_ = false;  // the decoder stands at in_ / out_
    bool ended_ = false;       // it has reached the end of the stored bytes
    bool verified_ = false;    // every check held over the whole entry
    std::uint64_t in_ = 0;     // the next stored byte to decode
    std::uint64_t out_ = 0;    // content decoded so far, from the start
    // Content decoded and not yet handed out: [carryStart_, out_); nothing before keepFrom_.
    std::vector<std::uint8_t> carry_;
    std::uint64_t carryStart_ = 0;
    std::uint64_t keepFrom_ = 0;
    std::optional<std::uint64_t> damagedAt_;
    std::uint64_t decoded_ = 0;
};

}  // namespace tarvix::mount
